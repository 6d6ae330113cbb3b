#include "widgets/buttonedit/TRzButtonEdit.h"

#include "widgets/buttonedit/TRzButtonPair.h"
#include "widgets/buttonedit/TRzControlButton.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHash>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScopedValueRollback>

// Q_INIT_RESOURCE declares a function of the global namespace, so it
// cannot stand inside a namespace or a class.
static void InitWidgetResources()
{
    Q_INIT_RESOURCE(widgets);
}

namespace {

QLatin1String PictureName(TRzCustomButtonEdit::TButtonKind kind)
{
    switch (kind) {
    case TRzCustomButtonEdit::bkLookup:
        return QLatin1String("RZBTNEDT_LOOKUP");
    case TRzCustomButtonEdit::bkDropDown:
        return QLatin1String("RZBTNEDT_DROPDOWN");
    case TRzCustomButtonEdit::bkCalendar:
        return QLatin1String("RZBTNEDT_CALENDAR");
    case TRzCustomButtonEdit::bkAccept:
        return QLatin1String("RZBTNEDT_ACCEPT");
    case TRzCustomButtonEdit::bkReject:
        return QLatin1String("RZBTNEDT_REJECT");
    case TRzCustomButtonEdit::bkFolder:
        return QLatin1String("RZBTNEDT_FOLDER");
    case TRzCustomButtonEdit::bkFind:
        return QLatin1String("RZBTNEDT_FIND");
    case TRzCustomButtonEdit::bkSearch:
        return QLatin1String("RZBTNEDT_SEARCH");
    case TRzCustomButtonEdit::bkCustom:
        break;
    }
    return QLatin1String();
}

// What a button of the kind does, as a screen reader says it; a custom
// button keeps the name it was given.
QString ActionName(TRzCustomButtonEdit::TButtonKind kind)
{
    switch (kind) {
    case TRzCustomButtonEdit::bkLookup:
        return QStringLiteral("Browse");
    case TRzCustomButtonEdit::bkDropDown:
        return QStringLiteral("Open list");
    case TRzCustomButtonEdit::bkCalendar:
        return QStringLiteral("Calendar");
    case TRzCustomButtonEdit::bkAccept:
        return QStringLiteral("Accept");
    case TRzCustomButtonEdit::bkReject:
        return QStringLiteral("Reject");
    case TRzCustomButtonEdit::bkFolder:
        return QStringLiteral("Choose folder");
    case TRzCustomButtonEdit::bkFind:
        return QStringLiteral("Find");
    case TRzCustomButtonEdit::bkSearch:
        return QStringLiteral("Search");
    case TRzCustomButtonEdit::bkCustom:
        break;
    }
    return QString();
}

} // namespace

QImage TRzCustomButtonEdit::KindPicture(TButtonKind kind, int scale)
{
    // Only the user-interface thread creates button edits, so no lock.
    static bool resourcesReady = false;
    static QHash<int, QImage> pictures[2];
    if (kind == bkCustom)
        return {};
    const bool dense = scale > 1;
    const auto found = pictures[dense].constFind(kind);
    if (found != pictures[dense].cend())
        return *found;
    if (!resourcesReady) {
        InitWidgetResources();
        resourcesReady = true;
    }
    QImage picture(QStringLiteral(":/buttonedit/") + PictureName(kind) +
                   (dense ? QLatin1String("@2x") : QLatin1String()));
    if (dense)
        picture.setDevicePixelRatio(2);
    pictures[dense].insert(kind, picture);
    return picture;
}

TRzCustomButtonEdit::TRzCustomButtonEdit(QWidget *parent)
    : TRzEdit(parent), m_pair(new TRzButtonPair(this))
{
    InstallButtonEditAccessibility();
    m_pair->resize(17, 10);
    m_pair->SetFocusControl(this);
    connect(m_pair, &TRzButtonPair::BtnClick, this, &TRzCustomButtonEdit::OnButtonClick);
    connect(m_pair, &TRzButtonPair::AltBtnClick, this, &TRzCustomButtonEdit::OnAltBtnClick);
    SetKind(0, bkLookup);
    SetKind(1, bkLookup);
    UpdateFlatButtons();
    Arrange();
}

TRzCustomButtonEdit::~TRzCustomButtonEdit() = default;

TRzControlButton *TRzCustomButtonEdit::Button() const
{
    return m_pair->Button();
}

TRzControlButton *TRzCustomButtonEdit::AltButton() const
{
    return m_pair->AltButton();
}

TRzControlButton *TRzCustomButtonEdit::ButtonAt(int index) const
{
    return index == 0 ? m_pair->Button() : m_pair->AltButton();
}

bool TRzCustomButtonEdit::ButtonVisible() const
{
    return !Button()->isHidden();
}

void TRzCustomButtonEdit::SetButtonVisible(bool visible)
{
    Button()->setVisible(visible);
    Arrange();
}

