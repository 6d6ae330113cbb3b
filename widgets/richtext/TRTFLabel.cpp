#include "widgets/richtext/TRTFLabel.h"

#include "widgets/richtext/RtfTextDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>

Q_LOGGING_CATEGORY(lcRtfLabel, "flitto.widgets.rtflabel", QtInfoMsg)

namespace {

// pixels × 1440 / dpi rounded to the nearest integer, halves to the even one.
int TwipsOf(int pixels, int dpi)
{
    if (dpi <= 0)
        dpi = 96;
    const qint64 numerator = qint64(pixels) * 1440;
    qint64 quotient = numerator / dpi;
    qint64 remainder = numerator % dpi;
    if (remainder < 0) { // floor division for negative distances
        remainder += dpi;
        --quotient;
    }
    if (2 * remainder > dpi || (2 * remainder == dpi && quotient % 2 != 0))
        ++quotient;
    return int(quotient);
}

// The bottom of the last line that ends within the given height: lines
// below it are not shown at all, not even in part.
qreal HeightOfWholeLines(const QTextDocument &document, qreal height)
{
    qreal shown = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout *layout = block.layout();
        if (!layout)
            continue;
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const qreal bottom = layout->position().y() + line.y() + line.height();
            if (bottom > height + 1e-3)
                return shown;
            shown = bottom;
        }
    }
    return shown;
}

} // namespace

TTwipsRect RenderRectInTwips(const QRect &area, int dpiX, int dpiY)
{
    // Edges as the platform's rectangles have them: right and bottom are
    // one past the last pixel.
    const int left = area.x();
    const int top = area.y();
    const int right = area.x() + area.width();
    const int bottom = area.y() + area.height();
    TTwipsRect twips;
    twips.left = TwipsOf(left + 1, dpiX);
    twips.top = TwipsOf(top + 1, dpiY);
    twips.right = twips.left + TwipsOf(right - left - 1, dpiX);
    twips.bottom = twips.top + TwipsOf(bottom - top - 1, dpiY);
    return twips;
}

namespace {

// The label as assistive technology sees it: static text whose name is the
// document's plain text unless a name was given.
class RtfLabelInterface : public QAccessibleWidget
{
public:
    explicit RtfLabelInterface(TRTFLabel *label) : QAccessibleWidget(label, QAccessible::StaticText)
    {}

    QString text(QAccessible::Text type) const override
    {
        const QString own = QAccessibleWidget::text(type);
        if (own.isEmpty() && type == QAccessible::Name)
            return static_cast<const TRTFLabel *>(widget())->PlainText();
        return own;
    }
};

QAccessibleInterface *RtfLabelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TRTFLabel"))
        return new RtfLabelInterface(static_cast<TRTFLabel *>(object));
    return nullptr;
}

} // namespace

TRTFLabel::TRTFLabel(QWidget *parent) : QWidget(parent)
{
    QAccessible::installFactory(RtfLabelFactory);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, !m_transparent);
}

void TRTFLabel::SetRichText(const QByteArray &document)
{
    m_richText = document;
    m_content.reset();
    if (accessibleName().isEmpty()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

QString TRTFLabel::PlainText() const
{
    QStringList paragraphs;
    for (const TRtfParagraph &paragraph : Content().paragraphs)
        paragraphs.append(paragraph.Text());
    while (!paragraphs.isEmpty() && paragraphs.constLast().isEmpty())
        paragraphs.removeLast();
    return paragraphs.join(QLatin1Char('\n'));
}

QColor TRTFLabel::Color() const
{
    if (m_color)
        return *m_color;
    const QWidget *source = parentWidget() ? parentWidget() : this;
    return source->palette().color(source->backgroundRole());
}

void TRTFLabel::SetColor(const QColor &color)
{
    m_color = color;
    update();
}

void TRTFLabel::ResetColor()
{
    m_color.reset();
    update();
}

void TRTFLabel::SetTransparent(bool transparent)
{
    m_transparent = transparent;
    setAttribute(Qt::WA_OpaquePaintEvent, !m_transparent);
    update();
}

const TRtfContent &TRTFLabel::Content() const
{
    if (!m_content)
        m_content = TRtfReader::Read(m_richText);
    return *m_content;
}

void TRTFLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), Color());

    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    const TTwipsRect page = RenderRectInTwips(rect(), dpiX, dpiY);
    const qreal left = page.left * qreal(dpiX) / 1440;
    const qreal top = page.top * qreal(dpiY) / 1440;
    const qreal width = (page.right - page.left) * qreal(dpiX) / 1440;
    const qreal height = (page.bottom - page.top) * qreal(dpiY) / 1440;
    if (width <= 0 || height <= 0)
        return;

    // The label's own font is not the document's: text without a font of
    // its own shows in the system's font, as in the platform's editor.
    QTextDocument document;
    FillTextDocument(Content(), document, QApplication::font(this));
    document.setTextWidth(width);
    // Asking for the size lays the whole document out; the line positions
    // below exist only after that.
    const QSizeF requested = document.documentLayout()->documentSize();
    qCDebug(lcRtfLabel).noquote() << QStringLiteral("%1:%2:%3:%4")
                                         .arg(0)
                                         .arg(0)
                                         .arg(qCeil(requested.width()))
                                         .arg(qCeil(requested.height()));

    const qreal shown = HeightOfWholeLines(document, height);
    if (shown <= 0)
        return;
    const QRectF clip(0, 0, width, shown);
    painter.setClipRect(clip.translated(left, top).intersected(QRectF(rect())));
    painter.translate(left, top);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    // The automatic colour is the window-text colour.
    context.palette.setColor(QPalette::Text, palette().color(QPalette::WindowText));
    context.clip = clip;
    document.documentLayout()->draw(&painter, context);
}
