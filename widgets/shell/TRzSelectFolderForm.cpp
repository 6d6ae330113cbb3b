#include "widgets/shell/TRzSelectFolderForm.h"

#include "widgets/look/Accessibility.h"
#include "widgets/shell/TRzShellTree.h"
#include "widgets/shell/TRzShellTreeNode.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSizeGrip>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>

namespace {

constexpr int Margin = 8;
constexpr int ToolTop = 4;
constexpr int ToolHeight = 24;
constexpr int PanelHeight = 29;
constexpr int StatusHeight = 19;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 23;
constexpr int ButtonTop = 2;

// The selected folder's whole path, kept on the status bar for its
// accessible interface; the bar shows it shortened.
const char PathProperty[] = "flittoSelectedPath";

// The window as assistive technology sees it: a dialog whose children are
// the controls it shows. A tool button that the dialog's options hide is
// left out rather than listed as invisible, so that nobody is led to a
// button that is not there.
class FormInterface : public QAccessibleWidget
{
public:
    explicit FormInterface(QWidget *form) : QAccessibleWidget(form, QAccessible::Dialog) {}

    int childCount() const override { return int(Shown().size()); }
    QAccessibleInterface *child(int index) const override { return Shown().value(index); }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return int(Shown().indexOf(const_cast<QAccessibleInterface *>(child)));
    }

private:
    QList<QAccessibleInterface *> Shown() const
    {
        QList<QAccessibleInterface *> shown;
        const int count = QAccessibleWidget::childCount();
        for (int index = 0; index < count; ++index) {
            QAccessibleInterface *each = QAccessibleWidget::child(index);
            const auto *widget = each ? qobject_cast<const QWidget *>(each->object()) : nullptr;
            if (each && !(widget && widget->isHidden()))
                shown.append(each);
        }
        return shown;
    }
};

// The status bar as assistive technology sees it: its name says what it is,
// its value is the selected folder's whole path. The path is its read-only
// text as well, because Qt's AT-SPI bridge passes on neither a value text
// nor a value change of an object without a numeric value, but does pass on
// text and its changes.
class StatusInterface : public Accessibility::StatusBarInterface
{
public:
    explicit StatusInterface(QWidget *bar) : StatusBarInterface(bar) {}

    using StatusBarInterface::text;

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return StatusText();
        return QAccessibleWidget::text(type);
    }

protected:
    QString StatusText() const override { return widget()->property(PathProperty).toString(); }
};

QAccessibleInterface *SelectFolderFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TRzSelectFolderForm"))
        return new FormInterface(static_cast<QWidget *>(object));
    if (className == QLatin1String("QStatusBar") && object->property(PathProperty).isValid())
        return new StatusInterface(static_cast<QWidget *>(object));
    return nullptr;
}

QIcon ThemeIcon(const char *name, QStyle::StandardPixmap fallback)
{
    const QString themeName = QLatin1String(name);
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    return QApplication::style()->standardIcon(fallback);
}

} // namespace

