#include "widgets/look/Accessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace Accessibility {

namespace {

const char DecorativeProperty[] = "flittoDecorative";
const char FrameProperty[] = "flittoFrame";
const char StatusLineProperty[] = "flittoStatusLine";
const char AnnouncedProperty[] = "flittoAnnounced";

// A picture that tells nothing: invisible, so that screen readers pass over
// it. It is also not valid, which is what keeps Qt from sending its showing
// and hiding to listeners: those would be noise about nothing.
class DecorativeInterface : public QAccessibleWidget
{
public:
    explicit DecorativeInterface(QWidget *widget) : QAccessibleWidget(widget, QAccessible::Graphic)
    {}

    bool isValid() const override { return false; }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = true;
        state.focusable = false;
        return state;
    }
    QString text(QAccessible::Text) const override { return QString(); }
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
};

// A status line: a label that is a status bar, named by its text.
class StatusLineInterface : public StatusBarInterface
{
public:
    explicit StatusLineInterface(QLabel *label) : StatusBarInterface(label) {}

    using StatusBarInterface::text;

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return StatusText();
        return QAccessibleWidget::text(kind);
    }

protected:
    QString StatusText() const override { return static_cast<QLabel *>(widget())->text(); }
};

// The children a screen reader may reach: decorative ones are left out, so
// that they leave no empty places in the tree either.
QList<QWidget *> ReachableChildren(const QWidget *widget)
{
    QList<QWidget *> children;
    for (QObject *object : widget->children()) {
        auto *child = qobject_cast<QWidget *>(object);
        if (child && !child->isWindow() && !IsDecorative(child))
            children.append(child);
    }
    return children;
}

bool HasDecorativeChild(const QWidget *widget)
{
    for (QObject *object : widget->children()) {
        if (auto *child = qobject_cast<QWidget *>(object); child && IsDecorative(child))
            return true;
    }
    return false;
}

// Whether Qt would give the widget its plain interface: a widget whose
// nearest class of Qt's own is QWidget or QTabWidget.
bool IsPlainContainer(const QWidget *widget)
{
    for (const QMetaObject *meta = widget->metaObject(); meta; meta = meta->superClass()) {
        const char *name = meta->className();
        if (name[0] == 'Q')
            return qstrcmp(name, "QWidget") == 0 || qstrcmp(name, "QTabWidget") == 0;
    }
    return false;
}

// A container, or the main window, whose decorative children are not
// listed.
class ContainerInterface : public QAccessibleWidget
{
public:
    ContainerInterface(QWidget *widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    int childCount() const override { return int(ReachableChildren(widget()).size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> children = ReachableChildren(widget());
        if (index < 0 || index >= children.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(children.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        return int(ReachableChildren(widget()).indexOf(qobject_cast<QWidget *>(child->object())));
    }
};

QAccessibleInterface *Factory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    if (IsDecorative(widget))
        return new DecorativeInterface(widget);
    const bool frame = widget->property(FrameProperty).toBool();
    if (frame || (HasDecorativeChild(widget) && IsPlainContainer(widget)))
        return new ContainerInterface(widget, frame ? QAccessible::Window : QAccessible::Client);
    if (auto *label = qobject_cast<QLabel *>(widget);
        label && label->property(StatusLineProperty).toBool())
        return new StatusLineInterface(label);
    return nullptr;
}

// Drops the interface Qt keeps for the widget, so that the next query
// reaches the factory.
void Forget(QWidget *widget)
{
    if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

// Marks a widget for the factory. An interface made before the mark (Qt
// makes them while it builds a widget, listeners or not) would stay in Qt's
// cache, so it goes.
void Mark(QWidget *widget, const char *property)
{
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(property, true);
    Forget(widget);
    // A decorative child changes what its parent lists.
    if (QWidget *parent = widget->parentWidget(); parent && IsDecorative(widget))
        Forget(parent);
}

QWidget *Find(QWidget *window, const QString &name)
{
    if (window->objectName() == name)
        return window;
    return window->findChild<QWidget *>(name);
}

} // namespace

void *StatusBarInterface::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

void StatusBarInterface::selection(int, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
}

QString StatusBarInterface::text(int startOffset, int endOffset) const
{
    return StatusText().mid(startOffset, endOffset - startOffset);
}

QString StatusBarInterface::attributes(int, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}

QStringList Apply(QWidget *window, std::span<const Entry> entries)
{
    QStringList missing;
    for (const Entry &entry : entries) {
        const QString objectName = QLatin1String(entry.objectName);
        QWidget *widget = Find(window, objectName);
        if (!widget) {
            missing.append(objectName);
            continue;
        }
        switch (entry.kind) {
        case Kind::Decorative:
            MarkDecorative(widget);
            continue;
        case Kind::Named:
            widget->setAccessibleName(QString::fromUtf8(entry.name));
            break;
        case Kind::OwnText:
            if (auto *button = qobject_cast<QAbstractButton *>(widget))
                button->setAccessibleName(WithoutMnemonic(button->text()));
            break;
        }
        widget->setAccessibleDescription(QString::fromUtf8(entry.description));
    }
    return missing;
}

void MarkDecorative(QWidget *widget)
{
    Mark(widget, DecorativeProperty);
}

bool IsDecorative(const QWidget *widget)
{
    return widget->property(DecorativeProperty).toBool();
}

void MarkFrame(QWidget *window)
{
    Mark(window, FrameProperty);
}

void MarkStatusLine(QLabel *label)
{
    Mark(label, StatusLineProperty);
}

void AnnounceStatus(QLabel *label)
{
    const QString announced = label->property(AnnouncedProperty).toString();
    const QString text = label->text();
    if (text == announced)
        return;
    label->setProperty(AnnouncedProperty, text);
    // A removal and an insertion, rather than one update: every version of
    // the desktop bridge passes those two on.
    if (!announced.isEmpty()) {
        QAccessibleTextRemoveEvent removed(label, 0, announced);
        QAccessible::updateAccessibility(&removed);
    }
    if (!text.isEmpty()) {
        QAccessibleTextInsertEvent inserted(label, 0, text);
        QAccessible::updateAccessibility(&inserted);
    }
}

QString WithoutMnemonic(const QString &caption)
{
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            if (i + 1 >= caption.size())
                break;
            ++i;
        }
        text.append(caption.at(i));
    }
    return text;
}

void NameSelectFolderForm(QWidget *form)
{
    static constexpr Entry entries[] = {
        {"TRzSelectFolderForm", Kind::OwnText, nullptr,
         "Choose a folder in the tree, then confirm it with OK"},
        {"BtnNewFolder", Kind::OwnText, nullptr, "Creates a new folder in the selected folder"},
        {"BtnDeleteFolder", Kind::OwnText, nullptr, "Deletes the selected folder"},
        {"ShellTree", Kind::Named, "Folders", "The folders of this computer"},
        {"ButtonPanel", Kind::Named, "Dialog buttons", "Confirms or cancels the choice"},
        {"OkBtn", Kind::OwnText, nullptr, "Takes the selected folder"},
        {"CancelBtn", Kind::OwnText, nullptr, "Closes the dialog without a choice"},
        {"RzStatusBar1", Kind::Named, "Selected folder", "The path of the selected folder"},
    };
    Apply(form, entries);
}

} // namespace Accessibility
