#include "diag/PropertyDump.h"

#include <QColor>
#include <QCursor>
#include <QDateTime>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <algorithm>
#include <cstring>

namespace {

struct TIdent
{
    qint32 Value;
    const char *Name;
};

// Plain colours are 0x00BBGGRR; system colours 0xFF000000 + their index.
constexpr TIdent ColorIdents[] = {
    {0x000000, "clBlack"},
    {0x000080, "clMaroon"},
    {0x008000, "clGreen"},
    {0x008080, "clOlive"},
    {0x800000, "clNavy"},
    {0x800080, "clPurple"},
    {0x808000, "clTeal"},
    {0x808080, "clGray"},
    {0xC0C0C0, "clSilver"},
    {0x0000FF, "clRed"},
    {0x00FF00, "clLime"},
    {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"},
    {0xFF00FF, "clFuchsia"},
    {0xFFFF00, "clAqua"},
    {0xFFFFFF, "clWhite"},
    {static_cast<qint32>(0xFF000005), "clWindow"},
    {static_cast<qint32>(0xFF000008), "clWindowText"},
    {static_cast<qint32>(0xFF00000D), "clHighlight"},
    {static_cast<qint32>(0xFF00000F), "clBtnFace"},
    {static_cast<qint32>(0xFF000010), "clBtnShadow"},
    {0x1FFFFFFF, "clNone"},
};

// Looked up from the top, first match wins: -22 is always "crSizeAll".
constexpr TIdent CursorIdents[] = {
    {0, "crDefault"},   {-2, "crArrow"},      {-3, "crCross"},      {-4, "crIBeam"},
    {-6, "crSizeNESW"}, {-7, "crSizeNS"},     {-8, "crSizeNWSE"},   {-9, "crSizeWE"},
    {-10, "crUpArrow"}, {-11, "crHourGlass"}, {-12, "crDrag"},      {-13, "crNoDrop"},
    {-14, "crHSplit"},  {-15, "crVSplit"},    {-16, "crMultiDrag"}, {-17, "crSQLWait"},
    {-18, "crNo"},      {-19, "crAppStart"},  {-20, "crHelp"},      {-21, "crHandPoint"},
    {-22, "crSizeAll"}, {-22, "crSize"},
};

const char *IdentOf(const TIdent *begin, const TIdent *end, qint32 value)
{
    const TIdent *found =
        std::find_if(begin, end, [value](const TIdent &ident) { return ident.Value == value; });
    return found != end ? found->Name : nullptr;
}

QMutex g_handlerLock;
QSet<int> &HandlerTypes()
{
    static QSet<int> types{QMetaType::fromType<TCSSendMsgEvent>().id()};
    return types;
}

// The kinds a dump knows, after the property's Qt type.
enum class Kind
{
    Skip,
    Integer,
    ColorNumber,
    CursorNumber,
    Unsigned,
    Boolean,
    Enumeration,
    Set,
    Float,
    DateTime,
    Date,
    Time,
    Text,
    Color,
    Cursor,
    Component,
    ObjectPointer,
    ObjectValue,
    Other,
};

Kind KindOf(const QMetaProperty &property)
{
    const QMetaType type = property.metaType();
    if (!type.isValid() || IsEventHandlerType(type))
        return Kind::Skip;
    // Colours and cursors are integers with a type of their own.
    if (type == QMetaType::fromType<TColor>())
        return Kind::ColorNumber;
    if (type == QMetaType::fromType<TCursor>())
        return Kind::CursorNumber;
    if (property.isFlagType())
        return Kind::Set;
    if (property.isEnumType() || (type.flags() & QMetaType::IsEnumeration))
        return Kind::Enumeration;
    if (type.flags() & QMetaType::PointerToQObject)
        return Kind::Component;
    if (type.flags() & QMetaType::PointerToGadget)
        return Kind::ObjectPointer;
    if (type.flags() & QMetaType::IsGadget)
        return Kind::ObjectValue;
    switch (type.id()) {
    case QMetaType::Bool:
        return Kind::Boolean;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::SChar:
        return Kind::Integer;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return Kind::Unsigned;
    case QMetaType::Double:
    case QMetaType::Float:
        return Kind::Float;
    case QMetaType::QDateTime:
        return Kind::DateTime;
    case QMetaType::QDate:
        return Kind::Date;
    case QMetaType::QTime:
        return Kind::Time;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return Kind::Text;
    case QMetaType::QColor:
        return Kind::Color;
    case QMetaType::QCursor:
        return Kind::Cursor;
    default:
        // Single and wide characters, 64-bit integers, variants, lists,
        // maps and every other value type.
        return Kind::Other;
    }
}

// The integral value behind an enumeration or a set, whatever its size.
qint64 IntegralValue(const QVariant &value)
{
    const void *data = value.constData();
    switch (value.metaType().sizeOf()) {
    case 1:
        return *static_cast<const qint8 *>(data);
    case 2:
        return *static_cast<const qint16 *>(data);
    case 4:
        return *static_cast<const qint32 *>(data);
    case 8:
        return *static_cast<const qint64 *>(data);
    default:
        return 0;
    }
}

QByteArray DeclaredClassName(const QMetaProperty &property)
{
    QByteArray name = property.typeName();
    while (name.endsWith('*') || name.endsWith(' '))
        name.chop(1);
    return name;
}

bool LessIgnoringAsciiCase(const QMetaProperty &a, const QMetaProperty &b)
{
    return qstricmp(a.name(), b.name()) < 0;
}

QList<QMetaProperty> PropertiesByName(const QMetaObject *meta)
{
    QList<QMetaProperty> properties;
    for (int i = 0; i < meta->propertyCount(); ++i)
        properties.append(meta->property(i));
    std::stable_sort(properties.begin(), properties.end(), LessIgnoringAsciiCase);
    return properties;
}

// What a property's one line needs besides its kind.
struct PropertyValue
{
    const QMetaProperty &property;
    const QVariant &value;
    const QByteArray &dateTimeFormat; // the client's; empty: the default
};

// The text after "name=" for each kind that fits on one line.

QByteArray IntegerText(const PropertyValue &p)
{
    return QByteArray::number(p.value.toLongLong());
}

QByteArray ColorNumberText(const PropertyValue &p)
{
    return ColorToIdent(TColor(static_cast<qint32>(IntegralValue(p.value))));
}

QByteArray CursorNumberText(const PropertyValue &p)
{
    return CursorToIdent(TCursor(static_cast<qint32>(IntegralValue(p.value))));
}

QByteArray UnsignedText(const PropertyValue &p)
{
    return QByteArray::number(p.value.toULongLong());
}

QByteArray BooleanText(const PropertyValue &p)
{
    return p.value.toBool() ? "True" : "False";
}

// The key of the value, or its number when it has none.
QByteArray EnumerationText(const PropertyValue &p)
{
    const qint64 number = IntegralValue(p.value);
    const QMetaEnum enumerator = p.property.enumerator();
    const char *key =
        enumerator.isValid() ? enumerator.valueToKey(static_cast<int>(number)) : nullptr;
    return key ? QByteArray(key) : QByteArray::number(number);
}

QByteArray FloatText(const PropertyValue &p)
{
    return QByteArray::number(p.value.toDouble(), 'g', 15);
}

QByteArray DateTimeText(const PropertyValue &p)
{
    const QString format = p.dateTimeFormat.isEmpty() ? QStringLiteral("yyyy-MM-dd hh:mm:ss")
                                                      : QString::fromUtf8(p.dateTimeFormat);
    return p.value.toDateTime().toString(format).toUtf8();
}

QByteArray DateText(const PropertyValue &p)
{
    return p.value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
}

QByteArray TimeText(const PropertyValue &p)
{
    return p.value.toTime().toString(QStringLiteral("hh:mm:ss")).toUtf8();
}

// Quoted; an empty text shows nothing at all, not two quotes.
QByteArray TextText(const PropertyValue &p)
{
    const QByteArray bytes = p.value.metaType().id() == QMetaType::QByteArray
                                 ? p.value.toByteArray()
                                 : p.value.toString().toUtf8();
    return bytes.isEmpty() ? QByteArray() : '\'' + bytes + '\'';
}

QByteArray ColorText(const PropertyValue &p)
{
    return ColorToIdent(ColorValue(p.value.value<QColor>()));
}

QByteArray CursorText(const PropertyValue &p)
{
    return CursorToIdent(CursorValue(p.value.value<QCursor>()));
}

// A component is shown by its name, never listed.
QByteArray ComponentText(const PropertyValue &p)
{
    const QObject *component = p.value.value<QObject *>();
    return component ? component->objectName().toUtf8() : QByteArray("nil");
}

// Reached only without an object: one that is there is listed instead.
QByteArray MissingObjectText(const PropertyValue &)
{
    return "nil";
}

QByteArray OtherText(const PropertyValue &)
{
    return "<<Not Implemented Yet>>";
}

struct KindText
{
    Kind kind;
    QByteArray (*text)(const PropertyValue &);
};

constexpr KindText KindTexts[] = {
    {Kind::Integer, IntegerText},
    {Kind::ColorNumber, ColorNumberText},
    {Kind::CursorNumber, CursorNumberText},
    {Kind::Unsigned, UnsignedText},
    {Kind::Boolean, BooleanText},
    {Kind::Enumeration, EnumerationText},
    {Kind::Float, FloatText},
    {Kind::DateTime, DateTimeText},
    {Kind::Date, DateText},
    {Kind::Time, TimeText},
    {Kind::Text, TextText},
    {Kind::Color, ColorText},
    {Kind::Cursor, CursorText},
    {Kind::Component, ComponentText},
    {Kind::ObjectPointer, MissingObjectText},
    {Kind::ObjectValue, MissingObjectText},
    {Kind::Other, OtherText},
};

QByteArray ValueText(Kind kind, const PropertyValue &p)
{
    for (const KindText &entry : KindTexts) {
        if (entry.kind == kind)
            return entry.text(p);
    }
    return QByteArray();
}

// A set: a line with the enumeration's name, then one line per element,
// the single-bit values from the lowest up, each True when its bit is in
// the value.
void AppendSetLines(const QByteArray &indent, const PropertyValue &p, QByteArrayList &lines)
{
    const QMetaEnum enumerator = p.property.enumerator();
    lines.append(indent + p.property.name() + "=[" + enumerator.name() + ']');
    QList<std::pair<quint32, const char *>> elements;
    for (int i = 0; i < enumerator.keyCount(); ++i) {
        const auto bit = static_cast<quint32>(enumerator.value(i));
        if (bit != 0 && (bit & (bit - 1)) == 0 &&
            std::none_of(elements.begin(), elements.end(),
                         [bit](const auto &element) { return element.first == bit; }))
            elements.append({bit, enumerator.key(i)});
    }
    std::sort(elements.begin(), elements.end());
    const auto bits = static_cast<quint32>(IntegralValue(p.value));
    for (const auto &[bit, key] : std::as_const(elements))
        lines.append(indent + "  " + key + '=' + ((bits & bit) ? "True" : "False"));
}

// The plain object a property holds, by value or through a pointer;
// nullptr for every other kind and for a null pointer.
const void *PlainObjectOf(Kind kind, const QVariant &value)
{
    if (kind == Kind::ObjectValue)
        return value.constData();
    if (kind == Kind::ObjectPointer)
        return *static_cast<const void *const *>(value.constData());
    return nullptr;
}

} // namespace

QByteArray ColorToIdent(TColor color)
{
    const auto value = static_cast<qint32>(color);
    if (const char *name = IdentOf(std::begin(ColorIdents), std::end(ColorIdents), value))
        return name;
    return '$' +
           QByteArray::number(static_cast<quint32>(value), 16).toUpper().rightJustified(8, '0');
}

TColor ColorValue(const QColor &color)
{
    if (!color.isValid())
        return TColor(0x1FFFFFFF);
    return TColor((color.blue() << 16) | (color.green() << 8) | color.red());
}

QByteArray CursorToIdent(TCursor cursor)
{
    const auto value = static_cast<qint32>(cursor);
    if (const char *name = IdentOf(std::begin(CursorIdents), std::end(CursorIdents), value))
        return name;
    return QByteArray::number(value);
}

TCursor CursorValue(const QCursor &cursor)
{
    return TCursor(CursorNumber(cursor.shape()));
}

qint32 CursorNumber(Qt::CursorShape shape)
{
    switch (shape) {
    case Qt::ArrowCursor:
        return -2;
    case Qt::UpArrowCursor:
        return -10;
    case Qt::CrossCursor:
        return -3;
    case Qt::WaitCursor:
        return -11;
    case Qt::IBeamCursor:
        return -4;
    case Qt::SizeVerCursor:
        return -7;
    case Qt::SizeHorCursor:
        return -9;
    case Qt::SizeBDiagCursor:
        return -6;
    case Qt::SizeFDiagCursor:
        return -8;
    case Qt::SizeAllCursor:
        return -22;
    case Qt::BlankCursor:
        return -1;
    case Qt::SplitVCursor:
        return -15;
    case Qt::SplitHCursor:
        return -14;
    case Qt::PointingHandCursor:
        return -21;
    case Qt::ForbiddenCursor:
        return -18;
    case Qt::WhatsThisCursor:
        return -20;
    case Qt::BusyCursor:
        return -19;
    case Qt::DragMoveCursor:
        return -12;
    case Qt::DragCopyCursor:
        return -16;
    default:
        // Shapes without a standard identifier count as the program's own
        // cursors, which are positive numbers: the shape's number.
        return static_cast<qint32>(shape);
    }
}

void RegisterEventHandlerType(QMetaType type)
{
    QMutexLocker locker(&g_handlerLock);
    HandlerTypes().insert(type.id());
}

bool IsEventHandlerType(QMetaType type)
{
    QMutexLocker locker(&g_handlerLock);
    return HandlerTypes().contains(type.id());
}

void TDezaZudi::SendObject(const QByteArray &Name, TCSObjectRef Object)
{
    if (!m_enabled)
        return;
    const QByteArray name = Name.left(MaxNameLength);
    if (!Object.Object) {
        SendRaw(mkError, name + ": Call to SendObject with nil object", QByteArray());
        return;
    }
    if (!Object.MetaObject) {
        SendRaw(mkError, name + ": Object has no RTTI", QByteArray());
        return;
    }
    QByteArrayList lines;
    ListProperties(Object, 0, lines);
    QByteArray details;
    for (const QByteArray &line : std::as_const(lines))
        details += line + "\r\n";
    DeliverMessage(mkObject, name, details, Object.MetaObject->className());
}

void TDezaZudi::ListProperties(TCSObjectRef Object, int Level, QByteArrayList &Lines)
{
    QList<const void *> chain{Object.Object};
    ListPropertiesAt(Object, Level, Lines, chain);
}

void TDezaZudi::ListPropertiesAt(TCSObjectRef Object, int Level, QByteArrayList &Lines,
                                 QList<const void *> &Chain)
{
    if (!Object.Object || !Object.MetaObject) {
        if (Level == 0)
            SendRaw(mkError, "Object has no RTTI", QByteArray());
        return;
    }
    const QByteArray indent(2 * Level, ' ');
    for (const QMetaProperty &property : PropertiesByName(Object.MetaObject)) {
        const Kind kind = KindOf(property);
        if (!property.isReadable() || kind == Kind::Skip)
            continue;
        const QVariant value = Object.IsComponent ? property.read(Object.Component())
                                                  : property.readOnGadget(Object.Object);
        const PropertyValue shown{property, value, m_dateTimeFormat};
        if (kind == Kind::Set)
            AppendSetLines(indent, shown, Lines);
        else if (const void *object = PlainObjectOf(kind, value))
            ListPlainObjectAt(property, object, Level, Lines, Chain);
        else
            Lines.append(indent + property.name() + '=' + ValueText(kind, shown));
    }
}

void TDezaZudi::ListPlainObjectAt(const QMetaProperty &Property, const void *Object, int Level,
                                  QByteArrayList &Lines, QList<const void *> &Chain)
{
    const QByteArray indent(2 * Level, ' ');
    Lines.append(indent + Property.name() + "=(" + DeclaredClassName(Property) + ')');
    // Plain objects may refer to each other in a cycle: an object already
    // being listed further up is marked, not listed again.
    if (Chain.contains(Object))
        Lines.append(indent + "  <<Cycle>>");
    else if (Level + 1 > MaxDumpDepth)
        Lines.append(indent + "  <<Too Deep>>");
    else {
        Chain.append(Object);
        ListPropertiesAt(TCSObjectRef(Object, Property.metaType().metaObject()), Level + 1, Lines,
                         Chain);
        Chain.removeLast();
    }
}
