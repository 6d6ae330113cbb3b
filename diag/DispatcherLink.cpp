// The dispatcher link of the diagnostic client: finding, starting and
// registering with the dispatcher, and handing each message over as one
// MessagePacket record.
#include "diag/TDezaZudi.h"

#include "diag/MessagePacket.h"
#include "fileutil/FlagScope.h"

#include <QDate>

namespace {

// Julian day number of 1 January 0001 less one: day numbers count from 1.
constexpr qint64 DayNumberOrigin = 1721425;

// A record's text fields hold what the client cuts, and a closing NUL.
static_assert(MessagePacket::ComputerNameSize == MaxComputerNameLength + 1);
static_assert(MessagePacket::AppNameSize == MaxShortNameLength + 1 &&
              MessagePacket::CategorySize == MaxShortNameLength + 1 &&
              MessagePacket::TypeNameSize == MaxShortNameLength + 1);
static_assert(mkRegister >= FirstLinkKind && mkUnregister <= LastLinkKind);

} // namespace

TCSTimeStamp TDezaZudi::QueryTimeStamp()
{
    const QDateTime now = m_platform->LocalTime();
    return {now.time().msecsSinceStartOfDay(),
            static_cast<qint32>(now.date().toJulianDay() - DayNumberOrigin)};
}

quint32 TDezaZudi::QueryProcessId()
{
    return m_platform->ProcessId();
}

quint32 TDezaZudi::QueryThreadId()
{
    return m_platform->ThreadId();
}

QByteArray TDezaZudi::QueryComputerName()
{
    return m_platform->ComputerName().value_or(QByteArray()).left(MaxComputerNameLength);
}

QByteArray TDezaZudi::QueryAppName()
{
    QByteArray name = m_platform->ProgramFile();
    name = name.mid(name.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0)
        name.truncate(dot);
    return name.left(MaxShortNameLength);
}

void TDezaZudi::LocateDispatcher(bool LaunchIfAbsent)
{
    const TWindowHandle window = FindDispatcher(LaunchIfAbsent);
    // The check compares with the window of the previous lookup, so the
    // new one is stored only afterwards.
    CheckDispatcherWindow(window);
    m_dispatcherWindow = window;
}

void TDezaZudi::CheckDispatcherWindow(TWindowHandle Window)
{
    if (m_connectionId.isEmpty())
        Connect();
    else if (!m_connecting && Window != 0 && Window != m_dispatcherWindow)
        Reregister();
}

void TDezaZudi::Connect()
{
    const FlagScope connecting(m_connecting);
    if (m_connectionId.isEmpty()) {
        m_connectionId = NewConnectionId();
        if (DeliverMessage(mkRegister, Destination(), QByteArray(), QByteArray()) == 0)
            m_enabled = false;
    }
    m_registered = true;
    // Filled after the registration: the first registration record of a
    // client carries no computer and program names.
    if (m_computerName.isEmpty())
        m_computerName = QueryComputerName();
    if (m_appName.isEmpty())
        m_appName = QueryAppName();
    if (m_connectionId.isEmpty())
        m_enabled = false;
}

void TDezaZudi::Reregister()
{
    const FlagScope connecting(m_connecting);
    m_registered = true;
    if (DeliverMessage(mkRegister, Destination(), QByteArray(), QByteArray()) == 0)
        m_enabled = false;
}

void TDezaZudi::Disconnect()
{
    if (m_connectionId.isEmpty())
        return;
    m_registered = false;
    try {
        SendRaw(mkUnregister, QByteArray(), QByteArray());
    } catch (...) {
        // Leaving must never fail: the connection ends all the same.
    }
    m_connectionId.clear();
}

void TDezaZudi::SetDestinationDetails(const QByteArray &Value)
{
    if (Value.compare(m_destinationDetails, Qt::CaseInsensitive) == 0)
        return;
    Disconnect();
    m_destinationDetails = Value;
    Connect();
}

QByteArray TDezaZudi::DispatcherClassName()
{
    return "TFrmDispatcher";
}

