#pragma once

#include <QPushButton>

// A push button whose picture sits at its left end, a fixed margin from the
// edge, with the caption a fixed spacing after it (not centred together).
// Under the mouse it is outlined and tinted in the highlight colour; with the
// focus it shows a ring in that colour, however the focus came.
class PictureButton : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

    // Pixels between the button's left edge and the picture.
    static constexpr int Margin = 2;
    // Pixels between the picture and the caption.
    static constexpr int Spacing = 4;
    // The focus ring's line lies this many lines inside the button's edge.
    static constexpr int FocusRingInset = 1;
    // The opacity (of 255) of the highlight colour over a hot button.
    static constexpr int HoverTintAlpha = 40;

    // Where the picture is drawn, in the button's own coordinates.
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
