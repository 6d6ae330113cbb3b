#pragma once

#include "diag/DispatcherPlatform.h"

#include <QByteArrayList>
#include <QMap>

#include <functional>

// A platform double for the dispatcher link: a dispatcher that is running
// or not, a start that works or fails, answers chosen per kind, and a log
// of every call in order, so that tests can count lookups, starts and
// records. Deterministic ids, names and clock.
class TestDispatcherPlatform : public DispatcherPlatform
{
public:
    struct TRecord
    {
        TWindowHandle Window = 0;
        qint32 Kind = 0;
        QByteArray Bytes;
    };

    // The dispatcher's window while it runs; 0 while it does not.
    TWindowHandle RunningWindow = 0;
    // What a start does: fail, or bring up this window (0: a program that
    // starts but never opens a window).
    bool StartSucceeds = false;
    TWindowHandle WindowAfterStart = 0;
    // The text the settings key gives for a value name; missing when absent.
    QMap<QByteArray, QByteArray> MachineValues;
    // The dispatcher's answer to a record (default: 1 to everything).
    std::function<qint64(qint32 Kind)> Answer = [](qint32) { return 1; };
    // A dispatcher that answers this many records and then takes every
    // later one without answering, so that each exchange times out; -1:
    // it always answers.
    int AnswersBeforeSilence = -1;

    QByteArray Computer = "QUILLHOST";
    QByteArray Program = "/opt/quillbox/Flitto.bin";
    quint32 Pid = 4711;
    quint32 Tid = 4712;
    qint32 Bias = -60;
    QDateTime Now;

    // Every call, in order: "find", "threads", "send", "start:<command>",
    // "wait", "close", "read:<value>", "guid".
    QByteArrayList Calls;
    QList<TRecord> Records;
    int GuidCount = 0;

    TestDispatcherPlatform();

    int Count(const QByteArray &call) const;
    // The kinds of the records handed over, in order.
    QList<qint32> Kinds() const;

    TWindowHandle FindWindow(const QByteArray &ClassName, const QByteArray &Title) override;
    QList<TThreadWindow> ThreadWindows(quint32 ThreadId) override;
    TCopyDataResult SendCopyData(TWindowHandle Window, qint32 Kind,
                                 const QByteArray &Record) override;
    std::optional<TStartedProcess> CreateProcess(const QByteArray &Command) override;
    void WaitForInputIdle(const TStartedProcess &Process) override;
    void CloseHandles(const TStartedProcess &Process) override;
    std::optional<QByteArray> ReadMachineValue(const QByteArray &Key,
                                               const QByteArray &ValueName) override;
    QByteArray NewGuid() override;
    std::optional<QByteArray> ComputerName() override;
    QByteArray ProgramFile() override;
    quint32 ProcessId() override { return Pid; }
    quint32 ThreadId() override { return Tid; }
    qint32 TimeZoneBias() override { return Bias; }
    QDateTime LocalTime() override { return Now; }

    static constexpr quint32 StartedThread = 9001;
};
