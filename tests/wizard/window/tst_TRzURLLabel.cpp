#include "wizard/window/TRzURLLabel.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

// Stands in for the desktop's URL handler: records what it was asked to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void Open(const QUrl &url) { opened.append(url); }
};

class tst_TRzURLLabel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void clickOpensLink_data();
    void clickOpensLink();
    void clickThatIsNoClick_data();
    void clickThatIsNoClick();
    void openedWithoutMouse_data();
    void openedWithoutMouse();
    void linkThatCannotBeOpened();
    void colourFollowsMouse();
    void staysUnderlined();

private:
    UrlCatcher m_catcher;
};

void tst_TRzURLLabel::init()
{
    m_catcher.opened.clear();
    for (const QString &scheme : {u"http"_s, u"https"_s, u"mailto"_s})
        QDesktopServices::setUrlHandler(scheme, &m_catcher, "Open");
}

void tst_TRzURLLabel::cleanup()
{
    for (const QString &scheme : {u"http"_s, u"https"_s, u"mailto"_s})
        QDesktopServices::unsetUrlHandler(scheme);
}

void tst_TRzURLLabel::clickOpensLink_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("opened"); // empty: nothing is opened

    QTest::newRow("caption is the link")
        << u"www.ravav.example"_s << QString() << u"http://www.ravav.example"_s;
    QTest::newRow("own link wins")
        << u"support@ravav.example"_s << u"mailto:support@ravav.example"_s
        << u"mailto:support@ravav.example"_s;
    QTest::newRow("blank link: caption")
        << u"https://ravav.example/help"_s << u"   "_s << u"https://ravav.example/help"_s;
    QTest::newRow("blanks around the link")
        << u"Help"_s << u"  https://ravav.example/ "_s << u"https://ravav.example/"_s;
    QTest::newRow("caption with markup characters")
        << u"https://ravav.example/?a=1&b=<2>"_s << QString()
        << u"https://ravav.example/?a=1&b=%3C2%3E"_s;
    QTest::newRow("nothing to open") << QString() << QString() << QString();
    QTest::newRow("only blanks") << u"  "_s << u" "_s << QString();
}

void tst_TRzURLLabel::clickOpensLink()
{
    QFETCH(QString, caption);
    QFETCH(QString, url);
    QFETCH(QString, opened);
    TRzURLLabel label;
    label.SetCaption(caption);
    label.SetURL(url);
    label.resize(qMax(label.width(), 10), qMax(label.height(), 10));
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));

    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(2, 2));
    if (opened.isEmpty()) {
        QVERIFY(m_catcher.opened.isEmpty());
        QVERIFY(!label.Visited());
    } else {
        QCOMPARE(m_catcher.opened, QList<QUrl>{QUrl(opened)});
        QVERIFY(label.Visited());
    }
}

void tst_TRzURLLabel::clickThatIsNoClick_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("releaseOffset");

    QTest::newRow("right button") << Qt::RightButton << QPoint(0, 0);
    QTest::newRow("released beside it") << Qt::LeftButton << QPoint(0, 500);
}

void tst_TRzURLLabel::clickThatIsNoClick()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, releaseOffset);
    TRzURLLabel label;
    label.SetCaption(u"www.ravav.example"_s);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));

    const QPoint inside(2, 2);
    QTest::mousePress(&label, button, {}, inside);
    QTest::mouseRelease(&label, button, {}, inside + releaseOffset);
    QVERIFY(m_catcher.opened.isEmpty());
    QVERIFY(!label.Visited());
}

void tst_TRzURLLabel::openedWithoutMouse_data()
{
    QTest::addColumn<int>("key"); // 0: assistive technology's press action
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("opens");
    QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << true;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                  << true;
    QTest::newRow("Space") << int(Qt::Key_Space) << Qt::KeyboardModifiers() << true;
    QTest::newRow("Ctrl+Return") << int(Qt::Key_Return)
                                 << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
    QTest::newRow("press action") << 0 << Qt::KeyboardModifiers() << true;
}

// A link is a link to the keyboard and to a screen reader too.
void tst_TRzURLLabel::openedWithoutMouse()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, opens);
    TRzURLLabel label;
    label.SetCaption(u"www.ravav.example"_s);
    label.SetURL(u"https://ravav.example/"_s);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QVERIFY(label.focusPolicy() & Qt::TabFocus);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&label);
    QCOMPARE(iface->role(), QAccessible::Link);
    QCOMPARE(iface->text(QAccessible::Name), label.Caption());
    QCOMPARE(iface->text(QAccessible::Value), label.URL());

    if (key)
        QTest::keyClick(&label, Qt::Key(key), modifiers);
    else
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(m_catcher.opened.size(), opens ? 1 : 0);
    QCOMPARE(bool(iface->state().traversed), opens);
}

void tst_TRzURLLabel::linkThatCannotBeOpened()
{
    // No handler knows this scheme: the desktop refuses it, and the label
    // stays unvisited without a word.
    TRzURLLabel label;
    label.SetFontColor(Qt::blue);
    label.SetVisitedColor(Qt::darkMagenta);
    label.SetCaption(u"nosuchscheme:thing"_s);
    QVERIFY(!label.OpenLink());
    QVERIFY(!label.Visited());
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(Qt::blue));

    label.SetCaption(u"https://ravav.example/"_s);
    QVERIFY(label.OpenLink());
    QVERIFY(label.Visited());
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(Qt::darkMagenta));
}

void tst_TRzURLLabel::colourFollowsMouse()
{
    TRzURLLabel label;
    label.SetFontColor(Qt::blue);
    label.SetHighlightColor(Qt::yellow);
    label.SetVisitedColor(Qt::red);
    label.SetCaption(u"www.ravav.example"_s);
    QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    auto shown = [&label] { return label.palette().color(QPalette::WindowText); };
    QCOMPARE(shown(), QColor(Qt::blue));

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&label, &enter);
    QCOMPARE(shown(), QColor(Qt::yellow));
    QCoreApplication::sendEvent(&label, &leave);
    QCOMPARE(shown(), QColor(Qt::blue));

    QVERIFY(label.OpenLink());
    QCOMPARE(shown(), QColor(Qt::red));
    QCoreApplication::sendEvent(&label, &enter);
    QCOMPARE(shown(), QColor(Qt::yellow));
    QCoreApplication::sendEvent(&label, &leave);
    QCOMPARE(shown(), QColor(Qt::red));
}

void tst_TRzURLLabel::staysUnderlined()
{
    TRzURLLabel label;
    QVERIFY(label.font().underline());
    label.setFont(QFont(u"Liberation Sans"_s, 8));
    QVERIFY(label.font().underline());
    QCOMPARE(label.font().pointSize(), 8);
}

QTEST_MAIN(tst_TRzURLLabel)
#include "tst_TRzURLLabel.moc"
