// What assistive technology learns of button edits: an editable text whose
// buttons are its own children, with each button's shortcut key as the key
// binding of the edit's action for that button. The pair widget that holds
// the buttons is only layout, and is left out.
#include "widgets/buttonedit/TRzButtonEdit.h"
#include "widgets/buttonedit/TRzButtonPair.h"
#include "widgets/buttonedit/TRzControlButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>

namespace {

// The buttons a user can reach now, in their order in the edit.
QList<TRzControlButton *> ShownButtons(const TRzCustomButtonEdit *edit)
{
    QList<TRzControlButton *> buttons;
    for (TRzControlButton *button : {edit->Button(), edit->AltButton()}) {
        if (!button->isHidden())
            buttons.append(button);
    }
    return buttons;
}

QKeySequence ShortCutOf(const TRzCustomButtonEdit *edit, const TRzControlButton *button)
{
    return button == edit->Button() ? edit->ButtonShortCut() : edit->AltBtnShortCut();
}

// The edit whose button this is, when it sits in a button edit.
TRzCustomButtonEdit *EditOf(const QWidget *button)
{
    const QWidget *pair = button->parentWidget();
    if (!qobject_cast<const TRzButtonPair *>(pair))
        return nullptr;
    return qobject_cast<TRzCustomButtonEdit *>(pair->parentWidget());
}

class EditAccessible : public QAccessibleWidget,
                       public QAccessibleTextInterface,
                       public QAccessibleEditableTextInterface
{
public:
    explicit EditAccessible(TRzCustomButtonEdit *edit)
        : QAccessibleWidget(edit, QAccessible::EditableText)
    {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return Edit()->text();
        return QAccessibleWidget::text(kind);
    }
    void setText(QAccessible::Text kind, const QString &text) override
    {
        if (kind == QAccessible::Value && Editable())
            Edit()->setText(text);
        else
            QAccessibleWidget::setText(kind, text);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = Editable();
        state.readOnly = !Editable();
        state.selectableText = true;
        return state;
    }

    int childCount() const override { return int(ShownButtons(Edit()).size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<TRzControlButton *> buttons = ShownButtons(Edit());
        if (index < 0 || index >= buttons.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(buttons.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        return int(ShownButtons(Edit()).indexOf(qobject_cast<TRzControlButton *>(child->object())));
    }

    // Each button is an action of the edit, named as the button is, so
    // that its shortcut key is the action's key binding.
    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        for (TRzControlButton *button : ShownButtons(Edit())) {
            if (button->isEnabled())
                names.append(button->accessibleName());
        }
        return names;
    }
    void doAction(const QString &name) override
    {
        if (TRzControlButton *button = ButtonNamed(name))
            button->click();
        else
            QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString &name) const override
    {
        if (const TRzControlButton *button = ButtonNamed(name)) {
            const QKeySequence key = ShortCutOf(Edit(), button);
            return key.isEmpty() ? QStringList()
                                 : QStringList{key.toString(QKeySequence::NativeText)};
        }
        return QAccessibleWidget::keyBindingsForAction(name);
    }

    void selection(int index, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (index == 0 && Edit()->hasSelectedText()) {
            *startOffset = Edit()->selectionStart();
            *endOffset = *startOffset + Edit()->selectionLength();
        }
    }
    int selectionCount() const override { return Edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int index) override
    {
        if (index == 0)
            Edit()->deselect();
    }
    void setSelection(int index, int startOffset, int endOffset) override
    {
        if (index == 0)
            Edit()->setSelection(startOffset, endOffset - startOffset);
    }
    int cursorPosition() const override { return Edit()->cursorPosition(); }
    void setCursorPosition(int position) override { Edit()->setCursorPosition(position); }
    QString text(int startOffset, int endOffset) const override
    {
        return Edit()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(Edit()->text().size()); }
    QRect characterRect(int offset) const override
    {
        const QString text = Edit()->text();
        if (offset < 0 || offset >= text.size())
            return QRect();
        // The text as laid out from the left margin; a scrolled edit puts
        // it elsewhere, which is near enough for a magnifier to follow.
        const QFontMetrics metrics(Edit()->font());
        const QRect box = Edit()->contentsRect().marginsRemoved(Edit()->textMargins());
        const int left = box.left() + metrics.horizontalAdvance(text.left(offset));
        const QRect rect(left, box.top(), metrics.horizontalAdvance(text.at(offset)), box.height());
        return QRect(Edit()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return Edit()->cursorPositionAt(Edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        Edit()->setCursorPosition(endIndex);
        Edit()->setCursorPosition(startIndex);
    }
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return QString();
    }

    // Assistive technology edits as the keyboard does: not at all where
    // the keyboard may not.
    void deleteText(int startOffset, int endOffset) override
    {
        replaceText(startOffset, endOffset, QString());
    }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        if (!Editable())
            return;
        QString value = Edit()->text();
        if (startOffset < 0 || startOffset > endOffset || endOffset > value.size())
            return;
        value.replace(startOffset, endOffset - startOffset, text);
        Edit()->setText(value);
    }

private:
    TRzCustomButtonEdit *Edit() const { return static_cast<TRzCustomButtonEdit *>(widget()); }
    bool Editable() const { return !Edit()->isReadOnly() && Edit()->AllowKeyEdit(); }
    TRzControlButton *ButtonNamed(const QString &name) const
    {
        for (TRzControlButton *button : ShownButtons(Edit())) {
            if (button->isEnabled() && button->accessibleName() == name)
                return button;
        }
        return nullptr;
    }
};

// A button of a button edit: a child of the edit itself. It takes no
// focus; the edit keeps it, and its shortcut presses the button.
class ButtonAccessible : public QAccessibleWidget
{
public:
    ButtonAccessible(TRzControlButton *button, TRzCustomButtonEdit *edit)
        : QAccessibleWidget(button, QAccessible::Button), m_edit(edit)
    {}

    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_edit);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = Button()->isDown();
        return state;
    }
    QStringList actionNames() const override
    {
        return Button()->isEnabled() ? QStringList{pressAction()} : QStringList();
    }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && Button()->isEnabled())
            Button()->click();
    }
    QStringList keyBindingsForAction(const QString &name) const override
    {
        const QKeySequence key = ShortCutOf(m_edit, Button());
        if (name != pressAction() || key.isEmpty())
            return QStringList();
        return {key.toString(QKeySequence::NativeText)};
    }

private:
    TRzControlButton *Button() const { return static_cast<TRzControlButton *>(widget()); }
    TRzCustomButtonEdit *m_edit;
};

// The pair that holds the buttons: layout, not a control. Not valid, so
// that nothing is said about it and its showing sends no events.
class LayoutOnlyAccessible : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;
    bool isValid() const override { return false; }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = true;
        return state;
    }
};

QAccessibleInterface *Factory(const QString &, QObject *object)
{
    if (auto *edit = qobject_cast<TRzCustomButtonEdit *>(object))
        return new EditAccessible(edit);
    if (auto *button = qobject_cast<TRzControlButton *>(object)) {
        if (TRzCustomButtonEdit *edit = EditOf(button))
            return new ButtonAccessible(button, edit);
        return nullptr;
    }
    if (auto *pair = qobject_cast<TRzButtonPair *>(object);
        pair && qobject_cast<TRzCustomButtonEdit *>(pair->parentWidget()))
        return new LayoutOnlyAccessible(pair);
    return nullptr;
}

} // namespace

void InstallButtonEditAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    Q_UNUSED(installed);
}
