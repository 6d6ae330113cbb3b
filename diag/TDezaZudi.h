#pragma once

// TDezaZudi is implemented in three files: TDezaZudi.cpp (the send
// operations), DispatcherLink.cpp (the link to the dispatcher) and
// PropertyDump.cpp (the object and property dumps).

#include "diag/CSFormat.h"
#include "diag/DispatcherPlatform.h"
#include "diag/TCSClient.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>

#include <cstddef>
#include <functional>
#include <memory>

class QMetaProperty;
class TCSObjectManager;

// A colour as the window definitions store it: 0x00BBGGRR for a plain
// colour, 0xFF0000nn for the system colour with index nn. A type of its own
// (not an alias of int), so that the property dump can tell a colour
// property from a number: Qt keeps no alias names at run time.
// Not Rz::TColor of the widgets: this library must not depend on widgets.
enum class TColor : qint32
{
};
// A cursor identifier; the standard cursors are 0 and negative numbers.
enum class TCursor : qint32
{
};

inline constexpr TColor clWindow = TColor(static_cast<qint32>(0xFF000005));

// The message kinds this client produces; any other number passes through
// the operations that take a kind. Kinds FirstLinkKind to LastLinkKind are
// the link's own.
enum TCSMessageKind : qint32
{
    mkPlain = 0,
    mkError = 2,
    mkObject = 4,
    mkList = 6,
    mkEntry = 9,
    mkExit = 10,
    mkRegister = 41,
    mkUnregister = 42,
};

// The kinds the link uses for itself (registration and the like): never
// offered to the OnSendMsg handler.
inline constexpr qint32 FirstLinkKind = 40;
inline constexpr qint32 LastLinkKind = 99;

// Where the client cuts what it sends, in bytes.
inline constexpr qsizetype MaxComputerNameLength = 15;
// The application name, a type name and the category.
inline constexpr qsizetype MaxShortNameLength = 40;
// The name of a value, list or object.
inline constexpr qsizetype MaxNameLength = 255;
// The command that starts the dispatcher.
inline constexpr qsizetype MaxCommandLength = 255;
// The report of an exception.
inline constexpr qsizetype MaxExceptionTextLength = 1024;

// The moment of a send: milliseconds since local midnight and the local day
// number (1 January 0001 is day 1).
struct TCSTimeStamp
{
    qint32 Time = 0;
    qint32 Date = 0;
};

// What the OnSendMsg handler is shown of a message; valid during the call.
struct TDezaZudiMsgData
{
    qint32 Kind = 0;
    QByteArray Text;
    QByteArrayList Details;
    quint32 ProcessId = 0;
    quint32 ThreadId = 0;
    QByteArray ComputerName; // at most MaxComputerNameLength bytes
    QByteArray AppName;      // at most MaxShortNameLength bytes
    QByteArray TypeName;     // at most MaxShortNameLength bytes
    QByteArray Category;     // at most MaxShortNameLength bytes
    TColor CategoryColor = TColor(0);
    qint32 Time = 0;
    qint32 Date = 0;
};

class TDezaZudi;
// The hook: Handled is true on entry; a handler that leaves it true keeps
// the message from the dispatcher.
using TCSSendMsgEvent =
    std::function<void(TDezaZudi *Sender, const TDezaZudiMsgData &MsgData, bool &Handled)>;

// An object the client can name in a method mark or list in a dump: a
// QObject (a component, known by its objectName) or a gadget (a plain
// object, listed through its static meta-object).
struct TCSObjectRef
{
    const void *Object = nullptr;
    const QMetaObject *MetaObject = nullptr;
    bool IsComponent = false;

    TCSObjectRef() = default;
    TCSObjectRef(std::nullptr_t) {}
    TCSObjectRef(const QObject *object)
        : Object(object), MetaObject(object ? object->metaObject() : nullptr),
          IsComponent(object != nullptr)
    {}
    // A plain object with the given property information (none: nullptr).
    TCSObjectRef(const void *object, const QMetaObject *metaObject)
        : Object(object), MetaObject(metaObject)
    {}
    template <class Gadget> static TCSObjectRef Of(const Gadget &gadget)
    {
        return TCSObjectRef(&gadget, &Gadget::staticMetaObject);
    }

    // The QObject behind a component reference.
    const QObject *Component() const { return static_cast<const QObject *>(Object); }
};

