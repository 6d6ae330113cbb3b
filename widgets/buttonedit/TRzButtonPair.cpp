#include "widgets/buttonedit/TRzButtonPair.h"

#include "widgets/buttonedit/TRzControlButton.h"

TRzButtonPair::TRzButtonPair(QWidget *parent)
    : QWidget(parent), m_button(new TRzControlButton(this)), m_altButton(new TRzControlButton(this))
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    m_altButton->hide();
    connect(m_button, &TRzControlButton::clicked, this, &TRzButtonPair::BtnClick);
    connect(m_altButton, &TRzControlButton::clicked, this, &TRzButtonPair::AltBtnClick);
}

void TRzButtonPair::SetFocusControl(QWidget *control)
{
    m_focusControl = control;
    m_button->SetFocusControl(control);
    m_altButton->SetFocusControl(control);
}

int TRzButtonPair::VisibleWidth() const
{
    int width = 0;
    for (const TRzControlButton *button : {m_button, m_altButton}) {
        if (!button->isHidden())
            width += button->Width();
    }
    return width;
}

void TRzButtonPair::Arrange()
{
    const int buttonHeight = qMax(0, height() - 1);
    int left = 0;
    for (TRzControlButton *button : {m_button, m_altButton}) {
        if (button->isHidden())
            continue;
        button->setGeometry(left, 0, button->Width(), buttonHeight);
        left += button->Width();
    }
}

void TRzButtonPair::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Arrange();
}
