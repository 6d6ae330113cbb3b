#include "widgets/buttonedit/TRzButtonEdit.h"
#include "widgets/buttonedit/TRzButtonPair.h"
#include "widgets/buttonedit/TRzControlButton.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>

namespace {

// A window with a plain edit that has the focus and a button edit of the
// wizard's size and settings beside it.
struct Window
{
    Window()
    {
        widget.resize(420, 120);
        other = new QLineEdit(&widget);
        other->setGeometry(10, 10, 100, 21);
        edit = new TRzButtonEdit(&widget);
        edit->setGeometry(152, 64, 257, 21);
        edit->SetFrameVisible(true);
        edit->SetFlatButtons(true);
    }

    bool Show()
    {
        widget.show();
        other->setFocus();
        return QTest::qWaitForWindowActive(&widget) && other->hasFocus();
    }

    QWidget widget;
    QLineEdit *other;
    TRzButtonEdit *edit;
};

// Sends the focus back to another widget whenever the edit gets it.
class FocusRefuser : public QObject
{
public:
    explicit FocusRefuser(QWidget *elsewhere) : m_elsewhere(elsewhere) {}

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn)
            m_elsewhere->setFocus();
        return false;
    }

private:
    QWidget *m_elsewhere;
};

QRect CursorRect(const QLineEdit *edit)
{
    return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
}

} // namespace

class tst_TRzButtonEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults_data();
    void defaults();
    void buttonClick_data();
    void buttonClick();
    void shortCut_data();
    void shortCut();
    void layout_data();
    void layout();
    void textStaysClearOfTheButton();
    void growth_data();
    void growth();
    void allowKeyEdit_data();
    void allowKeyEdit();
    void enabling();
    void autoSelect_data();
    void autoSelect();
    void flatButtons_data();
    void flatButtons();
    void pictures_data();
    void pictures();
    void kinds();
    void flatFrameCoversTheEdit_data();
    void flatFrameCoversTheEdit();
};

void tst_TRzButtonEdit::defaults_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("value");

    const QPalette scheme = QApplication::palette();
    QTest::newRow("ButtonVisible") << QByteArray("ButtonVisible") << QVariant(true);
    QTest::newRow("AltBtnVisible") << QByteArray("AltBtnVisible") << QVariant(false);
    QTest::newRow("ButtonKind") << QByteArray("ButtonKind")
                                << QVariant::fromValue(TRzButtonEdit::bkLookup);
    QTest::newRow("AltBtnKind") << QByteArray("AltBtnKind")
                                << QVariant::fromValue(TRzButtonEdit::bkLookup);
    QTest::newRow("ButtonNumGlyphs") << QByteArray("ButtonNumGlyphs") << QVariant(2);
    QTest::newRow("AltBtnNumGlyphs") << QByteArray("AltBtnNumGlyphs") << QVariant(2);
    QTest::newRow("ButtonWidth") << QByteArray("ButtonWidth") << QVariant(17);
    QTest::newRow("AltBtnWidth") << QByteArray("AltBtnWidth") << QVariant(17);
    QTest::newRow("ButtonHint") << QByteArray("ButtonHint") << QVariant(QString());
    QTest::newRow("ButtonShortCut")
        << QByteArray("ButtonShortCut") << QVariant(QKeySequence(Qt::Key_F4));
    QTest::newRow("AltBtnShortCut") << QByteArray("AltBtnShortCut") << QVariant(QKeySequence());
    QTest::newRow("AllowKeyEdit") << QByteArray("AllowKeyEdit") << QVariant(true);
    QTest::newRow("FlatButtons") << QByteArray("FlatButtons") << QVariant(false);
    QTest::newRow("FlatButtonColor")
        << QByteArray("FlatButtonColor") << QVariant(scheme.color(QPalette::Button));
    QTest::newRow("Alignment") << QByteArray("Alignment")
                               << QVariant::fromValue(TRzButtonEdit::taLeftJustify);
    QTest::newRow("Text") << QByteArray("Text") << QVariant(QString());
    QTest::newRow("FrameVisible") << QByteArray("FrameVisible") << QVariant(false);
    QTest::newRow("FrameStyle") << QByteArray("FrameStyle") << QVariant::fromValue(TRzEdit::fsFlat);
    QTest::newRow("FrameColor") << QByteArray("FrameColor")
                                << QVariant(scheme.color(QPalette::Dark));
    QTest::newRow("FrameSides") << QByteArray("FrameSides")
                                << QVariant::fromValue(
                                       TRzEdit::TSides(TRzEdit::sdLeft | TRzEdit::sdTop |
                                                       TRzEdit::sdRight | TRzEdit::sdBottom));
    QTest::newRow("FrameHotTrack") << QByteArray("FrameHotTrack") << QVariant(false);
    QTest::newRow("Color") << QByteArray("Color") << QVariant(scheme.color(QPalette::Base));
    QTest::newRow("FocusColor") << QByteArray("FocusColor")
                                << QVariant(scheme.color(QPalette::Base));
    QTest::newRow("DisabledColor")
        << QByteArray("DisabledColor") << QVariant(scheme.color(QPalette::Button));
    QTest::newRow("ReadOnly") << QByteArray("ReadOnly") << QVariant(false);
    QTest::newRow("AutoSelect") << QByteArray("AutoSelect") << QVariant(true);
    QTest::newRow("TabOnEnter") << QByteArray("TabOnEnter") << QVariant(false);
}

