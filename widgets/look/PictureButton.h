#pragma once

#include <QPushButton>

// A push button whose picture sits at its left end, a fixed margin from the
// edge, with the caption a fixed spacing after it (not centred together).
class PictureButton : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

    // Pixels between the button's left edge and the picture.
    static constexpr int Margin = 2;
    // Pixels between the picture and the caption.
    static constexpr int Spacing = 4;

    // Where the picture is drawn, in the button's own coordinates.
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
