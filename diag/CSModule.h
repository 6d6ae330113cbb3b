#pragma once

// The diagnostic module as a whole: it builds the manager and the default
// client before main() and takes them down after it, and installs its
// handler of failed assertions. It sits above the manager, the client and
// the assertion machinery, which know nothing of it.

#include <QByteArray>

class TDezaZudi;

// The module's default client; null outside start-up and shut-down.
TDezaZudi *DefaultClient();

// Module start-up (manager, default client, assertion hook) and shut-down
// (default client, then the manager with every client left). They run
// before main() and after it returns; tests may run them again.
void CSIntfStartUp();
void CSIntfShutDown();

// The diagnostic module's handler: reads the manager's AssertMode and sends
// an error message through DefaultClient, raises EAssertionFailed, both or
// neither.
void AssertionHook(const QByteArray &Message, const char *FileName, int LineNumber,
                   const void *ErrorAddr);
