#include "ElfTestFile.h"
#include "wizard/version/TRzVersionInfo.h"
#include "wizard/version/VersionResource.h"
#include "wizard/window/TRzURLLabel.h"
#include "wizard/window/TfrmAbout.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Runs the action once the box is the active modal window, as a user would
// act on it only once it is on screen.
void WhenActive(QDialog *box, std::function<void()> action)
{
    auto poll = std::make_shared<std::function<void()>>();
    auto tries = std::make_shared<int>(0);
    *poll = [box, action, poll, tries] {
        if (QApplication::activeModalWidget() == box && box->isActiveWindow()) {
            action();
        } else if (++*tries < 500) {
            QTimer::singleShot(10, *poll);
            return;
        } else {
            box->done(-1); // never became active: the test sees the result
        }
        *poll = nullptr;
    };
    QTimer::singleShot(0, *poll);
}

QByteArray ElfWithFileVersion(const char *version, bool withTranslation = true)
{
    const VersionResource::Translation translation[] = {{0x0C09, 0x04E4}};
    const VersionResource::StringEntry strings[] = {
        {"StringFileInfo\\0c0904e4\\FileVersion", version}};
    using Translations = std::span<const VersionResource::Translation>;
    const VersionResource::Definition definition{
        {}, withTranslation ? Translations(translation) : Translations(), strings};
    return MakeElf({{VersionResource::SectionName, VersionResource::Encode(definition)}}).bytes;
}

} // namespace

class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void Open(const QUrl &url) { opened.append(url); }
};

class tst_TfrmAbout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void versionLine_data();
    void versionLine();
    void versionLineSetOnFirstActivationOnly();
    void closesWithResult_data();
    void closesWithResult();
    void window();
    void layout_data();
    void layout();
    void textsFitTheirLabels();
    void fontsAndColours();
    void linksOpen_data();
    void linksOpen();
};

void tst_TfrmAbout::initTestCase()
{
    // What the application object sets up at start.
    QFont::insertSubstitution(u"MS Sans Serif"_s, u"Liberation Sans"_s);
    QFont::insertSubstitution(u"Arial"_s, u"Liberation Sans"_s);
}

void tst_TfrmAbout::versionLine_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: the program's own
    QTest::addColumn<QString>("line");

    QTest::newRow("program's own") << QByteArray() << u"Version 4.00"_s;
    QTest::newRow("1.5.0.0") << ElfWithFileVersion("1.5.0.0") << u"Version 1.05"_s;
    QTest::newRow("10.12.0.0") << ElfWithFileVersion("10.12.0.0") << u"Version 10.12"_s;
    QTest::newRow("three-digit minor") << ElfWithFileVersion("3.123.1.1") << u"Version 3.123"_s;
    QTest::newRow("no information") << QByteArray("plain text") << u"Version Value Not Available"_s;
    QTest::newRow("no translation") << ElfWithFileVersion("1.5.0.0", false) << u"Version "_s;
}

void tst_TfrmAbout::versionLine()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, line);
    QTemporaryDir folder;
    TfrmAbout box;
    QCOMPARE(box.lblVersion->text(), u"Version"_s);
    if (!file.isEmpty()) {
        const QByteArray path = QFile::encodeName(folder.filePath(u"program"_s));
        QVERIFY(WriteTestFile(path, file));
        box.VersionInfo->SetFilePath(path);
    }
    QString shown;
    WhenActive(&box, [&box, &shown] {
        shown = box.lblVersion->text();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    QCOMPARE(shown, line);
}

void tst_TfrmAbout::versionLineSetOnFirstActivationOnly()
{
    TfrmAbout box;
    box.show();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(box.lblVersion->text(), u"Version 4.00"_s);

    // Focus leaves and comes back: the line is not built again.
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.filePath(u"program"_s));
    QVERIFY(WriteTestFile(path, ElfWithFileVersion("1.5.0.0")));
    box.VersionInfo->SetFilePath(path);
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    box.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(box.lblVersion->text(), u"Version 4.00"_s);
}

void tst_TfrmAbout::closesWithResult_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");

    QTest::newRow("Enter") << u"enter"_s << int(QDialog::Accepted);
    QTest::newRow("OK clicked") << u"click"_s << int(QDialog::Accepted);
    QTest::newRow("space on OK") << u"space"_s << int(QDialog::Accepted);
    QTest::newRow("close box") << u"close"_s << int(QDialog::Rejected);
    QTest::newRow("Escape") << u"escape"_s << int(QDialog::Rejected);
}

