#pragma once

#include "widgets/buttonedit/TRzEdit.h"

#include <QImage>
#include <QKeySequence>

class TRzButtonPair;
class TRzControlButton;

// Installs, once, what assistive technology learns of button edits
// (ButtonEditAccessible.cpp, which needs this header's classes); every
// button edit calls it as it is made.
void InstallButtonEditAccessibility();

// The behaviour of an edit with small push buttons inside its right end
// (its left end for right-to-left text): the layout of the buttons, the
// text margins that keep the text clear of them, the shortcut keys that
// press them, the flat look and the AllowKeyEdit rule.
class TRzCustomButtonEdit : public TRzEdit
{
    Q_OBJECT

public:
    enum TButtonKind
    {
        bkCustom,
        bkLookup,
        bkDropDown,
        bkCalendar,
        bkAccept,
        bkReject,
        bkFolder,
        bkFind,
        bkSearch
    };
    Q_ENUM(TButtonKind)
    enum TAlignment
    {
        taLeftJustify,
        taRightJustify
    };
    Q_ENUM(TAlignment)

    explicit TRzCustomButtonEdit(QWidget *parent = nullptr);
    ~TRzCustomButtonEdit() override;

    bool ButtonVisible() const;
    void SetButtonVisible(bool visible);
    TButtonKind ButtonKind() const { return m_kinds[0]; }
    void SetButtonKind(TButtonKind kind) { SetKind(0, kind); }
    // The kind's picture, or the one assigned; assigning makes the kind bkCustom.
    QImage ButtonGlyph() const;
    void SetButtonGlyph(const QImage &glyph) { SetGlyph(0, glyph); }
    int ButtonNumGlyphs() const;
    void SetButtonNumGlyphs(int count);
    int ButtonWidth() const;
    void SetButtonWidth(int width);
    QString ButtonHint() const;
    void SetButtonHint(const QString &hint);
    QKeySequence ButtonShortCut() const { return m_shortCuts[0]; }
    void SetButtonShortCut(const QKeySequence &shortCut) { m_shortCuts[0] = shortCut; }

    bool AltBtnVisible() const;
    void SetAltBtnVisible(bool visible);
    TButtonKind AltBtnKind() const { return m_kinds[1]; }
    void SetAltBtnKind(TButtonKind kind) { SetKind(1, kind); }
    QImage AltBtnGlyph() const;
    void SetAltBtnGlyph(const QImage &glyph) { SetGlyph(1, glyph); }
    int AltBtnNumGlyphs() const;
    void SetAltBtnNumGlyphs(int count);
    int AltBtnWidth() const;
    void SetAltBtnWidth(int width);
    QString AltBtnHint() const;
    void SetAltBtnHint(const QString &hint);
    QKeySequence AltBtnShortCut() const { return m_shortCuts[1]; }
    void SetAltBtnShortCut(const QKeySequence &shortCut) { m_shortCuts[1] = shortCut; }

    // False: the keyboard cannot change the text (the buttons still work).
    bool AllowKeyEdit() const { return m_allowKeyEdit; }
    void SetAllowKeyEdit(bool allow);
    // Flat buttons in the edit's colour until the edit is hot or focused.
    bool FlatButtons() const { return m_flatButtons; }
    void SetFlatButtons(bool flat);
    // The colour of flat buttons while the edit is hot or focused: the
    // system's button-face colour until set.
    QColor FlatButtonColor() const;
    void SetFlatButtonColor(const Rz::TColor &color);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);

    TRzButtonPair *Buttons() const { return m_pair; }
    TRzControlButton *Button() const;
    TRzControlButton *AltButton() const;

    // What follows reading a window definition: every button that is not
    // bkCustom gets its kind's picture (bkDropDown included), then the
    // buttons are laid out.
    void Loaded();

    // A kind's built-in picture, loaded on first use and shared by all
    // button edits: two images of 10 x 10 side by side (normal, disabled).
    // A scale above 1 gives its double-resolution form for high-density
    // screens: 40 x 20 pixels at a device pixel ratio of 2.
    static QImage KindPicture(TButtonKind kind, int scale = 1);