TRzSelectFolderForm::TRzSelectFolderForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
{
    QAccessible::installFactory(SelectFolderFactory);
    setObjectName(QStringLiteral("TRzSelectFolderForm"));
    setSizeGripEnabled(false); // the status bar has its own grip

    m_createIcon = ThemeIcon("folder-new", QStyle::SP_FileDialogNewFolder);
    m_deleteIcon = ThemeIcon("user-trash", QStyle::SP_TrashIcon);

    m_btnNewFolder = new QToolButton(this);
    m_btnNewFolder->setObjectName(QStringLiteral("BtnNewFolder"));
    m_btnNewFolder->setGeometry(Margin, ToolTop, 101, ToolHeight);
    m_btnNewFolder->setText(QStringLiteral("Create Folder"));
    m_btnNewFolder->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_btnNewFolder->setAutoRaise(true);

    m_btnDeleteFolder = new QToolButton(this);
    m_btnDeleteFolder->setObjectName(QStringLiteral("BtnDeleteFolder"));
    m_btnDeleteFolder->setGeometry(117, ToolTop, 68, ToolHeight);
    m_btnDeleteFolder->setText(QStringLiteral("&Delete"));
    m_btnDeleteFolder->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_btnDeleteFolder->setAutoRaise(true);

    m_shellTree = new TRzShellTree(this);
    m_shellTree->setObjectName(QStringLiteral("ShellTree"));
    m_shellTree->setGeometry(Margin, 32, 341, 241);
    m_shellTree->setIndentation(19);
    m_shellTree->SetOptions({});

    m_buttonPanel = new QWidget(this);
    m_buttonPanel->setObjectName(QStringLiteral("ButtonPanel"));
    m_okBtn = new QPushButton(QStringLiteral("OK"), m_buttonPanel);
    m_okBtn->setObjectName(QStringLiteral("OkBtn"));
    m_okBtn->setDefault(true);
    m_okBtn->setAutoDefault(true);
    m_cancelBtn = new QPushButton(QStringLiteral("Cancel"), m_buttonPanel);
    m_cancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    m_cancelBtn->setAutoDefault(false);

    // FormCreate: the root shows its expand button, and the status bar sits
    // below the button panel.
    m_statusBar = new QStatusBar(this);
    m_statusBar->setProperty(PathProperty, QString());
    m_statusBar->setObjectName(QStringLiteral("RzStatusBar1"));
    m_statusBar->setSizeGripEnabled(true);
    m_statusGrip = m_statusBar->findChild<QSizeGrip *>(QString(), Qt::FindDirectChildrenOnly);
    if (m_statusGrip)
        m_statusGrip->installEventFilter(this);
    m_shellTree->SetShowRoot(true);

    connect(m_okBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnNewFolder, &QToolButton::clicked, this, &TRzSelectFolderForm::CreateBtnClick);
    connect(m_btnDeleteFolder, &QToolButton::clicked, this, &TRzSelectFolderForm::DeleteBtnClick);
    connect(m_shellTree, &TRzCustomShellTree::OnChange, this,
            &TRzSelectFolderForm::ShellTreeChange);

    setMinimumSize(MinimumWidth, MinimumHeight);
    resize(MinimumWidth, MinimumHeight);
    FormResize();
    Accessibility::NameSelectFolderForm(this);
}

TRzSelectFolderForm::~TRzSelectFolderForm() = default;

void TRzSelectFolderForm::ApplyToolButtons(bool visible, bool createIcon, bool deleteIcon)
{
    m_btnNewFolder->setHidden(!visible);
    m_btnDeleteFolder->setHidden(!visible);
    m_btnNewFolder->setIcon(createIcon ? m_createIcon : QIcon());
    m_btnDeleteFolder->setIcon(deleteIcon ? m_deleteIcon : QIcon());
    m_btnNewFolder->setToolButtonStyle(createIcon ? Qt::ToolButtonTextBesideIcon
                                                  : Qt::ToolButtonTextOnly);
    m_btnDeleteFolder->setToolButtonStyle(deleteIcon ? Qt::ToolButtonTextBesideIcon
                                                     : Qt::ToolButtonTextOnly);
    // Without both pictures the buttons are drawn raised rather than flat.
    const bool flat = createIcon && deleteIcon;
    m_btnNewFolder->setAutoRaise(flat);
    m_btnDeleteFolder->setAutoRaise(flat);
    PlaceToolButtons();
    FormResize();
}

void TRzSelectFolderForm::ApplyFrame(bool visible, Rz::TFrameStyleEx style, const Rz::TColor &color)
{
    // Visual themes are not in use, so the framing preference changes nothing:
    // a visible frame is always the tree's own, drawn in the classic way.
    if (!visible) {
        m_shellTree->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        return;
    }
    Rz::ApplyFrameStyle(*m_shellTree, style, color.Resolve(m_shellTree->palette()));
}

