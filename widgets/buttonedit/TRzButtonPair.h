#pragma once

#include <QWidget>

class TRzControlButton;

// The two buttons of a button edit side by side: the main button at the
// left, the alternate one right of it (or in its place when the main one is
// hidden). It hands the focus to its focus control and reports the clicks.
class TRzButtonPair : public QWidget
{
    Q_OBJECT

public:
    explicit TRzButtonPair(QWidget *parent = nullptr);

    TRzControlButton *Button() const { return m_button; }
    TRzControlButton *AltButton() const { return m_altButton; }

    QWidget *FocusControl() const { return m_focusControl; }
    void SetFocusControl(QWidget *control);

    // The sum of the widths of the buttons that are not hidden.
    int VisibleWidth() const;
    // Places the buttons: as high as the pair less one pixel.
    void Arrange();

Q_SIGNALS:
    void BtnClick();
    void AltBtnClick();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    TRzControlButton *m_button;
    TRzControlButton *m_altButton;
    QWidget *m_focusControl = nullptr;
};
