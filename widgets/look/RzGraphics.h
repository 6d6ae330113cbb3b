#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QRect>

class QFrame;
class QPainter;

// Types and drawing shared by the Rz controls: frame styles and the one
// painter that draws them, bar styles, orientation, and colours that may
// name a system colour.
namespace Rz {
Q_NAMESPACE

// The frame styles of every control. The numbers are published (and the
// progress bar's and the folder dialog's properties keep them); the edit
// publishes its six styles under numbers of its own (TRzEdit::TFrameStyle).
enum TFrameStyleEx
{
    fsNone,
    fsFlat,
    fsGroove,
    fsBump,
    fsLowered,
    fsButtonDown,
    fsRaised,
    fsButtonUp,
    fsStatus,
    fsPopup,
    fsFlatBold,
    fsFlatRounded,
};
Q_ENUM_NS(TFrameStyleEx)

enum TBarStyle
{
    bsTraditional,
    bsLED
};
Q_ENUM_NS(TBarStyle)

enum TOrientation
{
    orHorizontal,
    orVertical
};
Q_ENUM_NS(TOrientation)

// A colour: either a plain red-green-blue value or a named system colour,
// which is looked up in the control's palette each time it is drawn, so a
// change of the desktop's colour scheme shows at the next paint.
class TColor
{
public:
    constexpr TColor() = default; // black
    TColor(const QColor &color) : m_rgb(color.rgb()) {}
    TColor(Qt::GlobalColor color) : TColor(QColor(color)) {}

    static constexpr TColor Rgb(int red, int green, int blue)
    {
        TColor color;
        color.m_rgb = 0xff000000u | (unsigned(red & 0xff) << 16) | (unsigned(green & 0xff) << 8) |
                      unsigned(blue & 0xff);
        return color;
    }
    static constexpr TColor System(QPalette::ColorRole role)
    {
        TColor color;
        color.m_role = int(role);
        return color;
    }

    bool IsSystem() const { return m_role >= 0; }
    // The colour to draw with; system colours come from the active group.
    QColor Resolve(const QPalette &palette) const
    {
        return IsSystem() ? palette.color(QPalette::Active, QPalette::ColorRole(m_role))
                          : QColor::fromRgb(m_rgb);
    }

    // For properties published as QColor without a palette at hand: a plain
    // colour as it is, a system colour as an invalid QColor.
    QColor ToQColor() const { return IsSystem() ? QColor() : QColor::fromRgb(m_rgb); }
    // The reverse of ToQColor: an invalid QColor stands for the system colour given.
    static TColor FromQColor(const QColor &color, TColor system)
    {
        return color.isValid() ? TColor(color) : system;
    }

    friend bool operator==(const TColor &, const TColor &) = default;

private:
    int m_role = -1;
    QRgb m_rgb = 0xff000000u;
};

// The system colours map onto the palette roles that play the same part in
// drawing three-dimensional edges.
inline constexpr TColor clHighlight = TColor::System(QPalette::Highlight);
inline constexpr TColor clBtnFace = TColor::System(QPalette::Button);
inline constexpr TColor clBtnText = TColor::System(QPalette::ButtonText);
inline constexpr TColor clBtnShadow = TColor::System(QPalette::Dark);
inline constexpr TColor clBtnHighlight = TColor::System(QPalette::Light);
inline constexpr TColor cl3DLight = TColor::System(QPalette::Midlight);
inline constexpr TColor cl3DDkShadow = TColor::System(QPalette::Shadow);
inline constexpr TColor clWindow = TColor::System(QPalette::Base);
inline constexpr TColor clWindowText = TColor::System(QPalette::Text);
inline constexpr TColor clWhite = TColor::Rgb(255, 255, 255);
inline constexpr TColor clBlack = TColor::Rgb(0, 0, 0);
inline constexpr TColor clBlue = TColor::Rgb(0, 0, 255);
inline constexpr TColor clYellow = TColor::Rgb(255, 255, 0);

// The colour made lighter (amount > 0) or darker (amount < 0) by that many
// luminance steps, on the hue-saturation-luminance scale of 0 to 240. The
// luminance may rise to 255, beyond the scale; the channels it then gives
// are limited to 255.
QColor AdjustColorLuminance(const QColor &color, int amount);

// What a frame is drawn with besides the palette's 3-D colours (clBtnShadow,
// clBtnHighlight, cl3DLight, cl3DDkShadow, clBtnText).
struct TFrameLook
{
    QColor flat; // fsFlat, fsFlatBold and the outline of fsFlatRounded
    // fsFlat only: the sides drawn, each along the whole side; without
    // corners the four corner pixels stay as they were.
    Qt::Edges flatSides = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
    bool flatCorners = true;
    int bevelWidth = 1; // the number of line frames of fsStatus and fsPopup
    // fsFlatRounded: the two line frames beneath the rounded outline.
    QColor roundedFirst;
    QColor roundedSecond;
};

// One line frame along the inside of box: the top and left sides in one
// colour, the right and bottom sides (with the top-right and bottom-left
// corners) in the other.
void DrawLineFrame(QPainter &painter, const QRect &box, const QColor &upperLeft,
                   const QColor &lowerRight);
// The frame of the style along the inside of box, one pixel line at a time;
// returns the rectangle inside it. The system colours come from palette.
QRect DrawFrame(QPainter &painter, const QRect &box, TFrameStyleEx style, const QPalette &palette,
                const TFrameLook &look);
// The style that draws the frame one bevel deep, as controls do whose
// border is one line: the lowered styles as one fsStatus line frame, the
// raised ones as one fsPopup line frame (with a bevel width of 1), the
// rounded one as fsFlat; the others stay.
TFrameStyleEx OneLineStyle(TFrameStyleEx style);
// Gives a Qt frame (such as a scroll area's, whose width places its
// viewport) the style one bevel deep, which Qt draws line for line as
// DrawFrame does; flat lines in the colour given.
void ApplyFrameStyle(QFrame &frame, TFrameStyleEx style, const QColor &flat);

} // namespace Rz

Q_DECLARE_METATYPE(Rz::TColor)
