// The states of a picture button that must show at a glance: under the
// mouse, and with the focus however it came.
#include "widgets/look/PictureButton.h"

#include <QTest>

#include <algorithm>
#include <cstdlib>

class tst_PictureButton : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statesShow_data();
    void statesShow();
};

namespace {

// The largest change of one colour channel between two pictures.
int LargestChange(const QImage &one, const QImage &other)
{
    int largest = 0;
    for (int y = 0; y < one.height(); ++y) {
        for (int x = 0; x < one.width(); ++x) {
            const QRgb a = one.pixel(x, y);
            const QRgb b = other.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(a) - qRed(b)),
                                std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
        }
    }
    return largest;
}

} // namespace

void tst_PictureButton::statesShow_data()
{
    QTest::addColumn<bool>("hover"); // else the focus, set by the program
    QTest::newRow("under the mouse") << true;
    QTest::newRow("focus set by the program") << false;
}

// A state shows when some pixel changes by a third of the colour scale or
// more; the style's own hover tint changes none by more than 10 of 255.
void tst_PictureButton::statesShow()
{
    QFETCH(bool, hover);
    QWidget bar;
    bar.setAutoFillBackground(true);
    QPalette white = bar.palette();
    white.setColor(QPalette::Window, Qt::white);
    bar.setPalette(white);
    bar.resize(180, 41);
    auto *button = new PictureButton(QStringLiteral("&About"), &bar);
    button->setGeometry(8, 8, 75, 25);
    button->setAttribute(Qt::WA_Hover);
    auto *other = new PictureButton(QStringLiteral("Next"), &bar);
    other->setGeometry(96, 8, 75, 25);
    bar.show();
    QVERIFY(QTest::qWaitForWindowActive(&bar));
    other->setFocus(Qt::OtherFocusReason);
    // Wherever the pointer happens to be.
    button->setAttribute(Qt::WA_UnderMouse, false);
    const QImage plain = button->grab().toImage();

    if (hover) {
        button->setAttribute(Qt::WA_UnderMouse, true);
    } else {
        button->setFocus(Qt::OtherFocusReason);
        QVERIFY(button->hasFocus());
        // Not a focus change by the keyboard, after which the style draws
        // a focus frame of its own.
        QVERIFY(!bar.testAttribute(Qt::WA_KeyboardFocusChange));
    }
    const QImage shown = button->grab().toImage();
    QCOMPARE(shown.size(), plain.size());
    QCOMPARE_GE(LargestChange(plain, shown), 255 / 3);
}

QTEST_MAIN(tst_PictureButton)
#include "tst_PictureButton.moc"
