#pragma once

#include <QColor>
#include <QLabel>

// A label that opens a link with the desktop's handler when clicked: drawn
// underlined in FontColor, in HighlightColor while the mouse is over it,
// with a hand cursor, and in VisitedColor once a link was opened. Its width
// follows its caption, so that only the text is the click target. Tab
// reaches it, and Enter or Space opens it.
class TRzURLLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString URL READ URL WRITE SetURL)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(QColor HighlightColor READ HighlightColor WRITE SetHighlightColor)
    Q_PROPERTY(QColor VisitedColor READ VisitedColor WRITE SetVisitedColor)
    Q_PROPERTY(bool Visited READ Visited)

public:
    explicit TRzURLLabel(QWidget *parent = nullptr);

    QString Caption() const { return text(); }
    void SetCaption(const QString &caption);
    // A link of its own; when blank, the caption is the link.
    const QString &URL() const { return m_url; }
    void SetURL(const QString &url) { m_url = url; }
    const QColor &FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor &color);
    const QColor &HighlightColor() const { return m_highlightColor; }
    void SetHighlightColor(const QColor &color);
    const QColor &VisitedColor() const { return m_visitedColor; }
    void SetVisitedColor(const QColor &color);
    bool Visited() const { return m_visited; }
    // The colour the text is drawn in now.
    QColor CurrentColor() const;

    // The text that a click opens: the URL when it is not blank, otherwise
    // the caption.
    QString LinkText() const;
    // Asks the desktop to open LinkText(); a blank link does nothing. Returns
    // true when the desktop took the link, which marks the label visited.
    bool OpenLink();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void EnsureUnderlined();
    void UpdateColor();

    QString m_url;
    QColor m_fontColor = QColor(0, 0, 255);
    QColor m_highlightColor = QColor(255, 255, 0);
    QColor m_visitedColor = QColor(128, 0, 128);
    bool m_visited = false;
    bool m_hovered = false;
    bool m_pressed = false;
};
