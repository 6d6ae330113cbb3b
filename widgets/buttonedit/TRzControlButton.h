#pragma once

#include "widgets/look/RzGraphics.h"

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QPointer>

// A small push button that never takes the keyboard focus: it hands the
// focus to its focus control before it lets itself be pressed. It shows a
// picture of one to four images side by side (normal, disabled, down), or
// a drop-down arrow, raised in the classic style or flat.
class TRzControlButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QImage Glyph READ Glyph WRITE SetGlyph)
    Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(bool DropDownArrow READ DropDownArrow WRITE SetDropDownArrow)

public:
    explicit TRzControlButton(QWidget *parent = nullptr);

    QImage Glyph() const { return m_glyph; }
    // Setting the picture drops its double-resolution form.
    void SetGlyph(const QImage &glyph);
    // The picture's double-resolution form (device pixel ratio 2, images
    // side by side as in the picture), which high-density screens show in
    // the picture's place. None until set.
    QImage DenseGlyph() const { return m_denseGlyph; }
    void SetDenseGlyph(const QImage &glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void SetNumGlyphs(int count);
    // The width the button asks for; its owner places it.
    int Width() const { return m_width; }
    void SetWidth(int width) { m_width = qMax(0, width); }
    bool Flat() const { return m_flat; }
    void SetFlat(bool flat);
    // The system's button-face colour until set.
    QColor Color() const;
    void SetColor(const Rz::TColor &color);
    // Without a picture, draw the arrow of a drop-down button.
    bool DropDownArrow() const { return m_dropDownArrow; }
    void SetDropDownArrow(bool arrow);

    QWidget *FocusControl() const { return m_focusControl; }
    void SetFocusControl(QWidget *control) { m_focusControl = control; }

    // The image of the picture that shows in the button's present state.
    QImage CurrentImage() const { return CurrentImageOf(m_glyph); }

    QSize sizeHint() const override { return {m_width, 17}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    // The image of the present state from a picture or its dense form.
    QImage CurrentImageOf(const QImage &glyph) const;

    QImage m_glyph;
    QImage m_denseGlyph;
    int m_numGlyphs = 2;
    int m_width = 17;
    bool m_flat = false;
    Rz::TColor m_color = Rz::clBtnFace;
    bool m_dropDownArrow = false;
    QPointer<QWidget> m_focusControl;
};
