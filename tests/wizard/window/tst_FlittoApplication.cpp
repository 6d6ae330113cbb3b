// The standard error report: what leaves a handler is shown once, in the
// form the user sees, and the program goes on.

#include "ModalAnswer.h"
#include "fileutil/Exception.h"
#include "wizard/window/FlittoApplication.h"

#include <QPushButton>
#include <QTest>

namespace {
// An object whose event handler fails the way a file operation fails.
class FailingReceiver : public QObject
{
public:
    std::function<void()> fail;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            fail();
        return QObject::event(event);
    }
};
} // namespace

class tst_FlittoApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QVERIFY(OnlyTheseWindowsOpen({})); }
    void errorsLeavingHandlers_data();
    void errorsLeavingHandlers();
};

void tst_FlittoApplication::errorsLeavingHandlers_data()
{
    // 0 Exception, 1 EAbort, 2 std::runtime_error, 3 not an exception class
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("viaEvent");
    QTest::addColumn<QString>("shown"); // empty: no box at all

    QTest::newRow("exception from a click") << 0 << false << "Stream write error.";
    QTest::newRow("abort from a click") << 1 << false << "";
    QTest::newRow("standard error from a click") << 2 << false << "bad thing.";
    QTest::newRow("unknown error from a click")
        << 3 << false << "An unexpected error stopped the operation.";
    QTest::newRow("exception from an event") << 0 << true << "Stream write error.";
    QTest::newRow("abort from an event") << 1 << true << "";
}

void tst_FlittoApplication::errorsLeavingHandlers()
{
    QFETCH(int, kind);
    QFETCH(bool, viaEvent);
    QFETCH(QString, shown);

    int calls = 0;
    const auto fail = [kind, &calls] {
        ++calls;
        if (kind == 0)
            throw Exception(QStringLiteral("Stream write error"));
        if (kind == 1)
            throw EAbort();
        if (kind == 2)
            throw std::runtime_error("bad thing");
        throw 42;
    };

    auto box = AnswerNextBox(QStringLiteral("OK"));
    if (viaEvent) {
        FailingReceiver receiver;
        receiver.fail = fail;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &event);
    } else {
        QPushButton button(QStringLiteral("Go"));
        QObject::connect(&button, &QPushButton::clicked, &button, [&] { ReportErrors(fail); });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QTest::mouseClick(&button, Qt::LeftButton);
        // The program goes on: the same button works again.
        if (shown.isEmpty()) {
            QTest::mouseClick(&button, Qt::LeftButton);
            QCOMPARE(calls, 2);
        }
    }
    QTest::qWait(50);
    QCOMPARE(box->seen, !shown.isEmpty());
    if (box->seen) {
        QCOMPARE(box->title, QStringLiteral("Flitto"));
        QCOMPARE(box->icon, QMessageBox::Critical);
        QCOMPARE(box->text, shown);
        QCOMPARE(box->buttons, QStringList{QStringLiteral("OK")});
    }
    box->cancelled = true;
}

int main(int argc, char **argv)
{
    FlittoApplication app(argc, argv);
    tst_FlittoApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_FlittoApplication.moc"
