#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <optional>

// A dispatcher window: nonzero, and different for every socket file that was
// ever a window (a restarted dispatcher gets a new one); 0 is none.
using TWindowHandle = quint64;

// One top-level window of a thread, as the thread-window search sees it.
struct TThreadWindow
{
    TWindowHandle Window = 0;
    bool HasParent = false;
    QByteArray Title;
};

// A program the link started; its handles are released with CloseHandles.
struct TStartedProcess
{
    quint32 ProcessId = 0;
    quint32 ThreadId = 0; // the main thread, whose windows the link searches
};

// What became of one copy-data exchange. A refusal and a receiver that never
// answers both deliver nothing, but only the second costs the sender its
// whole bound, so the link must be able to tell them apart.
struct TCopyDataResult
{
    qint64 Answer = 0;     // the receiver's result; 0: not delivered or not accepted
    bool TimedOut = false; // the receiver did not answer within the bound
};

// Everything the dispatcher link needs from the operating system, kept
// behind one small interface so that the link's sequences can be tested
// against a double and the Linux transport can be tested on its own.
class DispatcherPlatform
{
public:
    virtual ~DispatcherPlatform();

    // The top-level window with this class and title, or 0.
    virtual TWindowHandle FindWindow(const QByteArray &ClassName, const QByteArray &Title) = 0;
    // The top-level windows of one thread, in the platform's order.
    virtual QList<TThreadWindow> ThreadWindows(quint32 ThreadId) = 0;
    // Hands a record to a window synchronously and gives its answer; 0 when
    // there is no such window or the exchange broke. A platform may give up
    // on every later exchange after one timed out: those then give TimedOut
    // at once.
    virtual TCopyDataResult SendCopyData(TWindowHandle Window, qint32 Kind,
                                         const QByteArray &Record) = 0;

    // Starts a program from a command line; nothing when the start failed.
    virtual std::optional<TStartedProcess> CreateProcess(const QByteArray &Command) = 0;
    // Returns when the started program is ready for input (or has ended).
    virtual void WaitForInputIdle(const TStartedProcess &Process) = 0;
    virtual void CloseHandles(const TStartedProcess &Process) = 0;

    // A text value of the machine-wide settings key, or nothing when the key
    // or the value is missing.
    virtual std::optional<QByteArray> ReadMachineValue(const QByteArray &Key,
                                                       const QByteArray &ValueName) = 0;

    // A new GUID in its 38-character registry text form.
    virtual QByteArray NewGuid() = 0;
    // The computer's name, or nothing when it cannot be read.
    virtual std::optional<QByteArray> ComputerName() = 0;
    // The running program's own file, with its folder.
    virtual QByteArray ProgramFile() = 0;
    virtual quint32 ProcessId() = 0;
    virtual quint32 ThreadId() = 0;
    // Standard-time bias in minutes: universal time = local time + bias.
    virtual qint32 TimeZoneBias() = 0;
    // Local date and time to the millisecond.
    virtual QDateTime LocalTime() = 0;
};
