#pragma once

#include "widgets/look/RzGraphics.h"

#include <QColor>
#include <QLineEdit>

class QPainter;

// A one-line edit with the classic desktop's borders: the sunken 3-D edge,
// or a flat frame in its own colour on chosen sides; and colours of its own
// for the normal, focused and disabled states.
class TRzEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(bool FrameVisible READ FrameVisible WRITE SetFrameVisible)
    Q_PROPERTY(TFrameStyle FrameStyle READ FrameStyle WRITE SetFrameStyle)
    Q_PROPERTY(QColor FrameColor READ FrameColor WRITE SetFrameColor)
    Q_PROPERTY(TSides FrameSides READ FrameSides WRITE SetFrameSides)
    Q_PROPERTY(bool FrameHotTrack READ FrameHotTrack WRITE SetFrameHotTrack)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QColor FocusColor READ FocusColor WRITE SetFocusColor)
    Q_PROPERTY(QColor DisabledColor READ DisabledColor WRITE SetDisabledColor)
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE SetAutoSelect)
    Q_PROPERTY(bool TabOnEnter READ TabOnEnter WRITE SetTabOnEnter)

public:
    // The six styles the edit draws, under the numbers it has always
    // published (fsRaised is 5 here, 6 in Rz::TFrameStyleEx), so that values
    // read or stored through the property keep their meaning.
    enum TFrameStyle
    {
        fsNone,
        fsFlat,
        fsGroove,
        fsBump,
        fsLowered,
        fsRaised
    };
    Q_ENUM(TFrameStyle)
    enum TSide
    {
        sdLeft = 1,
        sdTop = 2,
        sdRight = 4,
        sdBottom = 8
    };
    Q_DECLARE_FLAGS(TSides, TSide)
    Q_FLAG(TSides)
    enum TBorderStyle
    {
        bsNone,
        bsSingle
    };
    Q_ENUM(TBorderStyle)

    explicit TRzEdit(QWidget *parent = nullptr);

    // The shared style a published one stands for: the one place where the
    // two numberings meet.
    static Rz::TFrameStyleEx SharedStyle(TFrameStyle style);

    QString Text() const { return text(); }
    void SetText(const QString &value) { setText(value); }

    bool FrameVisible() const { return m_frameVisible; }
    void SetFrameVisible(bool visible);
    TFrameStyle FrameStyle() const { return m_frameStyle; }
    void SetFrameStyle(TFrameStyle style);
    // The colours read as they are drawn now; a system colour (the defaults,
    // Rz::clBtnShadow and the like) follows the desktop's scheme.
    // The system's button-shadow colour until set.
    QColor FrameColor() const;
    void SetFrameColor(const Rz::TColor &color);
    TSides FrameSides() const { return m_frameSides; }
    void SetFrameSides(TSides sides);
    // The frame turns bold while the pointer is over the edit or it has the focus.
    bool FrameHotTrack() const { return m_frameHotTrack; }
    void SetFrameHotTrack(bool hotTrack);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle style);

    // The system's window colour until set.
    QColor Color() const;
    void SetColor(const Rz::TColor &color);
    // The system's window colour until set.
    QColor FocusColor() const;
    void SetFocusColor(const Rz::TColor &color);
    // The system's button-face colour until set.
    QColor DisabledColor() const;
    void SetDisabledColor(const Rz::TColor &color);

    // Selects all text when the focus arrives by keyboard.
    bool AutoSelect() const { return m_autoSelect; }
    void SetAutoSelect(bool autoSelect) { m_autoSelect = autoSelect; }
    // Enter moves the focus on, as Tab does.
    bool TabOnEnter() const { return m_tabOnEnter; }
    void SetTabOnEnter(bool tabOnEnter) { m_tabOnEnter = tabOnEnter; }

    // The colour the edit shows now: disabled, focused or normal.
    QColor CurrentColor() const;
    // Pixels the border takes on each side: 2 with the frame or the 3-D
    // edge, 0 without a border.
    int BorderWidth() const;
    // Whether the pointer is over the edit (or over one of its children).
    bool IsHot() const { return m_hot; }

protected:
    // Runs when the border changes its width or look.
    virtual void FrameChanged() {}
    // Runs when the pointer enters or leaves the edit, or the edit gets or
    // loses the focus or is enabled or disabled.
    virtual void StateChanged() {}

    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void UpdateBorder();
    void UpdateColors();
    void DrawBorder(QPainter &painter) const;
    // The colour against the platform's scheme, not this edit's own palette
    // (which carries the edit's current colour).
    QColor Resolve(const Rz::TColor &color) const;

    bool m_frameVisible = false;
    TFrameStyle m_frameStyle = fsFlat;
    Rz::TColor m_frameColor = Rz::clBtnShadow;
    TSides m_frameSides = TSides(sdLeft | sdTop | sdRight | sdBottom);
    bool m_frameHotTrack = false;
    TBorderStyle m_borderStyle = bsSingle;
    Rz::TColor m_color = Rz::clWindow;
    Rz::TColor m_focusColor = Rz::clWindow;
    Rz::TColor m_disabledColor = Rz::clBtnFace;
    bool m_autoSelect = true;
    bool m_tabOnEnter = false;
    bool m_hot = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TRzEdit::TSides)