// The published properties and their declared defaults, found by name as a
// window definition finds them.
void tst_TRzButtonEdit::defaults()
{
    QFETCH(QByteArray, property);
    QFETCH(QVariant, value);

    TRzButtonEdit edit;
    const QMetaObject *meta = edit.metaObject();
    const int index = meta->indexOfProperty(property.constData());
    QVERIFY(index >= 0);
    QVERIFY(meta->property(index).isWritable());
    QCOMPARE(edit.property(property.constData()), value);
    QCOMPARE(edit.width(), 121);
}

void tst_TRzButtonEdit::buttonClick_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("focusInEdit");

    QTest::newRow("F4 in the edit") << QStringLiteral("F4") << 1 << true;
    QTest::newRow("click, focus elsewhere") << QStringLiteral("click") << 1 << true;
    QTest::newRow("click, edit focused") << QStringLiteral("focused click") << 1 << true;
    QTest::newRow("click, edit no tab stop") << QStringLiteral("no tab stop") << 1 << false;
    QTest::newRow("click, focus refused") << QStringLiteral("refused") << 0 << false;
    QTest::newRow("right click") << QStringLiteral("right click") << 0 << true;
}

void tst_TRzButtonEdit::buttonClick()
{
    QFETCH(QString, how);
    QFETCH(int, clicks);
    QFETCH(bool, focusInEdit);

    Window window;
    QVERIFY(window.Show());
    TRzButtonEdit *edit = window.edit;
    FocusRefuser refuser(window.other);
    if (how == QLatin1String("no tab stop"))
        edit->setFocusPolicy(Qt::NoFocus);
    if (how == QLatin1String("refused"))
        edit->installEventFilter(&refuser);

    QSignalSpy alt(edit, &TRzButtonEdit::OnAltBtnClick);
    QList<bool> focusedWhenRaised;
    QObject receiver;
    connect(edit, &TRzButtonEdit::OnButtonClick, &receiver,
            [&] { focusedWhenRaised << edit->hasFocus(); });

    if (how == QLatin1String("F4")) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_F4);
    } else if (how == QLatin1String("focused click")) {
        edit->setFocus();
        QTest::mouseClick(edit->Button(), Qt::LeftButton);
    } else if (how == QLatin1String("right click")) {
        QTest::mouseClick(edit->Button(), Qt::RightButton);
    } else {
        QTest::mouseClick(edit->Button(), Qt::LeftButton);
    }

    QCOMPARE(focusedWhenRaised.size(), clicks);
    for (bool focused : focusedWhenRaised)
        QCOMPARE(focused, focusInEdit); // the focus moves before the event
    QCOMPARE(edit->hasFocus(), focusInEdit);
    QCOMPARE(alt.size(), 0);
}

