// The frames of the window and the About box at the screen's scale (this
// test runs at the scales 1, 1.25, 1.5 and 2): every side of each frame is
// drawn, and all its sides are the same whole number of device pixels wide,
// max(1, round(scale)) per line (the rule of Rz::PixelGrid). Measured on
// grabs of the whole window, where a control may start between two device
// pixels, and of each control alone.

#include "TestDispatcherPlatform.h"
#include "diag/TCSObjectManager.h"
#include "widgets/look/RzGraphics.h"
#include "widgets/progressbar/TRzProgressBar.h"
#include "wizard/window/TfrmAbout.h"
#include "wizard/window/TfrmMain.h"

#include <QPushButton>
#include <QScopeGuard>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

enum class State
{
    Plain,
    Hovered, // under the mouse
    Focused, // focus set by the program, not by the keyboard
};

// One run of pixels of one frame colour, counted from the outside in.
struct Run
{
    QRgb color;
    int length;
};

// The runs of frame colours met on the way from start, step by step: the
// pixels before the first one are passed over, and the first pixel of
// another colour after it ends the list.
QList<Run> RunsFrom(const QImage &image, QPoint at, QPoint step, int count,
                    const QSet<QRgb> &frameColors)
{
    QList<Run> runs;
    for (int i = 0; i < count; ++i, at += step) {
        if (!image.rect().contains(at)) {
            if (runs.isEmpty())
                continue;
            break;
        }
        const QRgb pixel = image.pixel(at) | 0xff000000u;
        if (!frameColors.contains(pixel)) {
            if (runs.isEmpty())
                continue;
            break;
        }
        if (!runs.isEmpty() && runs.last().color == pixel)
            ++runs.last().length;
        else
            runs.append({pixel, 1});
    }
    return runs;
}

QString Describe(const QList<Run> &runs)
{
    QStringList parts;
    for (const Run &run : runs)
        parts << QStringLiteral("%1 x%2").arg(QColor(run.color).name()).arg(run.length);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

} // namespace

class tst_FramesAtScale : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void frames_data();
    void frames();

private:
    // The frame's sides measured on the image, whose device pixels show the
    // logical rectangle frame at the scale given.
    void checkSides(const QImage &image, const QRectF &frame, qreal scale, Qt::Edges sides,
                    int lines, const QSet<QRgb> &frameColors, const QString &where);

    std::unique_ptr<TfrmMain> m_window;
    std::unique_ptr<TfrmAbout> m_about;
};

