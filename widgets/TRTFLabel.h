#pragma once

#include <QLabel>

// Interim stand-in for the rich-text label: shows the document's text
// without its formatting until the label's own RTF reader lands.
class TRTFLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QByteArray RichText READ RichText WRITE SetRichText)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)

public:
    explicit TRTFLabel(QWidget *parent = nullptr);

    QByteArray RichText() const { return m_richText; }
    void SetRichText(const QByteArray &document);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool wrap) { m_wordWrap = wrap; }

private:
    QByteArray m_richText;
    bool m_wordWrap = true;
};