void tst_TRzButtonEdit::shortCut_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("altClicks");
    QTest::addColumn<QString>("text");

    const QKeyCombination f4(Qt::Key_F4);
    QTest::newRow("F4") << QString() << f4 << 1 << 0 << QString();
    QTest::newRow("main button hidden") << QStringLiteral("hide") << f4 << 0 << 0 << QString();
    QTest::newRow("main button disabled") << QStringLiteral("disable") << f4 << 0 << 0 << QString();
    QTest::newRow("shift F4") << QString() << QKeyCombination(Qt::ShiftModifier, Qt::Key_F4) << 0
                              << 0 << QString();
    QTest::newRow("F5") << QString() << QKeyCombination(Qt::Key_F5) << 0 << 0 << QString();
    QTest::newRow("no shortcut") << QStringLiteral("clear") << f4 << 0 << 0 << QString();
    QTest::newRow("alternate button")
        << QStringLiteral("alt") << QKeyCombination(Qt::ControlModifier, Qt::Key_F4) << 0 << 1
        << QString();
    QTest::newRow("alternate button with the main one's key")
        << QStringLiteral("alt same") << f4 << 1 << 0 << QString();
    QTest::newRow("alternate button when the main one is hidden")
        << QStringLiteral("alt same, hide") << f4 << 0 << 1 << QString();
    QTest::newRow("character key swallowed")
        << QStringLiteral("x") << QKeyCombination(Qt::Key_X) << 1 << 0 << QString();
    QTest::newRow("character key typed when hidden")
        << QStringLiteral("x, hide") << QKeyCombination(Qt::Key_X) << 0 << 0 << QStringLiteral("x");
}

void tst_TRzButtonEdit::shortCut()
{
    QFETCH(QString, setup);
    QFETCH(QKeyCombination, key);
    QFETCH(int, clicks);
    QFETCH(int, altClicks);
    QFETCH(QString, text);

    Window window;
    QVERIFY(window.Show());
    TRzButtonEdit *edit = window.edit;
    if (setup.contains(QLatin1String("alt"))) {
        edit->SetAltBtnVisible(true);
        edit->SetAltBtnShortCut(setup.contains(QLatin1String("same"))
                                    ? QKeySequence(Qt::Key_F4)
                                    : QKeySequence(Qt::ControlModifier | Qt::Key_F4));
    }
    if (setup.contains(QLatin1String("hide")))
        edit->SetButtonVisible(false);
    if (setup == QLatin1String("disable"))
        edit->Button()->setEnabled(false);
    if (setup == QLatin1String("clear"))
        edit->SetButtonShortCut(QKeySequence());
    if (setup.startsWith(QLatin1Char('x')))
        edit->SetButtonShortCut(QKeySequence(Qt::Key_X));

    QSignalSpy main(edit, &TRzButtonEdit::OnButtonClick);
    QSignalSpy alt(edit, &TRzButtonEdit::OnAltBtnClick);
    edit->setFocus();
    QTest::keyClick(edit, key.key(), key.keyboardModifiers());
    QCOMPARE(main.size(), clicks);
    QCOMPARE(alt.size(), altClicks);
    QCOMPARE(edit->text(), text);
}