void TRzSelectFolderForm::ApplyHotTrack(bool hotTrack, const Rz::TColor &highlight,
                                        const Rz::TColor &hotTrackColor,
                                        TRzShellDialog::THotTrackColorType type)
{
    QString sheet;
    if (hotTrack) {
        const QPalette palette = m_okBtn->palette();
        const QColor focus = highlight.Resolve(palette);
        QColor hover = hotTrackColor.Resolve(palette);
        if (type == TRzShellDialog::htctComplement)
            hover = QColor(255 - hover.red(), 255 - hover.green(), 255 - hover.blue());
        sheet = QStringLiteral("QPushButton:hover { border: 2px solid %1; }"
                               "QPushButton:focus { border: 1px solid %2; }")
                    .arg(hover.name(), focus.name());
    }
    m_okBtn->setStyleSheet(sheet);
    m_cancelBtn->setStyleSheet(sheet);
}

void TRzSelectFolderForm::PlaceToolButtons()
{
    // The designed widths, or more where the font and picture need it.
    m_btnNewFolder->setGeometry(Margin, ToolTop, std::max(101, m_btnNewFolder->sizeHint().width()),
                                ToolHeight);
    m_btnDeleteFolder->setGeometry(m_btnNewFolder->geometry().right() + 1 + Margin, ToolTop,
                                   std::max(68, m_btnDeleteFolder->sizeHint().width()), ToolHeight);
}

void TRzSelectFolderForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown || event->spontaneous())
        return;
    m_shown = true;
    QFont face = font();
    face.setFamilies({QStringLiteral("MS Sans Serif")});
    setFont(face);
    if (!isMaximized()) {
        // Centred on the screen of the window that opened it.
        const QScreen *screen = parentWidget() ? parentWidget()->screen() : this->screen();
        if (screen)
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    m_shellTree->SetOptions(m_shellTree->Options() | TRzCustomShellTree::stoAutoFill);
    m_shellTree->FillTree();
    m_okBtn->setText(QStringLiteral("OK"));
    m_cancelBtn->setText(QStringLiteral("Cancel"));
    m_btnNewFolder->setText(QStringLiteral("Create Folder"));
    m_btnDeleteFolder->setText(QStringLiteral("Delete"));
    if (windowTitle().isEmpty())
        setWindowTitle(QStringLiteral("Browse for Folder"));
    PlaceToolButtons();
    m_shellTree->setFocus();
    Q_EMIT Shown();
}

void TRzSelectFolderForm::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        Q_EMIT Hidden();
}

void TRzSelectFolderForm::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

void TRzSelectFolderForm::FormResize()
{
    const int w = width();
    const int h = height();
    m_statusBar->setGeometry(0, h - StatusHeight, w, StatusHeight);
    m_buttonPanel->setGeometry(0, h - StatusHeight - PanelHeight, w, PanelHeight);
    int top = Margin;
    if (!m_btnNewFolder->isHidden())
        top = m_btnNewFolder->geometry().bottom() + 1 + 4;
    else if (!m_btnDeleteFolder->isHidden())
        top = m_btnDeleteFolder->geometry().bottom() + 1 + 4;
    const int bottom = m_buttonPanel->y() - 4;
    m_shellTree->setGeometry(Margin, top, std::max(0, w - 2 * Margin), std::max(0, bottom - top));
    m_cancelBtn->setGeometry(w - Margin - ButtonWidth, ButtonTop, ButtonWidth, ButtonHeight);
    m_okBtn->setGeometry(m_cancelBtn->x() - Margin - ButtonWidth, ButtonTop, ButtonWidth,
                         ButtonHeight);
    if (TRzShellTreeNode *node = m_shellTree->SelectedNode())
        ShowPath(QFile::decodeName(m_shellTree->NodePath(node)));
}

