#include "widgets/look/TRzFrameController.h"

TRzFrameController::TRzFrameController(QObject *parent) : QObject(parent) {}

void TRzFrameController::SetFrameVisible(bool visible)
{
    if (visible == m_frameVisible)
        return;
    m_frameVisible = visible;
    Q_EMIT Changed();
}

void TRzFrameController::SetFrameStyle(Rz::TFrameStyleEx style)
{
    if (style == m_frameStyle)
        return;
    m_frameStyle = style;
    Q_EMIT Changed();
}

void TRzFrameController::SetFrameColor(const Rz::TColor &color)
{
    if (color == m_frameColor)
        return;
    m_frameColor = color;
    Q_EMIT Changed();
}

void TRzFrameController::SetColor(const Rz::TColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    Q_EMIT Changed();
}