void tst_TRzButtonEdit::layout_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QRect>("pair");
    QTest::addColumn<QMargins>("margins");
    QTest::addColumn<QList<QRect>>("buttons");

    // The wizard's edits are 257 x 21.
    const QList<QRect> one = {QRect(0, 0, 17, 17)};
    QTest::newRow("frame, one button")
        << QStringLiteral("frame") << QRect(238, 2, 17, 18) << QMargins(0, 0, 19, 0) << one;
    QTest::newRow("3-D border, one button")
        << QString() << QRect(238, 2, 17, 18) << QMargins(0, 0, 19, 0) << one;
    QTest::newRow("no border") << QStringLiteral("no border") << QRect(239, 1, 17, 18)
                               << QMargins(0, 0, 19, 0) << one;
    QTest::newRow("two buttons") << QStringLiteral("frame, alt") << QRect(221, 2, 34, 18)
                                 << QMargins(0, 0, 36, 0)
                                 << QList<QRect>{QRect(0, 0, 17, 17), QRect(17, 0, 17, 17)};
    QTest::newRow("alternate button alone")
        << QStringLiteral("frame, alt, hide") << QRect(238, 2, 17, 18) << QMargins(0, 0, 19, 0)
        << QList<QRect>{QRect(), QRect(0, 0, 17, 17)};
    QTest::newRow("no button") << QStringLiteral("frame, hide") << QRect(255, 2, 0, 18)
                               << QMargins(0, 0, 2, 0) << QList<QRect>{};
    QTest::newRow("wide button") << QStringLiteral("frame, wide") << QRect(230, 2, 25, 18)
                                 << QMargins(0, 0, 27, 0) << QList<QRect>{QRect(0, 0, 25, 17)};
    QTest::newRow("right to left")
        << QStringLiteral("frame, rtl") << QRect(2, 2, 17, 18) << QMargins(19, 0, 0, 0) << one;
    QTest::newRow("right to left, no border")
        << QStringLiteral("no border, rtl") << QRect(0, 0, 17, 18) << QMargins(19, 0, 0, 0) << one;
}

void tst_TRzButtonEdit::layout()
{
    QFETCH(QString, setup);
    QFETCH(QRect, pair);
    QFETCH(QMargins, margins);
    QFETCH(QList<QRect>, buttons);

    TRzButtonEdit edit;
    edit.setGeometry(152, 64, 257, 21);
    edit.SetFrameVisible(setup.contains(QLatin1String("frame")));
    if (setup.contains(QLatin1String("no border")))
        edit.SetBorderStyle(TRzEdit::bsNone);
    if (setup.contains(QLatin1String("alt")))
        edit.SetAltBtnVisible(true);
    if (setup.contains(QLatin1String("hide")))
        edit.SetButtonVisible(false);
    if (setup.contains(QLatin1String("wide")))
        edit.SetButtonWidth(25);
    if (setup.contains(QLatin1String("rtl")))
        edit.setLayoutDirection(Qt::RightToLeft);
    edit.show();

    QCOMPARE(edit.Buttons()->geometry(), pair);
    QCOMPARE(edit.textMargins(), margins);
    if (!buttons.isEmpty() && buttons.at(0).isValid())
        QCOMPARE(edit.Button()->geometry(), buttons.at(0));
    if (buttons.size() > 1)
        QCOMPARE(edit.AltButton()->geometry(), buttons.at(1));
    QCOMPARE(edit.Button()->isVisible(), buttons.size() > 0 && buttons.at(0).isValid());
    QCOMPARE(edit.AltButton()->isVisible(), buttons.size() > 1);
}

// However long the text, the cursor at its end stays left of the button.
void tst_TRzButtonEdit::textStaysClearOfTheButton()
{
    Window window;
    QVERIFY(window.Show());
    TRzButtonEdit *edit = window.edit;
    edit->setText(QStringLiteral("/home/somebody/quillbox/data/").repeated(5));
    edit->setFocus();
    edit->end(false);
    edit->grab(); // the line edit scrolls its text while it paints
    QVERIFY(CursorRect(edit).right() < edit->Buttons()->x());
    QVERIFY(CursorRect(edit).right() > edit->Buttons()->x() - 20); // it is at the right end

    edit->setText(QString());
    edit->SetAlignment(TRzButtonEdit::taRightJustify);
    edit->setText(QStringLiteral("short"));
    edit->end(false);
    edit->grab(); // the line edit scrolls its text while it paints
    QVERIFY(CursorRect(edit).right() < edit->Buttons()->x());
    QVERIFY(CursorRect(edit).right() > edit->Buttons()->x() - 20);
}

