#pragma once

#include <QComboBox>

// A drop-down list that matches the flat edits beside it: a one-pixel frame
// round the whole control, a flat drop-down button at its right end, and
// list items of a fixed height.
class FlatComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit FlatComboBox(QWidget *parent = nullptr);

    // Pixels per list item; the classic list's 13 until set.
    int ItemHeight() const { return m_itemHeight; }
    void SetItemHeight(int height);

    // The drop-down button, inside the two-pixel border.
    QRect ButtonRect() const;

    // The list drops below the control (above it when the screen has no
    // room there), never over it.
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_itemHeight = 13;
};
