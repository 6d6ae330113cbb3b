#include "diag/TDezaZudi.h"

#include "diag/LinuxDispatcherPlatform.h"
#include "diag/TCSObjectManager.h"

#include <cxxabi.h>
#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace {

QByteArray Joined(const QByteArrayList &list)
{
    QByteArray details;
    for (const QByteArray &line : list)
        details += line + "\r\n";
    return details;
}

// The details as a list of lines: breaks are CR LF, LF or CR, and a final
// break ends the last line without starting an empty one.
QByteArrayList SplitLines(const QByteArray &text)
{
    QByteArrayList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != '\r' && text.at(i) != '\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (text.at(i) == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

QByteArray Demangled(const char *name)
{
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> readable(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), &std::free);
    return status == 0 && readable ? QByteArray(readable.get()) : QByteArray(name);
}

} // namespace

TDezaZudi::TDezaZudi(QObject *parent) : QObject(parent), m_manager(ObjectManager())
{
    m_platform = m_manager ? m_manager->Platform() : std::make_shared<LinuxDispatcherPlatform>();
    m_timeZoneBias = m_platform->TimeZoneBias();
    if (m_manager)
        m_manager->AddClient(this);
}

TDezaZudi::~TDezaZudi()
{
    Disconnect();
    if (m_manager)
        m_manager->RemoveClient(this);
}

void TDezaZudi::SetPlatform(std::shared_ptr<DispatcherPlatform> platform)
{
    if (platform)
        m_platform = std::move(platform);
}

void TDezaZudi::SendNamedValue(const QByteArray &Name, const QByteArray &Value)
{
    SendNamedValueOfKind(mkPlain, Name, Value);
}

void TDezaZudi::SendNamedValueOfKind(qint32 Kind, const QByteArray &Name, const QByteArray &Value)
{
    if (!m_enabled)
        return;
    SendFormattedText(Kind, "%s = %s%s%s", {Name, m_quoteChar, Value, m_quoteChar}, QByteArray(),
                      __builtin_return_address(0));
}

void TDezaZudi::SendNamedList(const QByteArray &Name, const QByteArrayList &List)
{
    SendListOfKind(mkList, Name, List, "TStringList");
}

void TDezaZudi::SendListOfKind(qint32 Kind, const QByteArray &Name, const QByteArrayList &List,
                               const QByteArray &TypeName)
{
    if (!m_enabled)
        return;
    DeliverMessage(Kind, Name.left(MaxNameLength), Joined(List), TypeName);
}

void TDezaZudi::SendText(qint32 Kind, const QByteArray &Text)
{
    if (!m_enabled)
        return;
    SendRaw(Kind, Text, QByteArray());
}

void TDezaZudi::SendFormatted(qint32 Kind, const QByteArray &Format, const TCSArgs &Args)
{
    if (!m_enabled)
        return;
    SendFormattedText(Kind, Format, Args, QByteArray(), __builtin_return_address(0));
}

void TDezaZudi::SendErrorText(const QByteArray &Text)
{
    SendText(mkError, Text);
}

void TDezaZudi::SendErrorFormatted(const QByteArray &Format, const TCSArgs &Args)
{
    if (!m_enabled)
        return;
    SendFormattedText(mkError, Format, Args, QByteArray(), __builtin_return_address(0));
}

void TDezaZudi::SendLastException()
{
    if (!m_enabled)
        return;
    SendLastExceptionFrom(__builtin_return_address(0));
}

void TDezaZudi::MarkEntry(const QByteArray &Name)
{
    SendText(mkEntry, Name);
}

void TDezaZudi::MarkEntryOf(TCSObjectRef Object, const QByteArray &Name)
{
    SendText(mkEntry, MarkText(Object, Name));
}

void TDezaZudi::MarkEntryFmt(const QByteArray &Name, const QByteArray &Format, const TCSArgs &Args)
{
    if (!m_enabled)
        return;
    SendFormattedText(mkEntry, Format, Args, Name + " - ", __builtin_return_address(0));
}

void TDezaZudi::MarkExit(const QByteArray &Name)
{
    SendText(mkExit, Name);
}

void TDezaZudi::MarkExitOf(TCSObjectRef Object, const QByteArray &Name)
{
    SendText(mkExit, MarkText(Object, Name));
}