void tst_TRzButtonEdit::growth_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("grows");

    QTest::newRow("far too low") << 5 << 11 << true;
    QTest::newRow("one pixel too low") << -1 << 11 << true;
    QTest::newRow("just high enough") << 0 << 11 << false;
    QTest::newRow("wizard height") << 21 << 11 << false;
    QTest::newRow("bigger font") << 21 << 30 << true;
}

void tst_TRzButtonEdit::growth()
{
    QFETCH(int, height);
    QFETCH(int, pixelSize);
    QFETCH(bool, grows);

    TRzButtonEdit edit;
    QFont font = edit.font();
    font.setPixelSize(pixelSize);
    edit.setFont(font);
    const int needed = QFontMetrics(font).height() + 2;
    if (height <= 0)
        height += needed; // relative to the line height
    edit.setGeometry(10, 10, 257, height);
    edit.show();

    QCOMPARE(edit.height(), grows ? needed : height);
    QCOMPARE(edit.Buttons()->height(), edit.height() - 3);
}

void tst_TRzButtonEdit::allowKeyEdit_data()
{
    QTest::addColumn<bool>("allow");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("text");

    const QString before = QStringLiteral("/data/old");
    const QList<std::pair<const char *, QString>> actions = {
        {"typing", QStringLiteral("x")},
        {"backspace", QString()},
        {"delete", QString()},
        {"paste", QStringLiteral("/pasted")},
        {"shift insert", QStringLiteral("/pasted")},
        {"cut", QString()},
        {"shift delete", QString()},
        {"input method", QStringLiteral("composed")},
    };
    for (const auto &[action, changed] : actions) {
        QTest::addRow("forbidden %s", action) << false << QString::fromLatin1(action) << before;
        QTest::addRow("allowed %s", action) << true << QString::fromLatin1(action) << changed;
    }
}

// The whole text is selected (keyboard focus) so that each action would
// replace or remove it.
void tst_TRzButtonEdit::allowKeyEdit()
{
    QFETCH(bool, allow);
    QFETCH(QString, action);
    QFETCH(QString, text);

    Window window;
    QVERIFY(window.Show());
    TRzButtonEdit *edit = window.edit;
    edit->SetAllowKeyEdit(allow);
    edit->setText(QStringLiteral("/data/old"));
    QApplication::clipboard()->setText(QStringLiteral("/pasted"));
    QTest::keyClick(window.other, Qt::Key_Tab);
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->selectedText(), edit->text());

    if (action == QLatin1String("typing")) {
        QTest::keyClick(edit, Qt::Key_X);
    } else if (action == QLatin1String("backspace")) {
        QTest::keyClick(edit, Qt::Key_Backspace);
    } else if (action == QLatin1String("delete")) {
        QTest::keyClick(edit, Qt::Key_Delete);
    } else if (action == QLatin1String("paste")) {
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    } else if (action == QLatin1String("shift insert")) {
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
    } else if (action == QLatin1String("cut")) {
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    } else if (action == QLatin1String("shift delete")) {
        QTest::keyClick(edit, Qt::Key_Delete, Qt::ShiftModifier);
    } else if (action == QLatin1String("input method")) {
        QInputMethodEvent composed;
        composed.setCommitString(QStringLiteral("composed"));
        QApplication::sendEvent(edit, &composed);
    }
    QCOMPARE(edit->text(), text);

    // The buttons work either way.
    QSignalSpy clicks(edit, &TRzButtonEdit::OnButtonClick);
    QTest::keyClick(edit, Qt::Key_F4);
    QTest::mouseClick(edit->Button(), Qt::LeftButton);
    QCOMPARE(clicks.size(), 2);
}

void tst_TRzButtonEdit::enabling()
{
    TRzButtonEdit edit;
    edit.SetAltBtnVisible(true);
    edit.show();
    edit.setEnabled(false);
    QVERIFY(!edit.Button()->isEnabled());
    QVERIFY(!edit.AltButton()->isEnabled());
    QCOMPARE(edit.Button()->CurrentImage(),
             TRzButtonEdit::KindPicture(TRzButtonEdit::bkLookup).copy(10, 0, 10, 10));

    // Enabling the edit enables both buttons, also one disabled on its own.
    edit.Button()->setEnabled(false);
    edit.setEnabled(true);
    QVERIFY(edit.Button()->isEnabled());
    QVERIFY(edit.AltButton()->isEnabled());
    QCOMPARE(edit.Button()->CurrentImage(),
             TRzButtonEdit::KindPicture(TRzButtonEdit::bkLookup).copy(0, 0, 10, 10));
}

