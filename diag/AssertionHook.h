#pragma once

#include "diag/CSFormat.h"

#include <QByteArray>

// The runtime's assertion failure: "message (file, line N)".
class EAssertionFailed : public Exception, public TRaiseAddress
{
public:
    EAssertionFailed(const QByteArray &message, const char *file, int line, const void *address);
};

// The program's handler of failed assertions: called with the assertion's
// message, source file, line and the address of the failed assertion. When
// it returns, execution goes on after the assertion.
using TAssertErrorProc = void (*)(const QByteArray &Message, const char *FileName, int LineNumber,
                                  const void *ErrorAddr);

// Installs the handler (nullptr: none) and gives the one it replaces.
TAssertErrorProc SetAssertErrorProc(TAssertErrorProc proc);
TAssertErrorProc AssertErrorProc();

// Raises EAssertionFailed as the runtime does when no handler is installed.
[[noreturn]] void RaiseAssertionFailed(const QByteArray &Message, const char *FileName,
                                       int LineNumber, const void *ErrorAddr);

// Reports a failed assertion to the installed handler, or raises
// EAssertionFailed when there is none. Not inlined, so that its return
// address is the address of the failed assertion.
[[gnu::noinline]] void AssertFailed(const QByteArray &Message, const char *FileName,
                                    int LineNumber);

// The program's assertion: always compiled in, unlike assert(), because its
// failures are diagnostics the program reports, not debugging aids.
#define FLITTO_ASSERT(condition, message)                                                          \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::AssertFailed(QByteArray(message), __FILE__, __LINE__);                               \
    } while (false)
