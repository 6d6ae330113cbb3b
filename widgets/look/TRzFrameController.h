#pragma once

#include "widgets/look/RzGraphics.h"

#include <QObject>

// Frame settings shared by several controls: when its frame is switched on,
// each control that refers to it takes its frame style and colours.
class TRzFrameController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool FrameVisible READ FrameVisible WRITE SetFrameVisible)
    Q_PROPERTY(Rz::TFrameStyleEx FrameStyle READ FrameStyle WRITE SetFrameStyle)
    Q_PROPERTY(Rz::TColor FrameColor READ FrameColor WRITE SetFrameColor)
    Q_PROPERTY(Rz::TColor Color READ Color WRITE SetColor)

public:
    explicit TRzFrameController(QObject *parent = nullptr);

    bool FrameVisible() const { return m_frameVisible; }
    void SetFrameVisible(bool visible);
    Rz::TFrameStyleEx FrameStyle() const { return m_frameStyle; }
    void SetFrameStyle(Rz::TFrameStyleEx style);
    Rz::TColor FrameColor() const { return m_frameColor; }
    void SetFrameColor(const Rz::TColor &color);
    Rz::TColor Color() const { return m_color; }
    void SetColor(const Rz::TColor &color);

Q_SIGNALS:
    // Any setting changed; the controls that use this controller update.
    void Changed();

private:
    bool m_frameVisible = false;
    Rz::TFrameStyleEx m_frameStyle = Rz::fsFlat;
    Rz::TColor m_frameColor = Rz::clBtnShadow;
    Rz::TColor m_color = Rz::clWindow;
};