void tst_TRzButtonEdit::autoSelect_data()
{
    QTest::addColumn<bool>("autoSelect");
    QTest::addColumn<bool>("byMouse");
    QTest::addColumn<bool>("selected");

    QTest::newRow("keyboard") << true << false << true;
    QTest::newRow("keyboard, AutoSelect off") << false << false << false;
    QTest::newRow("mouse") << true << true << false;
}

void tst_TRzButtonEdit::autoSelect()
{
    QFETCH(bool, autoSelect);
    QFETCH(bool, byMouse);
    QFETCH(bool, selected);

    Window window;
    QVERIFY(window.Show());
    TRzButtonEdit *edit = window.edit;
    edit->SetAutoSelect(autoSelect);
    edit->setText(QStringLiteral("/data/old"));
    if (byMouse)
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(20, 10));
    else
        QTest::keyClick(window.other, Qt::Key_Tab);
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->hasSelectedText(), selected);
    if (selected)
        QCOMPARE(edit->selectedText(), edit->text());
}

void tst_TRzButtonEdit::flatButtons_data()
{
    QTest::addColumn<bool>("flat");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QColor>("color");

    const QColor face = QApplication::palette().color(QPalette::Button);
    const QColor yellow(Qt::yellow), green(Qt::green), gray(Qt::gray);
    QTest::newRow("flat, idle") << true << QStringLiteral("idle") << yellow;
    QTest::newRow("flat, focused") << true << QStringLiteral("focused") << green;
    QTest::newRow("flat, hot") << true << QStringLiteral("hot") << green;
    QTest::newRow("flat, disabled") << true << QStringLiteral("disabled") << gray;
    QTest::newRow("raised, idle") << false << QStringLiteral("idle") << face;
    QTest::newRow("raised, focused") << false << QStringLiteral("focused") << face;
}

void tst_TRzButtonEdit::flatButtons()
{
    QFETCH(bool, flat);
    QFETCH(QString, state);
    QFETCH(QColor, color);

    Window window;
    TRzButtonEdit *edit = window.edit;
    edit->SetFlatButtons(flat);
    edit->SetColor(Qt::yellow);
    edit->SetFlatButtonColor(Qt::green);
    edit->SetDisabledColor(Qt::gray);
    QVERIFY(window.Show());
    if (state == QLatin1String("focused"))
        edit->setFocus();
    if (state == QLatin1String("hot")) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(edit, &enter);
    }
    if (state == QLatin1String("disabled"))
        edit->setEnabled(false);

    for (const TRzControlButton *button : {edit->Button(), edit->AltButton()}) {
        QCOMPARE(button->Flat(), flat);
        QCOMPARE(button->Color(), color);
    }
    if (state != QLatin1String("idle")) { // and back
        edit->setEnabled(true);
        window.other->setFocus();
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(edit, &leave);
        QCOMPARE(edit->Button()->Color(), flat ? QColor(Qt::yellow) : color);
    }
}

void tst_TRzButtonEdit::pictures_data()
{
    QTest::addColumn<TRzButtonEdit::TButtonKind>("kind");

    for (TRzButtonEdit::TButtonKind kind :
         {TRzButtonEdit::bkLookup, TRzButtonEdit::bkDropDown, TRzButtonEdit::bkCalendar,
          TRzButtonEdit::bkAccept, TRzButtonEdit::bkReject, TRzButtonEdit::bkFolder,
          TRzButtonEdit::bkFind, TRzButtonEdit::bkSearch})
        QTest::newRow(QMetaEnum::fromType<TRzButtonEdit::TButtonKind>().valueToKey(kind)) << kind;
}

