#include "wizard/window/TfrmAbout.h"

#include "widgets/look/RzGraphics.h"
#include "wizard/version/TRzVersionInfo.h"
#include "wizard/version/VersionText.h"
#include "wizard/window/TRzURLLabel.h"
#include "wizard/window/WizardAccessibility.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

static void InitAboutResources()
{
    // The pictures live in a static library; without this call the linker
    // would drop their registration. Once is enough for every box.
    static const bool registered = [] {
        Q_INIT_RESOURCE(wizard);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

constexpr int ClientWidth = 321;
constexpr int ClientHeight = 297;
constexpr int ValueLeft = 96;
constexpr int CaptionGap = 12; // captions end this far left of the values
const QColor Blue(0, 0, 255);
const QColor Yellow(255, 255, 0);

// A panel with a lowered outer and a raised inner bevel, one pixel each,
// drawn in the classic colours.
class TBevelPanel : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QColor shadow = palette().color(QPalette::Dark);
        const QColor highlight = palette().color(QPalette::Light);
        Rz::FrameLines bevels(painter, rect());
        bevels.Line(shadow, highlight);
        bevels.Line(highlight, shadow);
    }
};

QFont Font(const QString &family, int pointSize, bool bold = false)
{
    QFont font(family, pointSize);
    font.setBold(bold);
    return font;
}

QFont DefaultFont()
{
    return Font(QStringLiteral("MS Sans Serif"), 8);
}

void SetTextColor(QWidget *widget, const QColor &color)
{
    QPalette colors = widget->palette();
    colors.setColor(QPalette::WindowText, color);
    widget->setPalette(colors);
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry,
                  Qt::Alignment alignment)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1StringView(name));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignTop);
    return label;
}

QLabel *MakeCaption(QWidget *parent, const char *name, const QString &text, int top)
{
    const int right = ValueLeft - CaptionGap;
    return MakeLabel(parent, name, text, QRect(8, top, right - 8, 13), Qt::AlignRight);
}

QLabel *MakeValue(QWidget *parent, const char *name, const QString &text, int top)
{
    return MakeLabel(parent, name, text, QRect(ValueLeft, top, 297 - ValueLeft, 13), Qt::AlignLeft);
}

TRzURLLabel *MakeLink(QWidget *parent, const char *name, const QString &caption, const QString &url,
                      int top)
{
    auto *link = new TRzURLLabel(parent);
    link->setObjectName(QLatin1StringView(name));
    link->setFont(DefaultFont());
    link->SetFontColor(Blue);
    link->SetHighlightColor(Yellow);
    link->SetVisitedColor(Blue);
    link->SetURL(url);
    link->move(ValueLeft, top);
    link->SetCaption(caption);
    return link;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    InitAboutResources();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setFont(DefaultFont());
    setFixedSize(ClientWidth, ClientHeight);

    Panel1 = new TBevelPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 305, 121);
    RzLabel1 = MakeLabel(Panel1, "RzLabel1", QStringLiteral("Flitto"), QRect(0, 16, 305, 44),
                         Qt::AlignHCenter);
    RzLabel1->setFont(Font(QStringLiteral("Arial"), 28, true));
    SetTextColor(RzLabel1, Blue);
    lblVersion = MakeLabel(Panel1, "lblVersion", QStringLiteral("Version"), QRect(0, 64, 305, 17),
                           Qt::AlignHCenter);
    lblVersion->setFont(Font(QStringLiteral("Arial"), 10, true));
    Label2 =
        MakeLabel(Panel1, "Label2", QStringLiteral("Copyright \u00A9 Ravav. All rights reserved."),
                  QRect(0, 96, 305, 13), Qt::AlignHCenter);

    Panel2 = new TBevelPanel(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(8, 136, 305, 121);
    Label3 = MakeLabel(Panel2, "Label3",
                       QStringLiteral("For support or further information, please contact us at:"),
                       QRect(0, 8, 305, 13), Qt::AlignHCenter);
    Label4 = MakeCaption(Panel2, "Label4", QStringLiteral("Email:"), 32);
    Label5 = MakeCaption(Panel2, "Label5", QStringLiteral("Internet:"), 48);
    Label6 = MakeCaption(Panel2, "Label6", QStringLiteral("Postal:"), 64);
    Label7 = MakeCaption(Panel2, "Label7", QStringLiteral("Telephone:"), 96);
    RzURLLabel1 = MakeLink(Panel2, "RzURLLabel1", QStringLiteral("support@ravav.example"),
                           QStringLiteral("mailto:support@ravav.example"), 32);
    RzURLLabel2 =
        MakeLink(Panel2, "RzURLLabel2", QStringLiteral("www.ravav.example"), QString(), 48);
    Label8 = MakeValue(Panel2, "Label8", QStringLiteral("PO Box 4711"), 64);
    Label9 = MakeValue(Panel2, "Label9", QStringLiteral("Sydney NSW 2001, Australia"), 80);
    Label10 = MakeValue(Panel2, "Label10", QStringLiteral("+61 2 5550 4711"), 96);

    // Below the panels with the same 7-pixel gap that separates them.
    BitBtn1 =
        new QPushButton(QIcon(QStringLiteral(":/about/check.xpm")), QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(8, 264, 305, 25);
    BitBtn1->setDefault(true);
    // The links come first in the Tab order; OK still has the focus at first.
    BitBtn1->setFocus(Qt::OtherFocusReason);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    VersionInfo = new TRzVersionInfo(this);
    VersionInfo->setObjectName(QStringLiteral("VersionInfo"));

    // Centred on the screen, not over the main window. Moving the box here
    // also keeps QDialog from placing it over its parent when shown.
    if (QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    NameAboutBoxControls(this);
}

void TfrmAbout::FormActivate()
{
    lblVersion->setText(QStringLiteral("Version ") +
                        FormatVersion(VersionInfo->Value(TRzVersionInfo::FileVersion)));
}

bool TfrmAbout::event(QEvent *event)
{
    // Every return of the focus activates the window again; the line is
    // built once, when the box first becomes active.
    if (event->type() == QEvent::WindowActivate && !m_activated) {
        m_activated = true;
        FormActivate();
    }
    return QDialog::event(event);
}
