#pragma once

#include "widgets/richtext/TRtfReader.h"

#include <QByteArray>
#include <QColor>
#include <QLoggingCategory>
#include <QRect>
#include <QWidget>

#include <optional>

// The label's size-request trace ("flitto.widgets.rtflabel", debug level):
// off unless enabled with QT_LOGGING_RULES.
Q_DECLARE_LOGGING_CATEGORY(lcRtfLabel)

// A rectangle in twips (1440 to the inch), given by its four edges.
struct TTwipsRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const TTwipsRect &) const = default;
};

// The twips rectangle a document is laid out in for a label area given in
// pixels: inset by one pixel at the left and the top, each distance rounded
// to the nearest twip, halves to the even neighbour.
TTwipsRect RenderRectInTwips(const QRect &area, int dpiX, int dpiY);

// A label that shows a small RTF document: the page texts of the wizard.
// It draws the document laid out as a page of its own width (always
// wrapping, whatever WordWrap says), inset by one pixel, showing only the
// lines that fit completely; it takes no focus and has no scroll bars.
class TRTFLabel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QByteArray RichText READ RichText WRITE SetRichText)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor RESET ResetColor)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

public:
    explicit TRTFLabel(QWidget *parent = nullptr);

    QByteArray RichText() const { return m_richText; }
    // Stores the document; it shows at the label's next repaint.
    void SetRichText(const QByteArray &document);

    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool wrap) { m_wordWrap = wrap; }

    // The parent's background colour until a colour is set.
    QColor Color() const;
    void SetColor(const QColor &color);
    void ResetColor();

    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool transparent);

    // What the reader made of the document (read once per document).
    const TRtfContent &Content() const;
    // The document's text without its formatting, one line per paragraph:
    // what a screen reader reads.
    QString PlainText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QByteArray m_richText;
    bool m_wordWrap = false;
    std::optional<QColor> m_color;
    bool m_transparent = false;
    mutable std::optional<TRtfContent> m_content;
};
