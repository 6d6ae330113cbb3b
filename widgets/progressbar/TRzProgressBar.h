#pragma once

#include "widgets/progressbar/TRzCustomProgressBar.h"

// The segmented progress bar as windows use it: TRzCustomProgressBar with
// its properties published and its change event.
class TRzProgressBar : public TRzCustomProgressBar
{
    Q_OBJECT
    Q_PROPERTY(int TotalParts READ TotalParts WRITE SetTotalParts)
    Q_PROPERTY(int PartsComplete READ PartsComplete WRITE SetPartsComplete)
    Q_PROPERTY(int Percent READ Percent WRITE SetPercent)
    Q_PROPERTY(bool ShowPercent READ ShowPercent WRITE SetShowPercent)
    Q_PROPERTY(Rz::TBarStyle BarStyle READ BarStyle WRITE SetBarStyle)
    Q_PROPERTY(Rz::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(int NumSegments READ NumSegments WRITE SetNumSegments)
    Q_PROPERTY(Rz::TColor BarColor READ BarColor WRITE SetBarColor)
    Q_PROPERTY(Rz::TColor BackColor READ BackColor WRITE SetBackColor)
    Q_PROPERTY(Rz::TColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(Rz::TFrameStyleEx BorderOuter READ BorderOuter WRITE SetBorderOuter)
    Q_PROPERTY(Rz::TFrameStyleEx BorderInner READ BorderInner WRITE SetBorderInner)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
    Q_PROPERTY(Rz::TColor FlatColor READ FlatColor WRITE SetFlatColor)
    Q_PROPERTY(int FlatColorAdjustment READ FlatColorAdjustment WRITE SetFlatColorAdjustment)
    Q_PROPERTY(int InteriorOffset READ InteriorOffset WRITE SetInteriorOffset)
    Q_PROPERTY(bool ThemeAware READ ThemeAware WRITE SetThemeAware)
    Q_PROPERTY(TRzFrameController *FrameController READ FrameController WRITE SetFrameController)

public:
    explicit TRzProgressBar(QWidget *parent = nullptr);

Q_SIGNALS:
    // Percent changed to percent; raised before the bar redraws.
    void OnChange(TRzProgressBar *sender, int percent);

protected:
    void Change(int percent) override;
};
