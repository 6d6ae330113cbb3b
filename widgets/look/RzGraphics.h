#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QRect>
#include <QTransform>

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

// Frames at any scale. The rule (docs/platform.md, "High-density
// screens"): a frame line one logical pixel wide is drawn as
// max(1, round(scale)) whole device pixels; the frame's rectangle is first
// snapped to the device pixel grid, each edge to the nearest device pixel
// boundary, and its lines are laid inwards from those edges, so that all
// four sides have the same width. At a scale of 1 this is the logical
// drawing, pixel for pixel. Every frame of the windows is drawn through
// the functions below, which apply the rule.

// The device pixel grid under a painter: the scale and offset its device
// transform gives logical coordinates.
class PixelGrid
{
public:
    explicit PixelGrid(const QPainter &painter);

    // False where device pixels are logical pixels (a scale of 1, or a
    // transform that is not a plain scale): the frames are drawn logically.
    bool Scaled() const { return m_scaled; }
    // Device pixels in one logical frame line: max(1, round(scale)).
    int LineWidth() const { return m_lineWidth; }
    qreal Scale() const { return m_scaleX; }
    // The rectangle in device pixels, each edge at the nearest device pixel
    // boundary; unchanged where the grid is not scaled.
    QRect Snap(const QRect &logical) const;
    // The painter's transform from logical coordinates to device pixels.
    const QTransform &LogicalToDevice() const { return m_device; }
    // The world transforms under which the painter draws in logical
    // coordinates (as it did) and in device pixels.
    const QTransform &LogicalWorld() const { return m_logicalWorld; }
    QTransform DeviceWorld() const;

private:
    QTransform m_device;
    QTransform m_logicalWorld;
    bool m_scaled = false;
    qreal m_scaleX = 1;
    qreal m_scaleY = 1;
    int m_lineWidth = 1;
};

// For its lifetime the painter draws in device pixels, where the grid is
// scaled; then its state is restored.
class DeviceScope
{
public:
    DeviceScope(QPainter &painter, const PixelGrid &grid);
    ~DeviceScope();
    DeviceScope(const DeviceScope &) = delete;
    DeviceScope &operator=(const DeviceScope &) = delete;

private:
    QPainter *m_painter = nullptr;
};

// Frames drawn line by line inwards from one rectangle, on the device pixel
// grid: the rectangle is snapped once, and each line is LineWidth() device
// pixels further in. Nested frames of one control go through one object,
// so that their lines neither overlap nor leave gaps.
class FrameLines
{
public:
    FrameLines(QPainter &painter, const QRect &box);

    int LineWidth() const { return m_grid.LineWidth(); }
    // One line frame: the top and left sides in one colour, the right and
    // bottom sides (with the top-right and bottom-left corners) in the other.
    void Line(const QColor &upperLeft, const QColor &lowerRight);
    void Line(const QColor &color) { Line(color, color); }
    // The frame of the style, as DrawFrame draws it.
    void Frame(TFrameStyleEx style, const QPalette &palette, const TFrameLook &look);
    // Moves in by lines without drawing.
    void Skip(int lines);
    // Fills what lies inside the lines so far.
    void FillInside(const QColor &color);
    // The logical rectangle inside the lines so far.
    QRect Inside() const;

private:
    QPainter &m_painter;
    PixelGrid m_grid;
    QRect m_logical;
    QRect m_device; // in device pixels where the grid is scaled
    int m_lines = 0;
};

// The frame of the style along the inside of box, one pixel line at a time;
// returns the rectangle inside it. The system colours come from palette.
QRect DrawFrame(QPainter &painter, const QRect &box, TFrameStyleEx style, const QPalette &palette,
                const TFrameLook &look);
// The style that draws the frame one bevel deep, as controls do whose
// border is one line: the lowered styles as one fsStatus line frame, the
// raised ones as one fsPopup line frame (with a bevel width of 1), the
// rounded one as fsFlat; the others stay.
TFrameStyleEx OneLineStyle(TFrameStyleEx style);
// DrawFrame for a painter that draws in device pixels: box in device
// pixels, each line lineWidth of them; returns the device rectangle inside.
QRect DrawDeviceFrame(QPainter &painter, const QRect &box, int lineWidth, TFrameStyleEx style,
                      const QPalette &palette, const TFrameLook &look);
// A filled rectangle with a rounded outline one line wide along its inside,
// antialiased, corners of the radius given in logical pixels.
void DrawRoundedFrame(QPainter &painter, const QRect &box, const QColor &line, const QColor &fill,
                      qreal radius);
// Gives a Qt frame (such as a scroll area's, whose width places its
// viewport) the style one bevel deep, which Qt draws line for line as
// DrawFrame does; flat lines in the colour given.
void ApplyFrameStyle(QFrame &frame, TFrameStyleEx style, const QColor &flat);

} // namespace Rz

Q_DECLARE_METATYPE(Rz::TColor)