void TDezaZudi::MarkExitFmt(const QByteArray &Name, const QByteArray &Format, const TCSArgs &Args)
{
    if (!m_enabled)
        return;
    SendFormattedText(mkExit, Format, Args, Name + " - ", __builtin_return_address(0));
}

void TDezaZudi::SendRaw(qint32 Kind, const QByteArray &Text, const QByteArray &TypeName)
{
    DeliverMessage(Kind, Text, QByteArray(), TypeName);
}

void TDezaZudi::SendFormattedText(qint32 Kind, const QByteArray &Format, const TCSArgs &Args,
                                  const QByteArray &Prefix, const void *caller)
{
    QByteArray text;
    try {
        text = Prefix + CSFormat(Format, Args);
    } catch (const EConvertError &) {
        // A format that does not fit its arguments is the caller's mistake
        // in a diagnostic: it is reported to the dispatcher, not thrown.
        SendLastExceptionFrom(caller);
        return;
    }
    SendRaw(Kind, text, QByteArray());
}

void TDezaZudi::SendLastExceptionFrom(const void *caller)
{
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return;
    const std::type_info *type = abi::__cxa_current_exception_type();
    const QByteArray className = type ? Demangled(type->name()) : QByteArray("?");

    const void *address = caller;
    QByteArray message;
    try {
        std::rethrow_exception(current);
    } catch (const TRaiseAddress &raised) {
        address = raised.RaiseAddress();
    } catch (...) {
    }
    try {
        std::rethrow_exception(current);
    } catch (const Exception &error) {
        message = error.message().toUtf8();
    } catch (const std::exception &error) {
        message = error.what();
    } catch (...) {
    }

    // The module is the executable or shared library holding the address;
    // the address is counted from where that module was loaded.
    QByteArray module = "?";
    quintptr offset = reinterpret_cast<quintptr>(address);
    Dl_info info{};
    if (address && ::dladdr(address, &info) != 0) {
        if (info.dli_fname && *info.dli_fname) {
            module = info.dli_fname;
            module = module.mid(module.lastIndexOf('/') + 1);
        }
        offset -= reinterpret_cast<quintptr>(info.dli_fbase);
    }
    const QByteArray where =
        QByteArray::number(static_cast<quint64>(offset), 16).toUpper().rightJustified(8, '0');
    const QByteArray stop = !message.isEmpty() && !message.endsWith('.') ? "." : "";
    const QByteArray text = CSFormat("Exception %s in module %s at %s.\r\n%s%s\r\n",
                                     {className, module, where, message, stop});
    SendRaw(mkError, text.left(MaxExceptionTextLength), QByteArray());
}

bool TDezaZudi::OfferToHook(qint32 Kind, const QByteArray &Text, const QByteArray &Details,
                            const QByteArray &TypeName, const TCSTimeStamp &Stamp, bool &Handled)
{
    if (!m_onSendMsg)
        return false;
    // A client whose messages go through a handler leaves the dispatcher
    // first; a message the handler lets through connects it again.
    if (m_registered)
        Disconnect();
    if (Kind >= FirstLinkKind && Kind <= LastLinkKind)
        return false;
    TDezaZudiMsgData data;
    data.Kind = Kind;
    data.Text = Text;
    data.Details = SplitLines(Details);
    data.ProcessId = QueryProcessId();
    data.ThreadId = QueryThreadId();
    data.ComputerName = m_computerName.left(MaxComputerNameLength);
    data.AppName = m_appName.left(MaxShortNameLength);
    data.TypeName = TypeName.left(MaxShortNameLength);
    data.Category = m_category.left(MaxShortNameLength);
    data.CategoryColor = m_categoryColor;
    data.Time = Stamp.Time;
    data.Date = Stamp.Date;
    const TCSSendMsgEvent handler = m_onSendMsg; // the handler may replace itself
    handler(this, data, Handled);
    return true;
}

QByteArray TDezaZudi::MarkText(TCSObjectRef Object, const QByteArray &Name) const
{
    if (!Object.Object || !Object.MetaObject)
        return Name;
    const QByteArray className = Object.MetaObject->className();
    if (Object.IsComponent)
        return className + "( " + Object.Component()->objectName().toUtf8() + " )." + Name;
    return className + '.' + Name;
}

QByteArray TDezaZudi::Destination() const
{
    if (!m_destinationDetails.isEmpty())
        return m_destinationDetails;
    return m_manager ? m_manager->DefaultDestination() : QByteArray("Viewer");
}