QImage TRzCustomButtonEdit::ButtonGlyph() const
{
    return Button()->Glyph();
}

int TRzCustomButtonEdit::ButtonNumGlyphs() const
{
    return Button()->NumGlyphs();
}

void TRzCustomButtonEdit::SetButtonNumGlyphs(int count)
{
    Button()->SetNumGlyphs(count);
}

int TRzCustomButtonEdit::ButtonWidth() const
{
    return Button()->Width();
}

void TRzCustomButtonEdit::SetButtonWidth(int width)
{
    Button()->SetWidth(width);
    Arrange();
}

QString TRzCustomButtonEdit::ButtonHint() const
{
    return Button()->toolTip();
}

void TRzCustomButtonEdit::SetButtonHint(const QString &hint)
{
    Button()->setToolTip(hint);
}

bool TRzCustomButtonEdit::AltBtnVisible() const
{
    return !AltButton()->isHidden();
}

void TRzCustomButtonEdit::SetAltBtnVisible(bool visible)
{
    AltButton()->setVisible(visible);
    Arrange();
}

QImage TRzCustomButtonEdit::AltBtnGlyph() const
{
    return AltButton()->Glyph();
}

int TRzCustomButtonEdit::AltBtnNumGlyphs() const
{
    return AltButton()->NumGlyphs();
}

void TRzCustomButtonEdit::SetAltBtnNumGlyphs(int count)
{
    AltButton()->SetNumGlyphs(count);
}

int TRzCustomButtonEdit::AltBtnWidth() const
{
    return AltButton()->Width();
}

void TRzCustomButtonEdit::SetAltBtnWidth(int width)
{
    AltButton()->SetWidth(width);
    Arrange();
}

QString TRzCustomButtonEdit::AltBtnHint() const
{
    return AltButton()->toolTip();
}

void TRzCustomButtonEdit::SetAltBtnHint(const QString &hint)
{
    AltButton()->setToolTip(hint);
}

void TRzCustomButtonEdit::SetAllowKeyEdit(bool allow)
{
    m_allowKeyEdit = allow;
    // A drop would change the text as pasting does.
    setAcceptDrops(allow);
}

void TRzCustomButtonEdit::SetFlatButtons(bool flat)
{
    m_flatButtons = flat;
    UpdateFlatButtons();
    Arrange();
}

QColor TRzCustomButtonEdit::FlatButtonColor() const
{
    return m_flatButtonColor.Resolve(QApplication::palette(this));
}

void TRzCustomButtonEdit::SetFlatButtonColor(const Rz::TColor &color)
{
    m_flatButtonColor = color;
    UpdateFlatButtons();
}

void TRzCustomButtonEdit::SetAlignment(TAlignment alignment)
{
    m_alignment = alignment;
    setAlignment((alignment == taRightJustify ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    UpdateMargins();
}

void TRzCustomButtonEdit::SetKind(int index, TButtonKind kind)
{
    m_kinds[index] = kind;
    TRzControlButton *button = ButtonAt(index);
    if (kind != bkCustom)
        button->setAccessibleName(ActionName(kind));
    switch (kind) {
    case bkCustom:
        button->SetGlyph(m_customGlyphs[index]);
        button->SetDropDownArrow(false);
        break;
    case bkDropDown: // set at run time: the arrow style, no picture
        button->SetGlyph(QImage());
        button->SetDropDownArrow(true);
        break;
    default:
        button->SetGlyph(KindPicture(kind));
        button->SetDenseGlyph(KindPicture(kind, 2));
        button->SetNumGlyphs(2);
        button->SetDropDownArrow(false);
        break;
    }
}

void TRzCustomButtonEdit::SetGlyph(int index, const QImage &glyph)
{
    m_customGlyphs[index] = glyph;
    SetKind(index, bkCustom);
}

void TRzCustomButtonEdit::Loaded()
{
    for (int index = 0; index < 2; ++index) {
        if (m_kinds[index] == bkCustom)
            continue;
        TRzControlButton *button = ButtonAt(index);
        button->SetGlyph(KindPicture(m_kinds[index]));
        button->SetDenseGlyph(KindPicture(m_kinds[index], 2));
        button->SetNumGlyphs(2);
        button->SetDropDownArrow(false);
    }
    Arrange();
}

void TRzCustomButtonEdit::Arrange()
{
    if (m_arranging)
        return;
    const QScopedValueRollback<bool> arranging(m_arranging, true);

    // An edit lower than a line of its font grows; the layout goes on with
    // the new height (the resize event of a shown edit comes back here and
    // is ignored).
    const int lineHeight = fontMetrics().height() + 2;
    if (height() < lineHeight)
        resize(width(), lineHeight);

    const int pairWidth = m_pair->VisibleWidth();
    const int pairHeight = qMax(0, height() - 3);
    const int border = BorderWidth();
    QPoint at;
    if (layoutDirection() == Qt::RightToLeft)
        at = QPoint(border, border);
    else if (border > 0) // at the right end of the area inside the border
        at = QPoint(width() - pairWidth - border, border);
    else
        at = QPoint(width() - pairWidth - 1, 1);
    m_pair->setGeometry(QRect(at, QSize(pairWidth, pairHeight)));
    m_pair->Arrange();
    UpdateMargins();
    update();
}

void TRzCustomButtonEdit::UpdateMargins()
{
    const int margin = m_pair->VisibleWidth() + 2;
    if (layoutDirection() == Qt::RightToLeft)
        setTextMargins(margin, 0, 0, 0);
    else
        setTextMargins(0, 0, margin, 0);
}

void TRzCustomButtonEdit::UpdateFlatButtons()
{
    QColor color = QApplication::palette(this).color(QPalette::Button);
    if (m_flatButtons)
        color = isEnabled() && (IsHot() || hasFocus()) ? FlatButtonColor() : CurrentColor();
    for (TRzControlButton *button : {Button(), AltButton()}) {
        button->SetFlat(m_flatButtons);
        button->SetColor(color);
    }
}

void TRzCustomButtonEdit::FrameChanged()
{
    Arrange();
}

void TRzCustomButtonEdit::StateChanged()
{
    UpdateFlatButtons();
}

void TRzCustomButtonEdit::resizeEvent(QResizeEvent *event)
{
    TRzEdit::resizeEvent(event);
    Arrange();
}

void TRzCustomButtonEdit::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        Button()->setEnabled(isEnabled());
        AltButton()->setEnabled(isEnabled());
    }
    TRzEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LayoutDirectionChange)
        Arrange();
}

