#pragma once

#include <QWidget>

// Interim stand-in for the segmented progress bar: counts parts and shows
// the percentage, until the bar with its own painting lands.
class TRzProgressBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int TotalParts READ TotalParts WRITE SetTotalParts)
    Q_PROPERTY(int PartsComplete READ PartsComplete WRITE SetPartsComplete)
    Q_PROPERTY(int Percent READ Percent WRITE SetPercent)

public:
    // Interim: the frame and colour settings are accepted and ignored.
    enum TFrameStyleEx { fsNone, fsFlat };
    void SetBarColor(QColor) {}
    void SetBorderColor(QColor) {}
    void SetBorderInner(TFrameStyleEx) {}
    void SetBorderOuter(TFrameStyleEx) {}
    void SetBorderWidth(int) {}
    void SetInteriorOffset(int) {}
    explicit TRzProgressBar(QWidget *parent = nullptr);

    int TotalParts() const { return m_totalParts; }
    void SetTotalParts(int value);
    int PartsComplete() const { return m_partsComplete; }
    void SetPartsComplete(int value);
    int Percent() const { return m_percent; }
    void SetPercent(int value);
    void AddCompletedParts(int count) { SetPartsComplete(m_partsComplete + count); }
    void AddCompletedPart() { AddCompletedParts(1); }

Q_SIGNALS:
    void OnChange(TRzProgressBar *sender, int percent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_totalParts = 0;
    int m_partsComplete = 0;
    int m_percent = 0;
};
