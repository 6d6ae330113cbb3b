#include "TRTFLabel.h"

#include <QRegularExpression>

TRTFLabel::TRTFLabel(QWidget *parent) : QLabel(parent)
{
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TRTFLabel::SetRichText(const QByteArray &document)
{
    m_richText = document;
    // Interim: strip groups and control words, keep the text.
    QString text = QString::fromLatin1(document);
    text.remove(QRegularExpression(QStringLiteral("\\{\\\\fonttbl.*\\}\\}")));
    text.remove(QRegularExpression(QStringLiteral("\\{\\\\colortbl[^}]*\\}")));
    text.replace(QStringLiteral("\\par"), QStringLiteral("\n"));
    text.remove(QRegularExpression(QStringLiteral("\\\\[a-z]+-?\\d* ?")));
    text.remove(QLatin1Char('{')).remove(QLatin1Char('}')).remove(QLatin1Char('\r'));
    text.remove(QRegularExpression(QStringLiteral("\n(?!\n)(?=[^\n])")));
    setText(text.trimmed());
}