// Each built-in picture: 20 x 10 at 8 bits per pixel, a normal and a
// disabled image that both show something and differ.
void tst_TRzButtonEdit::pictures()
{
    QFETCH(TRzButtonEdit::TButtonKind, kind);

    const QImage picture = TRzButtonEdit::KindPicture(kind);
    QCOMPARE(picture.size(), QSize(20, 10));
    QCOMPARE(picture.depth(), 8);
    const QImage normal = picture.copy(0, 0, 10, 10);
    const QImage disabled = picture.copy(10, 0, 10, 10);
    QVERIFY(normal != disabled);
    for (const QImage &image : {normal, disabled}) {
        int opaque = 0, transparent = 0;
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x)
                (qAlpha(image.pixel(x, y)) == 255 ? opaque : transparent)++;
        }
        QVERIFY(opaque > 0);
        QVERIFY(transparent > 0);
    }
    // Loaded once: every call hands out the same shared image.
    QCOMPARE(TRzButtonEdit::KindPicture(kind).cacheKey(), picture.cacheKey());
}

void tst_TRzButtonEdit::kinds()
{
    TRzButtonEdit first, second;
    const qint64 lookup = TRzButtonEdit::KindPicture(TRzButtonEdit::bkLookup).cacheKey();
    QCOMPARE(first.Button()->Glyph().cacheKey(), lookup);
    QCOMPARE(second.AltButton()->Glyph().cacheKey(), lookup);

    first.SetButtonKind(TRzButtonEdit::bkFolder);
    QCOMPARE(first.ButtonGlyph().cacheKey(),
             TRzButtonEdit::KindPicture(TRzButtonEdit::bkFolder).cacheKey());

    // Set at run time, the drop-down kind draws an arrow instead of a picture.
    first.SetButtonKind(TRzButtonEdit::bkDropDown);
    QVERIFY(first.ButtonGlyph().isNull());
    QVERIFY(first.Button()->DropDownArrow());
    first.Loaded();
    QCOMPARE(first.ButtonGlyph().cacheKey(),
             TRzButtonEdit::KindPicture(TRzButtonEdit::bkDropDown).cacheKey());

    // Assigning a picture makes the kind bkCustom, and it stays.
    QImage custom(30, 10, QImage::Format_ARGB32);
    custom.fill(Qt::red);
    first.SetButtonGlyph(custom);
    first.SetButtonNumGlyphs(3);
    QCOMPARE(first.ButtonKind(), TRzButtonEdit::bkCustom);
    first.Loaded();
    QCOMPARE(first.ButtonGlyph(), custom);
    QCOMPARE(first.Button()->CurrentImage().size(), QSize(10, 10));
    QCOMPARE(second.ButtonGlyph().cacheKey(), lookup);
}

void tst_TRzButtonEdit::flatFrameCoversTheEdit_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("framed");

    QTest::newRow("left column") << QPoint(0, 10) << true;
    QTest::newRow("top row") << QPoint(128, 0) << true;
    QTest::newRow("right column") << QPoint(256, 10) << true;
    QTest::newRow("bottom row") << QPoint(128, 20) << true;
    QTest::newRow("bottom right corner") << QPoint(256, 20) << true;
    QTest::newRow("inside the frame") << QPoint(255, 19) << false;
}

// The flat frame lies on the outermost pixels of the edit, all 257 x 21.
void tst_TRzButtonEdit::flatFrameCoversTheEdit()
{
    QFETCH(QPoint, pixel);
    QFETCH(bool, framed);

    TRzEdit edit;
    edit.resize(257, 21);
    edit.SetFrameVisible(true);
    edit.SetFrameColor(Qt::red);
    edit.SetColor(Qt::white);
    const QImage image = edit.grab().toImage();
    QCOMPARE(image.size(), QSize(257, 21));
    QCOMPARE(QColor(image.pixel(pixel)), framed ? QColor(Qt::red) : QColor(Qt::white));
}

QTEST_MAIN(tst_TRzButtonEdit)
#include "tst_TRzButtonEdit.moc"
