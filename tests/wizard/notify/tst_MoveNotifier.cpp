// The notification at the end of a long move, posted to a notification
// service double on a private message bus.

#include "wizard/notify/MoveNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// The desktop's notification service, as far as the wizard uses it.
class NotificationsDouble : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notice
    {
        QString app;
        QString icon;
        QString summary;
        QString body;
        QVariantMap hints;
    };
    QList<Notice> notices;

public Q_SLOTS:
    uint Notify(const QString &app, uint, const QString &icon, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &hints, int)
    {
        notices.append({app, icon, summary, body, hints});
        return uint(notices.size());
    }
};

} // namespace

class tst_MoveNotifier : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void notifies_data();
    void notifies();
    void withoutService_data();
    void withoutService();
    void noticeReportsEveryWayOut_data();
    void noticeReportsEveryWayOut();

private:
    QDBusConnection Client() const { return QDBusConnection(QStringLiteral("client")); }

    QProcess m_daemon;
    QString m_address;
    NotificationsDouble m_service;
};

void tst_MoveNotifier::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        QSKIP("dbus-daemon is not installed");
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address")});
    QVERIFY(m_daemon.waitForStarted());
    QTRY_VERIFY(m_daemon.canReadLine());
    m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
    QDBusConnection server = QDBusConnection::connectToBus(m_address, QStringLiteral("server"));
    QVERIFY(server.isConnected());
    QVERIFY(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_service,
                                  QDBusConnection::ExportAllSlots));
    QVERIFY(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
    QVERIFY(QDBusConnection::connectToBus(m_address, QStringLiteral("client")).isConnected());
}

void tst_MoveNotifier::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
}

void tst_MoveNotifier::notifies_data()
{
    QTest::addColumn<int>("thresholdMs");
    QTest::addColumn<bool>("windowActive");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("posted");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<int>("urgency");
    QTest::newRow("long, elsewhere, done")
        << 0 << false << true << "Copy completed." << true << "flitto" << 1;
    QTest::newRow("long, elsewhere, failed")
        << 0 << false << false << "Unable to copy Quillbox.db: No space left on device" << true
        << "dialog-error" << 2;
    QTest::newRow("long, watched") << 0 << true << true << "Copy completed." << false << "" << 0;
    QTest::newRow("quick, elsewhere")
        << 3600000 << false << true << "Copy completed." << false << "" << 0;
}

void tst_MoveNotifier::notifies()
{
    QFETCH(int, thresholdMs);
    QFETCH(bool, windowActive);
    QFETCH(bool, ok);
    QFETCH(QString, text);
    QFETCH(bool, posted);
    QFETCH(QString, icon);
    QFETCH(int, urgency);
    m_service.notices.clear();

    MoveNotifier notifier(Client(), std::chrono::milliseconds(thresholdMs));
    QVERIFY(!notifier.Finished(ok, text, windowActive)); // never started
    notifier.Started();
    QCOMPARE(notifier.Finished(ok, text, windowActive), posted);
    QVERIFY(!notifier.Finished(ok, text, windowActive)); // once per run

    if (!posted) {
        // A round trip on the bus lets a stray call arrive first.
        QVERIFY(Client().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.Notifications")));
        QCoreApplication::processEvents();
        QVERIFY(m_service.notices.isEmpty());
        return;
    }
    QTRY_COMPARE(m_service.notices.size(), 1);
    const NotificationsDouble::Notice &notice = m_service.notices.constFirst();
    QCOMPARE(notice.body, text);
    QCOMPARE(notice.app, QStringLiteral("Flitto"));
    QCOMPARE(notice.icon, icon);
    QVERIFY(!notice.summary.isEmpty());
    QCOMPARE(notice.hints.value(QStringLiteral("desktop-entry")).toString(),
             QStringLiteral("flitto"));
    QCOMPARE(notice.hints.value(QStringLiteral("urgency")).toInt(), urgency);
}

void tst_MoveNotifier::withoutService_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("bus without the service") << QString(); // the daemon, service unregistered
    QTest::newRow("no bus") << QStringLiteral("unix:path=/nonexistent/flitto-bus");
}

// Without a notification service the end of a move goes on as before.
void tst_MoveNotifier::withoutService()
{
    QFETCH(QString, address);
    const bool noBus = !address.isEmpty();
    const QString name = QStringLiteral("lonely");
    QDBusConnection connection = QDBusConnection::connectToBus(noBus ? address : m_address, name);
    QCOMPARE(connection.isConnected(), !noBus);
    if (!noBus)
        QVERIFY(QDBusConnection(QStringLiteral("server"))
                    .unregisterService(QStringLiteral("org.freedesktop.Notifications")));
    MoveNotifier notifier(connection, 0ms);
    notifier.Started();
    QCOMPARE(notifier.Finished(false, QStringLiteral("Disk full"), false), !noBus);
    QTest::qWait(50); // the error reply arrives and is dropped
    QDBusConnection::disconnectFromBus(name);
    if (!noBus)
        QVERIFY(QDBusConnection(QStringLiteral("server"))
                    .registerService(QStringLiteral("org.freedesktop.Notifications")));
}

void tst_MoveNotifier::noticeReportsEveryWayOut_data()
{
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<QString>("icon");
    QTest::newRow("success") << true << "flitto";
    QTest::newRow("error") << false << "dialog-error";
}

// The notice made at the start of a run reports the status line as it is
// when the run is left, whichever way.
void tst_MoveNotifier::noticeReportsEveryWayOut()
{
    QFETCH(bool, succeeded);
    QFETCH(QString, icon);
    m_service.notices.clear();
    QString status = QStringLiteral("Ready.");
    {
        MoveNotice notice([&] { return status; }, [] { return false; },
                          MoveNotifier(Client(), 0ms));
        status = succeeded ? QStringLiteral("Copy completed.") : QStringLiteral("Read error");
        if (succeeded)
            notice.Succeeded();
    }
    QTRY_COMPARE(m_service.notices.size(), 1);
    QCOMPARE(m_service.notices.constFirst().body, status);
    QCOMPARE(m_service.notices.constFirst().icon, icon);
}

QTEST_GUILESS_MAIN(tst_MoveNotifier)
#include "tst_MoveNotifier.moc"