// The diagnostic message client: turns values, lists, objects, errors and
// method marks into messages and hands each to the dispatcher, which it
// finds, starts and registers with on its own. It never reports a failure
// to its caller; a dispatcher it cannot reach switches it off.
class TDezaZudi : public QObject, public TCSClient
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QByteArray DateTimeFormat READ DateTimeFormat WRITE SetDateTimeFormat)
    Q_PROPERTY(QByteArray Category READ Category WRITE SetCategory)
    Q_PROPERTY(TColor CategoryColor READ CategoryColor WRITE SetCategoryColor)
    Q_PROPERTY(qint32 HexViewWidth READ HexViewWidth WRITE SetHexViewWidth)
    Q_PROPERTY(QByteArray HexNumPrefix READ HexNumPrefix WRITE SetHexNumPrefix)
    Q_PROPERTY(char QuoteChar READ QuoteChar WRITE SetQuoteChar)
    Q_PROPERTY(TCSSendMsgEvent OnSendMsg READ OnSendMsg WRITE SetOnSendMsg)
    Q_PROPERTY(QByteArray DestinationDetails READ DestinationDetails WRITE SetDestinationDetails)

public:
    explicit TDezaZudi(QObject *parent = nullptr);
    ~TDezaZudi() override;

    // Published properties.
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value) { m_enabled = value; }
    QByteArray DateTimeFormat() const { return m_dateTimeFormat; }
    void SetDateTimeFormat(const QByteArray &value) { m_dateTimeFormat = value; }
    QByteArray Category() const { return m_category; }
    void SetCategory(const QByteArray &value) { m_category = value; }
    TColor CategoryColor() const { return m_categoryColor; }
    void SetCategoryColor(TColor value) { m_categoryColor = value; }
    qint32 HexViewWidth() const { return m_hexViewWidth; }
    void SetHexViewWidth(qint32 value) { m_hexViewWidth = value; }
    QByteArray HexNumPrefix() const { return m_hexNumPrefix; }
    void SetHexNumPrefix(const QByteArray &value) { m_hexNumPrefix = value; }
    char QuoteChar() const { return m_quoteChar; }
    void SetQuoteChar(char value) { m_quoteChar = value; }
    TCSSendMsgEvent OnSendMsg() const { return m_onSendMsg; }
    void SetOnSendMsg(const TCSSendMsgEvent &value) { m_onSendMsg = value; }
    QByteArray DestinationDetails() const { return m_destinationDetails; }

    // Link state.
    QByteArray ConnectionId() const { return m_connectionId; }
    bool Connecting() const { return m_connecting; }
    bool Registered() const { return m_registered; }
    QByteArray ComputerName() const { return m_computerName; }
    QByteArray AppName() const { return m_appName; }
    qint32 TimeZoneBias() const { return m_timeZoneBias; }
    TWindowHandle DispatcherWindow() const { return m_dispatcherWindow; }

    // The platform this client talks through; the manager's at creation.
    DispatcherPlatform &Platform() const { return *m_platform; }
    void SetPlatform(std::shared_ptr<DispatcherPlatform> platform) override;

    // Send operations: each does nothing at all while Enabled is false.
    void SendNamedValue(const QByteArray &Name, const QByteArray &Value);
    void SendNamedValueOfKind(qint32 Kind, const QByteArray &Name, const QByteArray &Value);
    void SendNamedList(const QByteArray &Name, const QByteArrayList &List);
    void SendListOfKind(qint32 Kind, const QByteArray &Name, const QByteArrayList &List,
                        const QByteArray &TypeName);
    void SendText(qint32 Kind, const QByteArray &Text);
    void SendFormatted(qint32 Kind, const QByteArray &Format, const TCSArgs &Args);
    void SendErrorText(const QByteArray &Text);
    void SendErrorFormatted(const QByteArray &Format, const TCSArgs &Args);
    // Describes the exception being handled; call it only inside a catch.
    [[gnu::noinline]] void SendLastException();
    void SendObject(const QByteArray &Name, const QObject *Object)
    {
        SendObject(Name, TCSObjectRef(Object));
    }

    // Appends the property lines of Object at a nesting level (Level times
    // two blanks of indent).
    void ListProperties(TCSObjectRef Object, int Level, QByteArrayList &Lines);

    // Virtual operations, in their slot order.
    virtual TCSTimeStamp QueryTimeStamp();
    virtual quint32 QueryProcessId();
    virtual quint32 QueryThreadId();
    virtual QByteArray QueryComputerName();
    virtual QByteArray QueryAppName();
    virtual void LocateDispatcher(bool LaunchIfAbsent);
    virtual void CheckDispatcherWindow(TWindowHandle Window);
    virtual void Connect();
    virtual void Reregister();
    virtual void Disconnect();
    void SetDestinationDetails(const QByteArray &Value) override;
    virtual QByteArray DispatcherClassName();
    virtual QByteArray DispatcherTitle();
    virtual QByteArray DispatcherPathValue();
    virtual QByteArray DefaultDispatcherFile();
    virtual void LaunchDispatcher(const QByteArray &Command, TWindowHandle &Window);
    virtual TWindowHandle FindThreadWindow(quint32 ThreadId);
    virtual TWindowHandle FindDispatcher(bool LaunchIfAbsent);
    virtual qint64 TransmitPacket(qint32 Kind, quint32 Size, const QByteArray &Record);
    virtual qint32 DeliverMessage(qint32 Kind, const QByteArray &Text, const QByteArray &Details,
                                  const QByteArray &TypeName);
    virtual void SendObject(const QByteArray &Name, TCSObjectRef Object);
    virtual void MarkEntry(const QByteArray &Name);
    virtual void MarkEntryOf(TCSObjectRef Object, const QByteArray &Name);
    virtual void MarkEntryFmt(const QByteArray &Name, const QByteArray &Format,
                              const TCSArgs &Args);
    virtual void MarkExit(const QByteArray &Name);
    virtual void MarkExitOf(TCSObjectRef Object, const QByteArray &Name);
    virtual void MarkExitFmt(const QByteArray &Name, const QByteArray &Format, const TCSArgs &Args);

    // The registry key that holds the dispatcher's command.
    // Plain characters, not QByteArray objects: a client may still send
    // (its unregistration) while the program's static objects are torn down.
    static constexpr char DispatcherKey[] = "\\Software\\Ravav\\DezaZudi\\2.0";
    // The title the thread-window search compares, whatever DispatcherTitle
    // a derived client gives.
    static constexpr char ThreadWindowTitle[] = "DezaZudi Dispatcher";