void tst_TfrmAbout::closesWithResult()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    TfrmAbout box;
    WhenActive(&box, [&box, how] {
        if (how == u"enter")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else if (how == u"click")
            QTest::mouseClick(box.BitBtn1, Qt::LeftButton);
        else if (how == u"space")
            QTest::keyClick(box.BitBtn1, Qt::Key_Space);
        else if (how == u"escape")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            box.close();
    });
    QCOMPARE(box.exec(), result);
}

void tst_TfrmAbout::window()
{
    QWidget owner;
    TfrmAbout box(&owner);
    QCOMPARE(box.parentWidget(), &owner);
    QCOMPARE(box.windowTitle(), u"About"_s);
    QCOMPARE(box.size(), QSize(321, 297));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    const Qt::WindowFlags flags = box.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                       Qt::WindowContextHelpButtonHint)));
    QCOMPARE(box.font().family(), u"MS Sans Serif"_s);
    QCOMPARE(box.font().pointSize(), 8);

    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QPoint centre = box.screen()->availableGeometry().center();
    QVERIFY2((box.frameGeometry().center() - centre).manhattanLength() <= 40,
             qPrintable(u"%1,%2"_s.arg(box.frameGeometry().center().x())
                            .arg(box.frameGeometry().center().y())));

    QCOMPARE(box.BitBtn1->text(), u"OK"_s);
    QVERIFY(box.BitBtn1->isDefault());
    QVERIFY(!box.BitBtn1->icon().isNull());
    QVERIFY(!box.BitBtn1->icon().pixmap(16, 16).isNull());

    // OK has the focus, and Tab goes round the links and back to OK.
    QCOMPARE(box.focusWidget(), box.BitBtn1);
    QStringList round;
    for (int tabs = 0; tabs < 3; ++tabs) {
        QTest::keyClick(box.focusWidget(), Qt::Key_Tab);
        round << box.focusWidget()->objectName();
    }
    QCOMPARE(round, (QStringList{u"RzURLLabel1"_s, u"RzURLLabel2"_s, u"BitBtn1"_s}));
}

void tst_TfrmAbout::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry"); // width and height -1: sized to its text
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("alignment"); // horizontal; -1 for none

    const QString about = u"frmAbout"_s, panel1 = u"Panel1"_s, panel2 = u"Panel2"_s;
    const int centre = Qt::AlignHCenter, right = Qt::AlignRight, left = Qt::AlignLeft;
    QTest::newRow("Panel1") << panel1 << about << QRect(8, 8, 305, 121) << QString() << -1;
    QTest::newRow("RzLabel1") << u"RzLabel1"_s << panel1 << QRect(0, 16, 305, 44) << u"Flitto"_s
                              << centre;
    QTest::newRow("lblVersion") << u"lblVersion"_s << panel1 << QRect(0, 64, 305, 17)
                                << u"Version"_s << centre;
    QTest::newRow("Label2") << u"Label2"_s << panel1 << QRect(0, 96, 305, 13)
                            << u"Copyright \u00a9 Ravav. All rights reserved."_s << centre;
    QTest::newRow("Panel2") << panel2 << about << QRect(8, 136, 305, 121) << QString() << -1;
    QTest::newRow("Label3") << u"Label3"_s << panel2 << QRect(0, 8, 305, 13)
                            << u"For support or further information, please contact us at:"_s
                            << centre;
    // Captions end 12 pixels left of the values at 96.
    QTest::newRow("Label4") << u"Label4"_s << panel2 << QRect(8, 32, 76, 13) << u"Email:"_s
                            << right;
    QTest::newRow("Label5") << u"Label5"_s << panel2 << QRect(8, 48, 76, 13) << u"Internet:"_s
                            << right;
    QTest::newRow("Label6") << u"Label6"_s << panel2 << QRect(8, 64, 76, 13) << u"Postal:"_s
                            << right;
    QTest::newRow("Label7") << u"Label7"_s << panel2 << QRect(8, 96, 76, 13) << u"Telephone:"_s
                            << right;
    QTest::newRow("RzURLLabel1") << u"RzURLLabel1"_s << panel2 << QRect(96, 32, -1, -1)
                                 << u"support@ravav.example"_s << left;
    QTest::newRow("RzURLLabel2") << u"RzURLLabel2"_s << panel2 << QRect(96, 48, -1, -1)
                                 << u"www.ravav.example"_s << left;
    QTest::newRow("Label8") << u"Label8"_s << panel2 << QRect(96, 64, 201, 13) << u"PO Box 4711"_s
                            << left;
    QTest::newRow("Label9") << u"Label9"_s << panel2 << QRect(96, 80, 201, 13)
                            << u"Sydney NSW 2001, Australia"_s << left;
    QTest::newRow("Label10") << u"Label10"_s << panel2 << QRect(96, 96, 201, 13)
                             << u"+61 2 5550 4711"_s << left;
    QTest::newRow("BitBtn1") << u"BitBtn1"_s << about << QRect(8, 264, 305, 25) << u"OK"_s << -1;
}