void TRzSelectFolderForm::ShowPath(const QString &path)
{
    const QFontMetrics metrics(m_statusBar->font());
    m_statusBar->showMessage(ShortenPath(path, metrics, MessageWidth()));
    // A screen reader hears of a new path, not of a new fit of the same one.
    const QString before = m_statusBar->property(PathProperty).toString();
    if (path == before)
        return;
    m_statusBar->setProperty(PathProperty, path);
    QAccessibleValueChangeEvent value(m_statusBar, path);
    QAccessible::updateAccessibility(&value);
    QAccessibleTextUpdateEvent text(m_statusBar, 0, before, path);
    QAccessible::updateAccessibility(&text);
}

int TRzSelectFolderForm::MessageWidth() const
{
    // The status bar draws its message from 6 pixels in up to its size grip,
    // or to 12 pixels short of its right edge while the grip is hidden (in a
    // maximized window), and cuts off what does not fit.
    if (QLayout *layout = m_statusBar->layout())
        layout->activate(); // places the grip before the first event loop pass
    int right = m_statusBar->width() - 12;
    if (m_statusGrip && m_statusGrip->isVisible())
        right = m_statusGrip->x();
    return std::max(0, right - 6);
}

bool TRzSelectFolderForm::eventFilter(QObject *watched, QEvent *event)
{
    // The grip is placed by the status bar's layout after the window's own
    // resize, and hides in a maximized window: the path is fitted again.
    if (watched == m_statusGrip) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Show:
        case QEvent::Hide:
            if (TRzShellTreeNode *node = m_shellTree->SelectedNode())
                ShowPath(QFile::decodeName(m_shellTree->NodePath(node)));
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TRzSelectFolderForm::done(int result)
{
    if (result == QDialog::Accepted && !m_shellTree->CommitLabelEdit())
        return;
    QDialog::done(result);
}

void TRzSelectFolderForm::ShellTreeChange(TRzShellTreeNode *node)
{
    const QByteArray path = m_shellTree->NodePath(node);
    ShowPath(QFile::decodeName(path));
    m_btnNewFolder->setEnabled(!path.isEmpty());
    // Protected folders are left alone by the delete command anyway; the
    // button says so before anyone tries.
    m_btnDeleteFolder->setEnabled(!path.isEmpty() && !node->IsRoot() &&
                                  !m_shellTree->IsProtected(node));
    Q_EMIT SelChange(node->Record().AbsoluteId());
}

void TRzSelectFolderForm::CreateBtnClick()
{
    m_shellTree->CreateNewFolder();
}

void TRzSelectFolderForm::DeleteBtnClick()
{
    TRzShellTreeNode *node = m_shellTree->SelectedNode();
    if (!node || node->IsRoot())
        return;
    m_shellTree->InvokeCommand(node, TRzShellVerb::Delete);
}

QString TRzSelectFolderForm::CutFirstDirectory(const QString &folder)
{
    const QString ellipsis = QStringLiteral(".../");
    if (folder == QLatin1String("/"))
        return QString();
    QString text = folder;
    const bool rooted = text.startsWith(QLatin1Char('/'));
    if (rooted)
        text.remove(0, 1);
    // Only an ellipsis left by an earlier cut is dropped here: a folder whose
    // name starts with "." is an ordinary folder on this system.
    if (text.startsWith(ellipsis))
        text.remove(0, ellipsis.size());
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        text = ellipsis + text.mid(slash + 1);
    else
        text.clear();
    if (rooted)
        text.prepend(QLatin1Char('/'));
    return text;
}

QString TRzSelectFolderForm::ShortenPath(const QString &path, const QFontMetrics &metrics,
                                         int maxWidth)
{
    const qsizetype lastSlash = path.lastIndexOf(QLatin1Char('/'));
    QString folder = path.left(lastSlash + 1);
    const QString name = path.mid(lastSlash + 1);
    QString result = path;
    // The root alone is never shortened to nothing.
    if (name.isEmpty() && folder == QLatin1String("/"))
        return path;
    while (!folder.isEmpty() && metrics.horizontalAdvance(result) > maxWidth) {
        if (folder == QLatin1String("/.../"))
            folder = QStringLiteral(".../");
        else
            folder = CutFirstDirectory(folder);
        result = folder + name;
    }
    return result;
}
