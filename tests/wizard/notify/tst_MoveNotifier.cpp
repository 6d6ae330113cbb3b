// The notification at the end of a long move, posted to a notification
// service double on a private message bus.

#include "wizard/notify/MoveNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

Q_DECLARE_METATYPE(MoveNotifier::Notice)

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
        QStringList actions;
        QVariantMap hints;
    };
    QList<Notice> notices;

Q_SIGNALS:
    void ActionInvoked(uint id, const QString &action);

public Q_SLOTS:
    uint Notify(const QString &app, uint, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int)
    {
        notices.append({app, icon, summary, body, actions, hints});
        // Ids far from 1, so that an id the client made up does not match.
        return uint(1000 + notices.size());
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
    void texts_data();
    void texts();
    void withoutService_data();
    void withoutService();
    void noticeReportsEveryWayOut_data();
    void noticeReportsEveryWayOut();
    void clickBringsWindowBack_data();
    void clickBringsWindowBack();

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
    QVERIFY(
        server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_service,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
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
    QTest::addColumn<MoveNotifier::Notice>("notice");
    QTest::addColumn<bool>("posted");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<int>("urgency");
    const auto local = MoveNotifier::Copied(12, false);
    QTest::newRow("long, elsewhere, local") << 0 << false << local << true << "flitto" << 1;
    QTest::newRow("long, elsewhere, remote")
        << 0 << false << MoveNotifier::Copied(12, true) << true << "flitto" << 1;
    QTest::newRow("long, elsewhere, failed")
        << 0 << false
        << MoveNotifier::Failed("Unable to copy Quillbox.db: No space left on device",
                                "/home/u/.local/state/flitto/move.log")
        << true << "dialog-error" << 2;
    QTest::newRow("long, watched") << 0 << true << local << false << "" << 0;
    QTest::newRow("quick, elsewhere") << 3600000 << false << local << false << "" << 0;
}

void tst_MoveNotifier::notifies()
{
    QFETCH(int, thresholdMs);
    QFETCH(bool, windowActive);
    QFETCH(MoveNotifier::Notice, notice);
    QFETCH(bool, posted);
    QFETCH(QString, icon);
    QFETCH(int, urgency);
    m_service.notices.clear();

    MoveNotifier notifier(Client(), std::chrono::milliseconds(thresholdMs));
    QVERIFY(!notifier.Finished(notice, windowActive)); // never started
    notifier.Started();
    QCOMPARE(notifier.Finished(notice, windowActive), posted);
    QVERIFY(!notifier.Finished(notice, windowActive)); // once per run

    if (!posted) {
        // A round trip on the bus lets a stray call arrive first.
        QVERIFY(Client().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.Notifications")));
        QCoreApplication::processEvents();
        QVERIFY(m_service.notices.isEmpty());
        return;
    }
    QTRY_COMPARE(m_service.notices.size(), 1);
    const NotificationsDouble::Notice &shown = m_service.notices.constFirst();
    QCOMPARE(shown.summary, notice.Summary);
    QCOMPARE(shown.body, notice.Body);
    QCOMPARE(shown.app, QStringLiteral("Flitto"));
    QCOMPARE(shown.icon, icon);
    QCOMPARE(shown.actions.value(0), QStringLiteral("default"));
    QCOMPARE(shown.hints.value(QStringLiteral("desktop-entry")).toString(),
             QStringLiteral("flitto"));
    QCOMPARE(shown.hints.value(QStringLiteral("urgency")).toInt(), urgency);
}

void tst_MoveNotifier::texts_data()
{
    QTest::addColumn<MoveNotifier::Notice>("notice");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("body");
    QTest::newRow("local") << MoveNotifier::Copied(12, false) << "Database copied and checked"
                           << "Copied and checked 12 files. Return to Flitto and press Next to "
                              "switch Quillbox to the new folder.";
    QTest::newRow("remote") << MoveNotifier::Copied(1, true) << "Database copied and checked"
                            << "Copied and checked 1 file. Return to Flitto and press Next, then "
                               "tell the Quillbox Server about the new folder with Relaydesk.";
    QTest::newRow("failed") << MoveNotifier::Failed("Disk full.", "/tmp/x/move.log")
                            << "Database move failed"
                            << "Disk full. The move log is /tmp/x/move.log.";
}

// A copy is not yet a move: the text never says the database moved, and
// sends the user back to press Next.
void tst_MoveNotifier::texts()
{
    QFETCH(MoveNotifier::Notice, notice);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    QCOMPARE(notice.Summary, summary);
    QCOMPARE(notice.Body, body);
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
    QCOMPARE(notifier.Finished(MoveNotifier::Failed(QStringLiteral("Disk full"), QString()), false),
             !noBus);
    QTest::qWait(50); // the error reply arrives and is dropped
    QDBusConnection::disconnectFromBus(name);
    if (!noBus)
        QVERIFY(QDBusConnection(QStringLiteral("server"))
                    .registerService(QStringLiteral("org.freedesktop.Notifications")));
}

void tst_MoveNotifier::noticeReportsEveryWayOut_data()
{
    QTest::addColumn<int>("way");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("body");
    QTest::newRow("success") << 0 << "Database copied and checked"
                             << MoveNotifier::Copied(3, false).Body;
    QTest::newRow("error") << 1 << "Database move failed"
                           << "Read error. The move log is L.";
    QTest::newRow("left early") << 2 << "Database move failed"
                                << "Checks refused. The move log is L.";
}

// The notice made at the start of a run reports how the run was left,
// whichever way: left without a word, it tells the status line.
void tst_MoveNotifier::noticeReportsEveryWayOut()
{
    QFETCH(int, way);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    m_service.notices.clear();
    MoveNotifier notifier(Client(), 0ms);
    QString status = QStringLiteral("Ready.");
    {
        MoveNotice notice(
            notifier, [&] { return status; }, [] { return false; }, QStringLiteral("L"));
        status = QStringLiteral("Checks refused.");
        if (way == 0)
            notice.Succeeded(3, false);
        else if (way == 1)
            notice.Failed(QStringLiteral("Read error."));
    }
    QTRY_COMPARE(m_service.notices.size(), 1);
    QCOMPARE(m_service.notices.constFirst().summary, summary);
    QCOMPARE(m_service.notices.constFirst().body, body);
}

void tst_MoveNotifier::clickBringsWindowBack_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<uint>("id");
    QTest::addColumn<int>("activated");
    QTest::newRow("click on ours") << "default" << 1001u << 1;
    QTest::newRow("other action") << "dismiss" << 1001u << 0;
    QTest::newRow("another program's") << "default" << 1003u << 0;
}

// The notification's default action, a click on it, brings the window back;
// the service's signals reach every client, so only our ids count.
void tst_MoveNotifier::clickBringsWindowBack()
{
    QFETCH(QString, action);
    QFETCH(uint, id);
    QFETCH(int, activated);
    m_service.notices.clear();
    MoveNotifier notifier(Client(), 0ms);
    // A second window's notifier, clicked after the signal under test: once
    // it has come back, the signal before it has arrived too.
    MoveNotifier marker(Client(), 0ms);
    QSignalSpy spy(&notifier, &MoveNotifier::Activated);
    QSignalSpy markerSpy(&marker, &MoveNotifier::Activated);
    for (MoveNotifier *each : {&notifier, &marker}) {
        each->Started();
        QVERIFY(each->Finished(MoveNotifier::Copied(1, false), false));
        QTRY_COMPARE(m_service.notices.size(), each == &notifier ? 1 : 2);
    }
    // The replies carrying the ids (1001, 1002) are in before any click: a
    // round trip on the bus orders them.
    QVERIFY(
        Client().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")));
    QCoreApplication::processEvents();
    Q_EMIT m_service.ActionInvoked(id, action);
    Q_EMIT m_service.ActionInvoked(1002, QStringLiteral("default"));
    QTRY_COMPARE(markerSpy.size(), 1);
    QCOMPARE(spy.size(), activated);
}

QTEST_GUILESS_MAIN(tst_MoveNotifier)
#include "tst_MoveNotifier.moc"
