#pragma once

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
    enum TFrameStyle
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
    };
    Q_ENUM(TFrameStyle)
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

    // Colours: an invalid colour stands for the system colour named as the
    // default, taken from the palette when drawn.
    QColor FrameColor() const { return m_frameColor; }
    void SetFrameColor(const QColor &color) { m_frameColor = color; }
    TFrameStyle FrameStyle() const { return m_frameStyle; }
    void SetFrameStyle(TFrameStyle style) { m_frameStyle = style; }
    bool FrameVisible() const { return m_frameVisible; }
    void SetFrameVisible(bool visible) { m_frameVisible = visible; }
    TFramingPreference FramingPreference() const { return m_framingPreference; }
    void SetFramingPreference(TFramingPreference preference) { m_framingPreference = preference; }
    bool HotTrack() const { return m_hotTrack; }
    void SetHotTrack(bool hotTrack) { m_hotTrack = hotTrack; }
    QColor HighlightColor() const { return m_highlightColor; }
    void SetHighlightColor(const QColor &color) { m_highlightColor = color; }
    QColor HotTrackColor() const { return m_hotTrackColor; }
    void SetHotTrackColor(const QColor &color) { m_hotTrackColor = color; }
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
    QColor m_frameColor;
    TFrameStyle m_frameStyle = fsFlat;
    bool m_frameVisible = false;
    TFramingPreference m_framingPreference = fpXPThemes;
    bool m_hotTrack = false;
    QColor m_highlightColor;
    QColor m_hotTrackColor;
    THotTrackColorType m_hotTrackColorType = htctComplement;
    bool m_executing = false;
};