Q_SIGNALS:
    void OnButtonClick();
    void OnAltBtnClick();

protected:
    void FrameChanged() override;
    void StateChanged() override;
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    TRzControlButton *ButtonAt(int index) const;
    void SetKind(int index, TButtonKind kind);
    void SetGlyph(int index, const QImage &glyph);
    // The visible, enabled button whose shortcut the key event is, or -1.
    int ShortCutButton(const QKeyEvent *event) const;
    // Whether the key would change the text.
    static bool IsEditingKey(const QKeyEvent *event);
    void Arrange();
    void UpdateMargins();
    void UpdateFlatButtons();

    TRzButtonPair *m_pair;
    TButtonKind m_kinds[2] = {bkLookup, bkLookup};
    QImage m_customGlyphs[2];
    QKeySequence m_shortCuts[2] = {QKeySequence(Qt::Key_F4), QKeySequence()};
    bool m_allowKeyEdit = true;
    bool m_flatButtons = false;
    Rz::TColor m_flatButtonColor = Rz::clBtnFace;
    TAlignment m_alignment = taLeftJustify;
    bool m_arranging = false;
};

// A one-line edit with a browse button (and an optional second button)
// inside its right end; the folder edits of the wizard.
class TRzButtonEdit : public TRzCustomButtonEdit
{
    Q_OBJECT
    Q_PROPERTY(bool ButtonVisible READ ButtonVisible WRITE SetButtonVisible)
    Q_PROPERTY(TRzCustomButtonEdit::TButtonKind ButtonKind READ ButtonKind WRITE SetButtonKind)
    Q_PROPERTY(QImage ButtonGlyph READ ButtonGlyph WRITE SetButtonGlyph)
    Q_PROPERTY(int ButtonNumGlyphs READ ButtonNumGlyphs WRITE SetButtonNumGlyphs)
    Q_PROPERTY(int ButtonWidth READ ButtonWidth WRITE SetButtonWidth)
    Q_PROPERTY(QString ButtonHint READ ButtonHint WRITE SetButtonHint)
    Q_PROPERTY(QKeySequence ButtonShortCut READ ButtonShortCut WRITE SetButtonShortCut)
    Q_PROPERTY(bool AltBtnVisible READ AltBtnVisible WRITE SetAltBtnVisible)
    Q_PROPERTY(TRzCustomButtonEdit::TButtonKind AltBtnKind READ AltBtnKind WRITE SetAltBtnKind)
    Q_PROPERTY(QImage AltBtnGlyph READ AltBtnGlyph WRITE SetAltBtnGlyph)
    Q_PROPERTY(int AltBtnNumGlyphs READ AltBtnNumGlyphs WRITE SetAltBtnNumGlyphs)
    Q_PROPERTY(int AltBtnWidth READ AltBtnWidth WRITE SetAltBtnWidth)
    Q_PROPERTY(QString AltBtnHint READ AltBtnHint WRITE SetAltBtnHint)
    Q_PROPERTY(QKeySequence AltBtnShortCut READ AltBtnShortCut WRITE SetAltBtnShortCut)
    Q_PROPERTY(bool AllowKeyEdit READ AllowKeyEdit WRITE SetAllowKeyEdit)
    Q_PROPERTY(bool FlatButtons READ FlatButtons WRITE SetFlatButtons)
    Q_PROPERTY(QColor FlatButtonColor READ FlatButtonColor WRITE SetFlatButtonColor)
    Q_PROPERTY(TRzCustomButtonEdit::TAlignment Alignment READ Alignment WRITE SetAlignment)

public:
    explicit TRzButtonEdit(QWidget *parent = nullptr) : TRzCustomButtonEdit(parent) {}
};
