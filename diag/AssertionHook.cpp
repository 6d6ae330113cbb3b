#include "diag/AssertionHook.h"

#include <atomic>

namespace {
std::atomic<TAssertErrorProc> g_assertErrorProc{nullptr};
}

EAssertionFailed::EAssertionFailed(const QByteArray &message, const char *file, int line,
                                   const void *address)
    : Exception(QString::fromUtf8(
          CSFormat("%s (%s, line %d)",
                   {message.isEmpty() ? QByteArray("Assertion failed") : message, file, line}))),
      TRaiseAddress(address)
{}

TAssertErrorProc SetAssertErrorProc(TAssertErrorProc proc)
{
    return g_assertErrorProc.exchange(proc);
}

TAssertErrorProc AssertErrorProc()
{
    return g_assertErrorProc.load();
}

void RaiseAssertionFailed(const QByteArray &Message, const char *FileName, int LineNumber,
                          const void *ErrorAddr)
{
    throw EAssertionFailed(Message, FileName, LineNumber, ErrorAddr);
}

void AssertFailed(const QByteArray &Message, const char *FileName, int LineNumber)
{
    const void *address = __builtin_return_address(0);
    if (TAssertErrorProc proc = g_assertErrorProc.load())
        proc(Message, FileName, LineNumber, address);
    else
        RaiseAssertionFailed(Message, FileName, LineNumber, address);
}
