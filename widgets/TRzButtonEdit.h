#pragma once

#include <QLineEdit>

// Interim stand-in for the button edit: a line edit whose trailing browse
// action raises OnButtonClick, until the edit with its own button pair lands.
class TRzButtonEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(bool FrameVisible READ FrameVisible WRITE SetFrameVisible)
    Q_PROPERTY(bool FlatButtons READ FlatButtons WRITE SetFlatButtons)

public:
    explicit TRzButtonEdit(QWidget *parent = nullptr);

    bool FrameVisible() const { return m_frameVisible; }
    void SetFrameVisible(bool visible) { m_frameVisible = visible; }
    bool FlatButtons() const { return m_flatButtons; }
    void SetFlatButtons(bool flat) { m_flatButtons = flat; }

Q_SIGNALS:
    void OnButtonClick();

private:
    bool m_frameVisible = false;
    bool m_flatButtons = false;
};