void tst_TfrmAbout::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(int, alignment);
    TfrmAbout box;
    auto *widget = name == u"frmAbout" ? &box : box.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    if (geometry.width() < 0) {
        QCOMPARE(widget->pos(), geometry.topLeft());
        QCOMPARE(widget->size(), widget->sizeHint()); // the text is the click target
    } else {
        QCOMPARE(widget->geometry(), geometry);
    }
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), alignment);
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->text(), text);
    }
}

void tst_TfrmAbout::textsFitTheirLabels()
{
    // With the substituted fonts every text is whole inside its label.
    TfrmAbout box;
    for (QLabel *label : box.findChildren<QLabel *>()) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->objectName()));
        QVERIFY2(metrics.height() <= label->height(), qPrintable(label->objectName()));
        QVERIFY2(label->geometry().right() < label->parentWidget()->width(),
                 qPrintable(label->objectName()));
    }
}

void tst_TfrmAbout::fontsAndColours()
{
    TfrmAbout box;
    const QFont title = box.RzLabel1->font();
    QCOMPARE(QFontInfo(title).family(), u"Liberation Sans"_s);
    QCOMPARE(title.pointSize(), 28);
    QVERIFY(title.bold());
    QCOMPARE(box.RzLabel1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    const QFont version = box.lblVersion->font();
    QCOMPARE(version.family(), u"Arial"_s);
    QCOMPARE(version.pointSize(), 10);
    QVERIFY(version.bold());
    QCOMPARE(box.lblVersion->palette().color(QPalette::WindowText),
             box.palette().color(QPalette::WindowText));
    QCOMPARE(QFontInfo(box.Label3->font()).family(), u"Liberation Sans"_s);
    QCOMPARE(box.Label3->font().pointSize(), 8);

    for (TRzURLLabel *link : {box.RzURLLabel1, box.RzURLLabel2}) {
        QCOMPARE(link->font().family(), u"MS Sans Serif"_s);
        QCOMPARE(link->font().pointSize(), 8);
        QVERIFY(link->font().underline());
        QCOMPARE(link->FontColor(), QColor(0, 0, 255));
        QCOMPARE(link->HighlightColor(), QColor(255, 255, 0));
        QCOMPARE(link->VisitedColor(), QColor(0, 0, 255));
    }
}

void tst_TfrmAbout::linksOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QUrl>("url");
    QTest::newRow("e-mail") << u"RzURLLabel1"_s << QUrl(u"mailto:support@ravav.example"_s);
    QTest::newRow("web") << u"RzURLLabel2"_s << QUrl(u"http://www.ravav.example"_s);
}

void tst_TfrmAbout::linksOpen()
{
    QFETCH(QString, name);
    QFETCH(QUrl, url);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(url.scheme(), &catcher, "Open");
    TfrmAbout box;
    auto *link = box.findChild<TRzURLLabel *>(name);
    QVERIFY(link);
    WhenActive(&box, [&box, link] {
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
        box.accept();
    });
    box.exec();
    QDesktopServices::unsetUrlHandler(url.scheme());
    QCOMPARE(catcher.opened, QList<QUrl>{url});
    QVERIFY(link->Visited());
}

QTEST_MAIN(tst_TfrmAbout)
#include "tst_TfrmAbout.moc"