protected:
    // Sends a text without a list; does not look at Enabled.
    void SendRaw(qint32 Kind, const QByteArray &Text, const QByteArray &TypeName);
    QByteArray NewConnectionId();

private:
    void SendFormattedText(qint32 Kind, const QByteArray &Format, const TCSArgs &Args,
                           const QByteArray &Prefix, const void *caller);
    void SendLastExceptionFrom(const void *caller);
    bool OfferToHook(qint32 Kind, const QByteArray &Text, const QByteArray &Details,
                     const QByteArray &TypeName, const TCSTimeStamp &Stamp, bool &Handled);
    QByteArray Destination() const;
    QByteArray MarkText(TCSObjectRef Object, const QByteArray &Name) const;
    void ListPropertiesAt(TCSObjectRef Object, int Level, QByteArrayList &Lines,
                          QList<const void *> &Chain);
    // A property holding a plain object: its class, then its own properties
    // one level deeper.
    void ListPlainObjectAt(const QMetaProperty &Property, const void *Object, int Level,
                           QByteArrayList &Lines, QList<const void *> &Chain);

    TCSObjectManager *m_manager = nullptr;
    std::shared_ptr<DispatcherPlatform> m_platform;

    QByteArray m_connectionId;
    bool m_connecting = false;
    bool m_registered = false;
    QByteArray m_computerName;
    QByteArray m_appName;
    bool m_enabled = true;
    QByteArray m_dateTimeFormat;
    QByteArray m_category;
    TColor m_categoryColor = clWindow;
    qint32 m_timeZoneBias = 0;
    qint32 m_hexViewWidth = 8;
    QByteArray m_hexNumPrefix = "$";
    char m_quoteChar = '\'';
    TCSSendMsgEvent m_onSendMsg;
    QByteArray m_destinationDetails;
    TWindowHandle m_dispatcherWindow = 0;
    // An exchange ran past its bound: no lookup, start or exchange any more.
    bool m_dispatcherSilent = false;
};

// The client as it is placed on a window; About only shows whose it is.
class TCSObject : public TDezaZudi
{
    Q_OBJECT
    Q_PROPERTY(TCSAboutInfo About READ About WRITE SetAbout STORED false)

public:
    enum TCSAboutInfo
    {
        aiDezaZudi
    };
    Q_ENUM(TCSAboutInfo)

    using TDezaZudi::TDezaZudi;

    TCSAboutInfo About() const { return aiDezaZudi; }
    void SetAbout(TCSAboutInfo) {}
};
