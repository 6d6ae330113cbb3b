#pragma once

#include "widgets/look/RzGraphics.h"

#include <QColor>
#include <QObject>

// A non-visual component that runs a window of its own: the window's size
// and state kept from one run to the next, the look handed to the window's
// controls, the window's events, and the guard against running twice at once.
class TRzShellDialog : public QObject
{
    Q_OBJECT

public:
    enum TFormWindowState
    {
        wsNormal,
        wsMinimized,
        wsMaximized,
    };
    Q_ENUM(TFormWindowState)
    enum TFramingPreference
    {
        fpCustomFraming,
        fpXPThemes,
    };
    Q_ENUM(TFramingPreference)
    enum THotTrackColorType
    {
        htctComplement,
        htctActual,
    };
    Q_ENUM(THotTrackColorType)

    explicit TRzShellDialog(QObject *parent = nullptr);

    int FormWidth() const { return m_formWidth; }
    void SetFormWidth(int width) { m_formWidth = width; }
    int FormHeight() const { return m_formHeight; }
    void SetFormHeight(int height) { m_formHeight = height; }
    TFormWindowState FormWindowState() const { return m_formWindowState; }
    void SetFormWindowState(TFormWindowState state) { m_formWindowState = state; }

    // Colours: system colours, taken from the palette when drawn, until set.
    Rz::TColor FrameColor() const { return m_frameColor; }
    void SetFrameColor(const Rz::TColor &color) { m_frameColor = color; }
    Rz::TFrameStyleEx FrameStyle() const { return m_frameStyle; }
    void SetFrameStyle(Rz::TFrameStyleEx style) { m_frameStyle = style; }
    bool FrameVisible() const { return m_frameVisible; }
    void SetFrameVisible(bool visible) { m_frameVisible = visible; }
    TFramingPreference FramingPreference() const { return m_framingPreference; }
    void SetFramingPreference(TFramingPreference preference) { m_framingPreference = preference; }
    bool HotTrack() const { return m_hotTrack; }
    void SetHotTrack(bool hotTrack) { m_hotTrack = hotTrack; }
    Rz::TColor HighlightColor() const { return m_highlightColor; }
    void SetHighlightColor(const Rz::TColor &color) { m_highlightColor = color; }
    Rz::TColor HotTrackColor() const { return m_hotTrackColor; }
    void SetHotTrackColor(const Rz::TColor &color) { m_hotTrackColor = color; }
    THotTrackColorType HotTrackColorType() const { return m_hotTrackColorType; }
    void SetHotTrackColorType(THotTrackColorType type) { m_hotTrackColorType = type; }

    bool IsExecuting() const { return m_executing; }

Q_SIGNALS:
    // After the window has been built and configured, before it is shown.
    void OnInitialized(QObject *sender);
    // When the window is shown, after its contents are filled.
    void OnFormShow(QObject *sender);
    // When the window is hidden at the end of a run.
    void OnFormClose(QObject *sender);

protected:
    static constexpr Rz::TColor DefaultFrameColor = Rz::clBtnShadow;
    static constexpr Rz::TColor DefaultHighlightColor = Rz::clHighlight;
    static constexpr Rz::TColor DefaultHotTrackColor = Rz::clHighlight;

    // The colours as the dialog's properties publish them: QColors in which
    // an invalid colour stands for the default system colour.
    QColor PublishedFrameColor() const { return m_frameColor.ToQColor(); }
    void SetPublishedFrameColor(const QColor &color)
    {
        m_frameColor = Rz::TColor::FromQColor(color, DefaultFrameColor);
    }
    QColor PublishedHighlightColor() const { return m_highlightColor.ToQColor(); }
    void SetPublishedHighlightColor(const QColor &color)
    {
        m_highlightColor = Rz::TColor::FromQColor(color, DefaultHighlightColor);
    }
    QColor PublishedHotTrackColor() const { return m_hotTrackColor.ToQColor(); }
    void SetPublishedHotTrackColor(const QColor &color)
    {
        m_hotTrackColor = Rz::TColor::FromQColor(color, DefaultHotTrackColor);
    }

    // Sets the executing flag for its lifetime; throws when it is already set.
    class ExecutingScope
    {
    public:
        explicit ExecutingScope(TRzShellDialog &dialog);
        ~ExecutingScope();
        ExecutingScope(const ExecutingScope &) = delete;
        ExecutingScope &operator=(const ExecutingScope &) = delete;

    private:
        TRzShellDialog &m_dialog;
    };

private:
    int m_formWidth = -1;
    int m_formHeight = -1;
    TFormWindowState m_formWindowState = wsNormal;
    Rz::TColor m_frameColor = DefaultFrameColor;
    Rz::TFrameStyleEx m_frameStyle = Rz::fsFlat;
    bool m_frameVisible = false;
    TFramingPreference m_framingPreference = fpXPThemes;
    bool m_hotTrack = false;
    Rz::TColor m_highlightColor = DefaultHighlightColor;
    Rz::TColor m_hotTrackColor = DefaultHotTrackColor;
    THotTrackColorType m_hotTrackColorType = htctComplement;
    bool m_executing = false;
};
