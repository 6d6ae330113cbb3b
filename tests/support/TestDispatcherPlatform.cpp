#include "TestDispatcherPlatform.h"

TestDispatcherPlatform::TestDispatcherPlatform() : Now(QDate(2026, 12, 8), QTime(18, 4, 5, 123)) {}

int TestDispatcherPlatform::Count(const QByteArray &call) const
{
    int count = 0;
    for (const QByteArray &made : Calls)
        count += made == call || made.startsWith(QByteArray(call + ':'));
    return count;
}

QList<qint32> TestDispatcherPlatform::Kinds() const
{
    QList<qint32> kinds;
    for (const TRecord &record : Records)
        kinds.append(record.Kind);
    return kinds;
}

TWindowHandle TestDispatcherPlatform::FindWindow(const QByteArray &ClassName,
                                                 const QByteArray &Title)
{
    Calls.append("find");
    if (ClassName != "TFrmDispatcher" || Title != "DezaZudi Dispatcher")
        return 0;
    return RunningWindow;
}

QList<TThreadWindow> TestDispatcherPlatform::ThreadWindows(quint32 ThreadId)
{
    Calls.append("threads");
    if (ThreadId != StartedThread || RunningWindow == 0)
        return {};
    // A child window and an untitled one come first: the search must pass
    // over both.
    return {{RunningWindow + 100, true, "DezaZudi Dispatcher"},
            {RunningWindow + 200, false, ""},
            {RunningWindow, false, "DezaZudi Dispatcher"}};
}

TCopyDataResult TestDispatcherPlatform::SendCopyData(TWindowHandle Window, qint32 Kind,
                                                     const QByteArray &Record)
{
    Calls.append("send");
    if (Window == 0 || Window != RunningWindow)
        return {};
    Records.append({Window, Kind, Record});
    if (AnswersBeforeSilence >= 0 && Records.size() > AnswersBeforeSilence)
        return {0, true};
    return {Answer(Kind), false};
}

std::optional<TStartedProcess> TestDispatcherPlatform::CreateProcess(const QByteArray &Command)
{
    Calls.append("start:" + Command);
    if (!StartSucceeds)
        return std::nullopt;
    return TStartedProcess{StartedThread, StartedThread};
}

void TestDispatcherPlatform::WaitForInputIdle(const TStartedProcess &)
{
    Calls.append("wait");
    RunningWindow = WindowAfterStart;
}

void TestDispatcherPlatform::CloseHandles(const TStartedProcess &)
{
    Calls.append("close");
}

std::optional<QByteArray> TestDispatcherPlatform::ReadMachineValue(const QByteArray &Key,
                                                                   const QByteArray &ValueName)
{
    Calls.append("read:" + ValueName);
    if (Key != "\\Software\\Ravav\\DezaZudi\\2.0" || !MachineValues.contains(ValueName))
        return std::nullopt;
    return MachineValues.value(ValueName);
}

QByteArray TestDispatcherPlatform::NewGuid()
{
    Calls.append("guid");
    ++GuidCount;
    return "{00000000-0000-0000-0000-" + QByteArray::number(GuidCount).rightJustified(12, '0') +
           '}';
}

std::optional<QByteArray> TestDispatcherPlatform::ComputerName()
{
    if (Computer.isNull())
        return std::nullopt;
    return Computer;
}

QByteArray TestDispatcherPlatform::ProgramFile()
{
    return Program;
}
