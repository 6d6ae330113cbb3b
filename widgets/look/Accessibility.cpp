#include "widgets/look/Accessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QStringList>
#include <QWidget>

namespace Accessibility {

namespace {

const char DecorativeProperty[] = "flittoDecorative";

// A picture that tells nothing: present in the tree of the window, but
// invisible, so that screen readers pass over it.
class DecorativeInterface : public QAccessibleWidget
{
public:
    explicit DecorativeInterface(QWidget *widget) : QAccessibleWidget(widget, QAccessible::Graphic)
    {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = true;
        state.focusable = false;
        return state;
    }
    QString text(QAccessible::Text) const override { return QString(); }
};

QAccessibleInterface *DecorativeFactory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && IsDecorative(widget))
        return new DecorativeInterface(widget);
    return nullptr;
}

QWidget *Find(QWidget *window, const QString &name)
{
    if (window->objectName() == name)
        return window;
    return window->findChild<QWidget *>(name);
}

} // namespace

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
    static const bool installed = [] {
        QAccessible::installFactory(DecorativeFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(DecorativeProperty, true);
    // An interface made before the mark would stay in Qt's cache; the next
    // query has to reach the factory.
    if (QAccessible::isActive()) {
        if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
            iface && !dynamic_cast<DecorativeInterface *>(iface))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    }
}

bool IsDecorative(const QWidget *widget)
{
    return widget->property(DecorativeProperty).toBool();
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