void tst_FramesAtScale::initTestCase()
{
    ObjectManager()->SetPlatform(std::make_shared<TestDispatcherPlatform>());
    m_window = std::make_unique<TfrmMain>(QByteArrayLiteral("/nonexistent/"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // The first activation hides the page tabs.
    QTRY_VERIFY(m_window->pagScreens->tabBar()->isHidden());
    m_about = std::make_unique<TfrmAbout>(m_window.get());
}

void tst_FramesAtScale::cleanupTestCase()
{
    m_about.reset();
    m_window.reset();
}

void tst_FramesAtScale::frames_data()
{
    QTest::addColumn<bool>("about");   // in the About box, else in the main window
    QTest::addColumn<QString>("page"); // the page to show; empty: none
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("lines");
    // The frame's colours, by palette role of the control (or 0xRRGGBB
    // values below -1, negated): only pixels of these count as the frame.
    QTest::addColumn<QList<int>>("roles");

    const int all = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
    const int dark = QPalette::Dark;
    const int mid = QPalette::Mid;
    const int light = QPalette::Light;
    const int highlight = QPalette::Highlight;
    const int plain = int(State::Plain);
    QTest::newRow("connection mode")
        << false << "tabConnection"
        << "comConnectionMode" << plain << all << 1 << QList<int>{dark};
    QTest::newRow("folder edit") << false << "tabTarget"
                                 << "edtNewDir" << plain << all << 1 << QList<int>{dark};
    QTest::newRow("tip panel") << false << "tabTarget"
                               << "RzPanel3" << plain << all << 1 << QList<int>{mid};
    // The progress bar's flat colour: the frame colour 30 steps lighter.
    QTest::newRow("progress bar") << false << "tabMove"
                                  << "barProgress" << plain << all << 1 << QList<int>{-1};
    QTest::newRow("button bar") << false << QString() << "RzPanel2" << plain << int(Qt::TopEdge)
                                << 1 << QList<int>{mid};
    QTest::newRow("hovered button") << false << QString() << "btnAbout" << int(State::Hovered)
                                    << all << 1 << QList<int>{highlight};
    QTest::newRow("focused button") << false << QString() << "btnCancel" << int(State::Focused)
                                    << all << 1 << QList<int>{highlight};
    // Lowered outside, raised inside: two lines on every side.
    QTest::newRow("about panel") << true << QString() << "Panel1" << plain << all << 2
                                 << QList<int>{dark, light};
}

void tst_FramesAtScale::frames()
{
    QFETCH(bool, about);
    QFETCH(QString, page);
    QFETCH(QString, control);
    QFETCH(int, state);
    QFETCH(int, sides);
    QFETCH(int, lines);
    QFETCH(QList<int>, roles);

    QWidget *window = about ? static_cast<QWidget *>(m_about.get()) : m_window.get();
    if (about) {
        m_about->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_about.get()));
    }
    const auto hideAbout = qScopeGuard([this] { m_about->hide(); });
    if (!page.isEmpty()) {
        auto *shown = m_window->findChild<QWidget *>(page);
        QVERIFY(shown);
        m_window->pagScreens->setCurrentWidget(shown);
    }
    auto *widget = window->findChild<QWidget *>(control);
    QVERIFY(widget);
    QVERIFY(widget->isVisible());

    const auto restore = qScopeGuard([widget] {
        widget->setAttribute(Qt::WA_UnderMouse, false);
        widget->clearFocus();
    });
    // Under the mouse only when asked for, wherever the pointer happens to be.
    widget->setAttribute(Qt::WA_UnderMouse, State(state) == State::Hovered);
    if (State(state) == State::Hovered) {
        widget->clearFocus(); // the focus ring would lie beside the outline
    } else if (State(state) == State::Focused) {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        widget->setFocus(Qt::OtherFocusReason);
        QVERIFY(widget->hasFocus());
    }

    QSet<QRgb> colors;
    for (const int role : roles) {
        if (role == -1) {
            auto *bar = qobject_cast<TRzProgressBar *>(widget);
            QVERIFY(bar);
            colors << Rz::AdjustColorLuminance(bar->FlatColor().Resolve(bar->palette()),
                                               bar->FlatColorAdjustment())
                          .rgb();
        } else {
            colors << widget->palette().color(QPalette::Active, QPalette::ColorRole(role)).rgb();
        }
    }

    const qreal scale = window->devicePixelRatioF();
    const QImage inWindow = window->grab().toImage();
    const QRectF place(widget->mapTo(window, QPoint(0, 0)), widget->size());
    checkSides(inWindow, place, scale, Qt::Edges(sides), lines, colors,
               QStringLiteral("in the window"));
    if (QTest::currentTestFailed())
        return;
    const QImage alone = widget->grab().toImage();
    checkSides(alone, QRectF(QPointF(), widget->size()), scale, Qt::Edges(sides), lines, colors,
               QStringLiteral("alone"));
}

void tst_FramesAtScale::checkSides(const QImage &image, const QRectF &frame, qreal scale,
                                   Qt::Edges sides, int lines, const QSet<QRgb> &frameColors,
                                   const QString &where)
{
    const int width = qMax(1, qRound(scale)); // device pixels in one line
    const QRectF device(frame.topLeft() * scale, frame.size() * scale);
    const int margin = 3;
    const int span = 2 * margin + lines * width + 2;
    const QPoint middle = device.center().toPoint();
    const int left = int(std::floor(device.left())) - margin;
    const int top = int(std::floor(device.top())) - margin;
    const int right = int(std::ceil(device.right())) + margin - 1;
    const int bottom = int(std::ceil(device.bottom())) + margin - 1;
    struct Side
    {
        Qt::Edge edge;
        const char *name;
        QPoint start;
        QPoint step;
    };
    const Side all[] = {
        {Qt::LeftEdge, "left", QPoint(left, middle.y()), QPoint(1, 0)},
        {Qt::TopEdge, "top", QPoint(middle.x(), top), QPoint(0, 1)},
        {Qt::RightEdge, "right", QPoint(right, middle.y()), QPoint(-1, 0)},
        {Qt::BottomEdge, "bottom", QPoint(middle.x(), bottom), QPoint(0, -1)},
    };
    for (const Side &side : all) {
        if (!(sides & side.edge))
            continue;
        const QList<Run> runs = RunsFrom(image, side.start, side.step, span, frameColors);
        const QString seen = QStringLiteral("%1, %2 side: %3 (at scale %4)")
                                 .arg(where, QLatin1String(side.name), Describe(runs))
                                 .arg(scale);
        // Every side is there, line for line, each line the same whole
        // number of device pixels wide.
        QVERIFY2(runs.size() == lines, qPrintable(seen));
        for (const Run &run : runs)
            QVERIFY2(run.length == width, qPrintable(seen));
    }
}

QTEST_MAIN(tst_FramesAtScale)
#include "tst_FramesAtScale.moc"
