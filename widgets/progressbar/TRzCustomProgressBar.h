#pragma once

#include "widgets/look/RzGraphics.h"
#include "widgets/look/TRzFrameController.h"

#include <QPointer>
#include <QWidget>

class QPainter;

// Everything the segmented progress bar does: it counts completed parts
// out of a total, shows the whole percentage as a solid bar with centred
// text or as a row of segments, and redraws at once whenever the
// percentage changes, even while the caller keeps the event loop busy.
// TRzProgressBar publishes the properties.
class TRzCustomProgressBar : public QWidget
{
    Q_OBJECT

public:
    explicit TRzCustomProgressBar(QWidget *parent = nullptr);
    ~TRzCustomProgressBar() override;

    // Counting. Values below 0 count as 0; PartsComplete never exceeds
    // TotalParts; Percent is the share of PartsComplete in TotalParts,
    // rounded half to even, unless it was set directly afterwards.
    int TotalParts() const { return m_totalParts; }
    virtual void SetTotalParts(int value);
    int PartsComplete() const { return m_partsComplete; }
    virtual void SetPartsComplete(int value);
    int Percent() const { return m_percent; }
    virtual void SetPercent(int value); // 0 to 65535
    void AddCompletedParts(int count);
    void AddCompletedPart() { AddCompletedParts(1); }

    bool ShowPercent() const { return m_showPercent; }
    virtual void SetShowPercent(bool show);
    Rz::TBarStyle BarStyle() const { return m_barStyle; }
    virtual void SetBarStyle(Rz::TBarStyle style);
    // Follows the bounds: vertical when taller than wide, after every change
    // of position or size; may be set in between.
    Rz::TOrientation Orientation() const;
    virtual void SetOrientation(Rz::TOrientation orientation);
    int NumSegments() const { return m_numSegments; }
    virtual void SetNumSegments(int count); // 1 to 100

    Rz::TColor BarColor() const { return m_barColor; }
    virtual void SetBarColor(const Rz::TColor &color); // also the font colour
    Rz::TColor BackColor() const { return m_backColor; }
    virtual void SetBackColor(const Rz::TColor &color);
    Rz::TColor BorderColor() const { return m_borderColor; }
    virtual void SetBorderColor(const Rz::TColor &color);
    Rz::TFrameStyleEx BorderOuter() const { return m_borderOuter; }
    virtual void SetBorderOuter(Rz::TFrameStyleEx style);
    Rz::TFrameStyleEx BorderInner() const { return m_borderInner; }
    virtual void SetBorderInner(Rz::TFrameStyleEx style);
    int BorderWidth() const { return m_borderWidth; }
    virtual void SetBorderWidth(int width); // 0 and up
    int BevelWidth() const { return m_bevelWidth; }
    virtual void SetBevelWidth(int width); // 1 and up
    Rz::TColor FlatColor() const { return m_flatColor; }
    virtual void SetFlatColor(const Rz::TColor &color);
    int FlatColorAdjustment() const { return m_flatColorAdjustment; }
    virtual void SetFlatColorAdjustment(int steps);
    int InteriorOffset() const { return m_interiorOffset; }
    virtual void SetInteriorOffset(int pixels); // 0 to 255
    // Only themed drawing would use it; the classic drawing ignores it.
    bool ThemeAware() const { return m_themeAware; }
    virtual void SetThemeAware(bool aware);
    TRzFrameController *FrameController() const { return m_frameController; }
    virtual void SetFrameController(TRzFrameController *controller);

    // While a window definition is loaded into the bar, TotalParts and
    // PartsComplete are stored as given, so that a stored Percent stands.
    void BeginLoading() { ++m_loading; }
    void EndLoading() { m_loading = qMax(0, m_loading - 1); }
    bool IsLoading() const { return m_loading > 0; }

protected:
    // Takes the controller's frame when its frame is switched on.
    virtual void UpdateFromFrameController();
    // Called after Percent changed and before the redraw.
    virtual void Change(int percent);

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    struct Box;
    class Painter;

    void Redraw();
    void FollowBounds() const;
    void PaintBar(QPainter &painter) const;
    // The inside of the bar in each style, in the box its borders leave.
    void PaintSolidBar(QPainter &qp, Painter &painter, const Rz::PixelGrid &grid,
                       const Box &r) const;
    void PaintSegments(Painter &painter, const Rz::PixelGrid &grid, const Box &r) const;

    int m_totalParts = 0;
    int m_partsComplete = 0;
    int m_percent = 0;
    bool m_showPercent = true;
    Rz::TBarStyle m_barStyle = Rz::bsTraditional;
    mutable Rz::TOrientation m_orientation = Rz::orHorizontal;
    mutable QRect m_boundsSeen;
    int m_numSegments = 20;
    Rz::TColor m_barColor = Rz::clHighlight;
    Rz::TColor m_backColor = Rz::clWhite;
    Rz::TColor m_borderColor = Rz::clBtnFace;
    Rz::TFrameStyleEx m_borderOuter = Rz::fsLowered;
    Rz::TFrameStyleEx m_borderInner = Rz::fsNone;
    int m_borderWidth = 0;
    int m_bevelWidth = 1;
    Rz::TColor m_flatColor = Rz::clBtnShadow;
    int m_flatColorAdjustment = 30;
    int m_interiorOffset = 0;
    bool m_themeAware = true;
    QPointer<TRzFrameController> m_frameController;
    QMetaObject::Connection m_controllerChanged;
    int m_loading = 0;
};
