#include "TRzProgressBar.h"

#include <QPainter>

TRzProgressBar::TRzProgressBar(QWidget *parent) : QWidget(parent)
{
    resize(200, 24);
}

void TRzProgressBar::SetTotalParts(int value)
{
    if (value == m_totalParts)
        return;
    m_totalParts = qMax(0, value);
    m_partsComplete = 0;
    SetPercent(0);
}

void TRzProgressBar::SetPartsComplete(int value)
{
    m_partsComplete = qBound(0, value, m_totalParts);
    if (m_totalParts > 0)
        SetPercent(qRound(100.0 * m_partsComplete / m_totalParts));
}

void TRzProgressBar::SetPercent(int value)
{
    if (value == m_percent)
        return;
    m_percent = value;
    Q_EMIT OnChange(this, value);
    repaint();
}

void TRzProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(QRect(0, 0, width() * m_percent / 100, height()), Qt::blue);
    painter.drawText(rect(), Qt::AlignCenter, QString::number(m_percent) + QLatin1Char('%'));
}