QByteArray TDezaZudi::DispatcherTitle()
{
    return "DezaZudi Dispatcher";
}

QByteArray TDezaZudi::DispatcherPathValue()
{
    return "DispatcherPath";
}

QByteArray TDezaZudi::DefaultDispatcherFile()
{
    return "RAVivavovova.exe";
}

void TDezaZudi::LaunchDispatcher(const QByteArray &Command, TWindowHandle &Window)
{
    const std::optional<TStartedProcess> started =
        m_platform->CreateProcess(Command.left(MaxCommandLength));
    if (!started) {
        m_enabled = false;
        return;
    }
    m_platform->WaitForInputIdle(*started);
    Window = FindThreadWindow(started->ThreadId);
    m_platform->CloseHandles(*started);
    Connect();
}

TWindowHandle TDezaZudi::FindThreadWindow(quint32 ThreadId)
{
    for (const TThreadWindow &window : m_platform->ThreadWindows(ThreadId)) {
        if (window.HasParent)
            continue;
        const QByteArray title = window.Title.left(254);
        if (!title.isEmpty() && title == ThreadWindowTitle)
            return window.Window;
    }
    return 0;
}

TWindowHandle TDezaZudi::FindDispatcher(bool LaunchIfAbsent)
{
    TWindowHandle window = m_platform->FindWindow(DispatcherClassName(), DispatcherTitle());
    if (window == 0 && LaunchIfAbsent) {
        QByteArray command = m_platform->ReadMachineValue(DispatcherKey, DispatcherPathValue())
                                 .value_or(QByteArray());
        if (command.isEmpty())
            command = DefaultDispatcherFile();
        LaunchDispatcher(command, window);
    }
    return window;
}

qint64 TDezaZudi::TransmitPacket(qint32 Kind, quint32 Size, const QByteArray &Record)
{
    if (m_dispatcherWindow == 0 || m_dispatcherSilent)
        return 0;
    const TCopyDataResult result =
        m_platform->SendCopyData(m_dispatcherWindow, Kind, Record.left(Size));
    if (result.TimedOut) {
        // A dispatcher that takes records and never answers would cost the
        // whole bound again on every message and on the unregistration at
        // exit: the client stops talking to it for the rest of the run.
        m_dispatcherSilent = true;
        m_enabled = false;
    }
    return result.Answer;
}

qint32 TDezaZudi::DeliverMessage(qint32 Kind, const QByteArray &Text, const QByteArray &Details,
                                 const QByteArray &TypeName)
{
    const TCSTimeStamp stamp = QueryTimeStamp();
    bool handled = true;
    if (OfferToHook(Kind, Text, Details, TypeName, stamp, handled) && handled)
        return 0;
    if (m_dispatcherSilent)
        return 0;
    // Only the unregistration must never start a dispatcher.
    LocateDispatcher(Kind != mkUnregister);

    TMessagePacketFields fields;
    fields.Kind = Kind;
    fields.Time = stamp.Time;
    fields.Date = stamp.Date;
    fields.TimeZoneBias = m_timeZoneBias;
    fields.ProcessId = QueryProcessId();
    fields.ThreadId = QueryThreadId();
    fields.ConnectionId = m_connectionId;
    fields.ComputerName = m_computerName;
    fields.AppName = m_appName;
    fields.Category = m_category;
    fields.CategoryColor = static_cast<qint32>(m_categoryColor);
    fields.TypeName = TypeName;
    fields.Text = Text;
    fields.Details = Details;
    const QByteArray record = MessagePacket::Build(fields);
    const qint64 answer = TransmitPacket(Kind, static_cast<quint32>(record.size()), record);
    // The answer is 64 bits wide; a nonzero answer must not become 0 (not
    // accepted) by losing its upper half.
    const auto narrowed = static_cast<qint32>(answer);
    return answer != 0 && narrowed == 0 ? 1 : narrowed;
}

QByteArray TDezaZudi::NewConnectionId()
{
    return m_platform->NewGuid();
}
