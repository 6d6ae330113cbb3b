// The message boxes show their text in the windows' face.
#include "widgets/look/MessageBoxes.h"
#include "widgets/look/WindowFonts.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <functional>

class tst_MessageBoxes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowsFace_data();
    void windowsFace();
};

void tst_MessageBoxes::windowsFace_data()
{
    QTest::addColumn<bool>("ask"); // AskMessageBox, else ShowMessageBox
    QTest::newRow("show") << false;
    QTest::newRow("ask") << true;
}

void tst_MessageBoxes::windowsFace()
{
    QFETCH(bool, ask);
    WindowFonts::InstallSubstitutes();
    const QString face = QFontInfo(QFont(WindowFonts::SansSerif())).family();
    QCOMPARE(face, QStringLiteral("Liberation Sans"));
    // Not by chance: the desktop's default face is another one.
    QVERIFY(QFontInfo(QApplication::font()).family() != face);

    QStringList seen; // the box's face, then its text's
    const auto look = std::make_shared<std::function<void()>>();
    *look = [&seen, look] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, *look);
            return;
        }
        seen << QFontInfo(box->font()).family();
        if (const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
            seen << QFontInfo(label->font()).family();
        box->done(0);
        *look = nullptr;
    };
    QTimer::singleShot(0, *look);
    if (ask)
        AskMessageBox(nullptr, QMessageBox::Question, QStringLiteral("Confirm"),
                      QStringLiteral("Move the database?"), {{QStringLiteral("&Yes")}}, 0, 0,
                      QStringLiteral("Details"));
    else
        ShowMessageBox(nullptr, QMessageBox::Information, QStringLiteral("Information"),
                       QStringLiteral("Done."));
    QCOMPARE(seen, QStringList({face, face}));
}

QTEST_MAIN(tst_MessageBoxes)
#include "tst_MessageBoxes.moc"