int TRzCustomButtonEdit::ShortCutButton(const QKeyEvent *event) const
{
    const QKeyCombination pressed(event->modifiers() &
                                      (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier),
                                  Qt::Key(event->key()));
    for (int index = 0; index < 2; ++index) {
        const TRzControlButton *button = ButtonAt(index);
        if (!button->isHidden() && button->isEnabled() && !m_shortCuts[index].isEmpty() &&
            m_shortCuts[index][0] == pressed)
            return index;
    }
    return -1;
}

bool TRzCustomButtonEdit::IsEditingKey(const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        return true;
    for (const QKeySequence::StandardKey key :
         {QKeySequence::Paste, QKeySequence::Cut, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::Delete, QKeySequence::Backspace, QKeySequence::DeleteEndOfLine,
          QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord,
          QKeySequence::DeleteCompleteLine}) {
        if (event->matches(key))
            return true;
    }
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).unicode() >= 32 && text.at(0).unicode() != 0x7F &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

bool TRzCustomButtonEdit::event(QEvent *event)
{
    // Keys this edit uses must reach it even when a window shortcut has them.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (ShortCutButton(key) >= 0 || (!m_allowKeyEdit && IsEditingKey(key))) {
            event->accept();
            return true;
        }
    }
    return TRzEdit::event(event);
}

void TRzCustomButtonEdit::keyPressEvent(QKeyEvent *event)
{
    // Delete goes before the shortcuts: with AllowKeyEdit false it is no
    // key at all, even when it is a button's shortcut.
    if (!m_allowKeyEdit && event->key() == Qt::Key_Delete) {
        QApplication::beep();
        event->accept();
        return;
    }
    const int index = ShortCutButton(event);
    if (index >= 0) {
        ButtonAt(index)->click();
        event->accept(); // nor does the key type its character
        return;
    }
    if (!m_allowKeyEdit && IsEditingKey(event)) {
        const bool typing = event->key() == Qt::Key_Backspace ||
                            (!event->text().isEmpty() && event->text().at(0).unicode() >= 32);
        if (typing)
            QApplication::beep();
        event->accept();
        return;
    }
    TRzEdit::keyPressEvent(event);
}

void TRzCustomButtonEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (!m_allowKeyEdit) {
        if (!event->commitString().isEmpty())
            QApplication::beep();
        event->accept();
        return;
    }
    TRzEdit::inputMethodEvent(event);
}

void TRzCustomButtonEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The middle button pastes the selection on X11.
    if (!m_allowKeyEdit && event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    TRzEdit::mouseReleaseEvent(event);
}

void TRzCustomButtonEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose); // the menu ends itself, as the line edit's does
    if (!m_allowKeyEdit) {
        static const QStringList changing = {
            QStringLiteral("edit-undo"), QStringLiteral("edit-redo"), QStringLiteral("edit-cut"),
            QStringLiteral("edit-paste"), QStringLiteral("edit-delete")};
        const QList<QAction *> actions = menu->actions();
        for (QAction *action : actions) {
            if (changing.contains(action->objectName()))
                action->setEnabled(false);
        }
    }
    menu->popup(event->globalPos());
    event->accept();
}
