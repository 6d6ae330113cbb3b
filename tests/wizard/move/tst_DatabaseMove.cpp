// The move without a window: what the checks refuse, how a run ends, what
// the settings file gets and what the log keeps.

#include "FileTestSupport.h"
#include "StagedInstall.h"
#include "fileutil/FileUtil.h"
#include "wizard/move/DatabaseMove.h"
#include "wizard/move/MoveErrors.h"
#include "wizard/move/MoveLock.h"
#include "wizard/move/MoveLog.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A view that records what the move shows and answers as it is told.
class RecordingView : public MoveView
{
public:
    QStringList Refusals;
    QStringList Status;
    bool GoOnWithForeignFiles = true;

    void Refuse(const QString &text) override { Refusals << text; }
    WritersAnswer AskWriters(const QString &) override { return WritersAnswer::Cancel; }
    bool AskForeignFiles(const QString &) override { return GoOnWithForeignFiles; }
    void Starting(const QByteArray &, const QByteArray &) override {}
    void Listed(const QByteArrayList &, qint64) override {}
    void Copying(int, const QByteArray &name) override { Status << "Copying " + name; }
    void Copied(int) override {}
    void Checking(const QByteArray &name) override { Status << "Checking " + name; }
};

// What the hooks below wait for and are let go by.
std::atomic<bool> g_inside{false};
std::atomic<bool> g_release{false};

// Quillbox writing on: the first file the copy reads grows while its first
// chunk is copied, whichever file the listing gives first.
ssize_t ReadWhileGrowing(int fd, void *buffer, size_t count)
{
    static std::atomic<bool> grown{false};
    if (!grown.exchange(true)) {
        const QByteArray reading = "/proc/self/fd/" + QByteArray::number(fd);
        const int out = ::open(reading.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        [[maybe_unused]] const ssize_t written = ::write(out, "new mail", 8);
        ::close(out);
    }
    return ::read(fd, buffer, count);
}

// Holds the copy inside its first file until the test lets it go.
ssize_t ReadHeldInside(int fd, void *buffer, size_t count)
{
    g_inside = true;
    for (int waited = 0; !g_release && waited < 10000; ++waited)
        ::usleep(1000);
    return ::read(fd, buffer, count);
}

} // namespace

class tst_DatabaseMove : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StagedInstall> m_install;
    std::unique_ptr<QTemporaryDir> m_state;

    DatabaseMove::Plan plan(const QByteArray &target) const
    {
        return {m_install->dataFolder(), target, m_install->settingsFile(), ConnectionMode::Local};
    }
    QByteArray target() const { return m_install->root() + "New"; }
    QByteArray log() const { return StagedInstall::readFile(MoveLog::DefaultPath()); }

private Q_SLOTS:
    void init();
    void checksRefuse_data();
    void checksRefuse();
    void runEnds_data();
    void runEnds();
    void settingsWrite_data();
    void settingsWrite();
    void secondFlittoIsRefused();
    void exitCodes_data();
    void exitCodes();
    void logFollowsTheCheckList_data();
    void logFollowsTheCheckList();
};

void tst_DatabaseMove::init()
{
    m_state = std::make_unique<QTemporaryDir>();
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_state->path()));
    m_install = std::make_unique<StagedInstall>();
    m_install->writeSettings("[Settings]\nDataDirectory=" + m_install->dataFolder() + "\n");
    m_install->writeFile(m_install->dataFolder() + "Messages.dat", "mail");
    m_install->writeFile(m_install->dataFolder() + "Folders.dat", QByteArray(70000, 'f'));
    g_inside = false;
    g_release = false;
}

void tst_DatabaseMove::checksRefuse_data()
{
    QTest::addColumn<QByteArray>("target"); // relative to the staged root unless absolute
    QTest::addColumn<QByteArray>("settings");

    const QByteArray plain = "[Settings]\r\nDataDirectory=old\r\n";
    QTest::newRow("relative") << QByteArray("New") << plain;
    QTest::newRow("home shorthand") << QByteArray("~/NewData") << plain;
    QTest::newRow("trailing blank") << QByteArray("@New ") << plain;
    QTest::newRow("leading blank") << QByteArray(" @New") << plain;
    QTest::newRow("longer than the reader gives back") << "@" + QByteArray(2100, 'n') << plain;
    QTest::newRow("an existing file") << QByteArray("@Quillbox/Quillbox.ini") << plain;
    QTest::newRow("settings with CR line ends")
        << QByteArray("@New") << QByteArray("[Settings]\rDataDirectory=old\r");
    QTest::newRow("settings in UTF-16")
        << QByteArray("@New") << QByteArray("\xff\xfe[\0S\0]\0\n\0", 10);
    // A data folder without the database's marker is no database.
    QTest::newRow("no database files") << QByteArray("@New") << QByteArray();
}

void tst_DatabaseMove::checksRefuse()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, settings);
    target.replace('@', m_install->root());
    if (settings.isEmpty()) {
        settings = "[Settings]\n";
        QVERIFY(QFile::remove(QFile::decodeName(m_install->dataFolder()) + "Messages.dat"));
    }
    m_install->writeSettings(settings);

    RecordingView view;
    DatabaseMove move(plan(target), &view);
    QVERIFY(!move.Check());
    QCOMPARE(view.Refusals.size(), 1);
    // The user, the move log's check line and its error line read one text.
    const QByteArray refusal = view.Refusals.first().toUtf8();
    QVERIFY2(log().contains(": " + refusal + "\n  outcome: refused\n  error: " + refusal + "\n"),
             log().constData());
    // Nothing is left behind: no folder made for the checks, no settings change.
    if (!target.endsWith("Quillbox.ini"))
        QVERIFY(!FileUtil::IsExistingFolder(target) &&
                !FileUtil::IsExistingFolder(target.trimmed()));
    QCOMPARE(StagedInstall::readFile(m_install->settingsFile()), settings);
    QVERIFY(log().contains("outcome: refused"));
}

void tst_DatabaseMove::runEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("outcome"); // -1: fails with the error below
    QTest::addColumn<QString>("error");

    QTest::newRow("proven") << "plain" << int(DatabaseMove::Outcome::Proven) << QString();
    QTest::newRow("a file grows while it is copied")
        << "grow" << -1 << "changed while it was copied: is Quillbox still running?";
    QTest::newRow("stopped inside a file")
        << "stop" << int(DatabaseMove::Outcome::Stopped) << QString();
}

void tst_DatabaseMove::runEnds()
{
    QFETCH(QString, how);
    QFETCH(int, outcome);
    QFETCH(QString, error);

    RecordingView view;
    DatabaseMove move(plan(target()), &view);
    QVERIFY(move.Check());
    std::unique_ptr<FileTest::ReadSwap> hook;
    if (how == u"grow")
        hook = std::make_unique<FileTest::ReadSwap>(&ReadWhileGrowing);
    if (how == u"stop") {
        // Several chunks, so that the stop lands inside the file.
        m_install->writeFile(m_install->dataFolder() + "Messages.dat", QByteArray(4 << 20, 'm'));
        hook = std::make_unique<FileTest::ReadSwap>(&ReadHeldInside);
        // Stop is asked for while the first file is half copied.
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [&move, poll] {
            if (!g_inside)
                return;
            poll->deleteLater();
            g_release = true;
            move.Stop();
        });
        poll->start(1);
    }

    QString raised;
    int ended = -1;
    try {
        ended = int(move.Run());
    } catch (const Exception &failure) {
        raised = failure.message() + QLatin1Char(' ') + failure.Details();
    }
    QCOMPARE(ended, outcome);
    if (error.isEmpty())
        QCOMPARE(raised, QString());
    else
        QVERIFY2(raised.contains(error) && raised.contains(MoveLog::DefaultPath()),
                 qPrintable(raised));
    QCOMPARE(FileTest::PartialCopies(target()), QByteArrayList());
    QCOMPARE(move.Proven(), outcome == int(DatabaseMove::Outcome::Proven));

    const QByteArray entry = log();
    if (outcome == int(DatabaseMove::Outcome::Proven)) {
        QVERIFY(view.Status.last().startsWith(QStringLiteral("Checking ")));
        QVERIFY(entry.contains("file: Folders.dat size 70000 xxh3 "));
        QVERIFY(entry.contains("outcome: proven"));
    } else if (outcome == int(DatabaseMove::Outcome::Stopped)) {
        // The file it was inside of is not there, half or whole.
        QVERIFY(QDir(QFile::decodeName(target())).entryList(QDir::Files | QDir::Hidden).size() <
                QDir(QFile::decodeName(m_install->dataFolder()))
                    .entryList(QDir::Files | QDir::Hidden)
                    .size());
        QVERIFY(entry.contains("outcome: stopped"));
    } else {
        QVERIFY(entry.contains("outcome: failed"));
    }
    struct stat st;
    QVERIFY(::stat(MoveLog::DefaultPath().constData(), &st) == 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
}

void tst_DatabaseMove::settingsWrite_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("proven");
    QTest::addColumn<QByteArray>("writeTo"); // the folder asked for; empty: the one copied to
    QTest::addColumn<bool>("written");

    const QByteArray plain = "[Settings]\nDataDirectory=old\n";
    QTest::newRow("proven run") << QByteArray("[Settings]\r\nDataDirectory=old\r\n") << true
                                << QByteArray() << true;
    QTest::newRow("run not proven") << plain << false << QByteArray() << false;
    // The user went back and chose another folder after the copy was proven.
    QTest::newRow("proven into another folder") << plain << true << QByteArray("Other") << false;
    // The checks refuse such a file; should one reach the write all the same,
    // the value would land where no reader finds it.
    QTest::newRow("value the reader cannot find")
        << QByteArray("[Settings]\rDataDirectory=old\r") << true << QByteArray() << false;
}

void tst_DatabaseMove::settingsWrite()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, proven);
    QFETCH(QByteArray, writeTo);
    QFETCH(bool, written);

    RecordingView view;
    DatabaseMove move(plan(target()), &view);
    if (proven)
        QCOMPARE(move.Run(), DatabaseMove::Outcome::Proven);
    m_install->writeSettings(settings);

    QString raised;
    try {
        DatabaseMove::WriteSettings(
            &move, plan(writeTo.isEmpty() ? target() : m_install->root() + writeTo));
    } catch (const Exception &failure) {
        raised = failure.message();
    }
    const QByteArray after = StagedInstall::readFile(m_install->settingsFile());
    if (written) {
        QCOMPARE(raised, QString());
        QCOMPARE(after, "[Settings]\r\nDataDirectory=" + target() + "\r\n");
    } else {
        QVERIFY(!raised.isEmpty());
        QCOMPARE(after, settings);
    }
}

void tst_DatabaseMove::secondFlittoIsRefused()
{
    // Another process's lock: a descriptor of our own that is not the move's.
    const QByteArray lockFile = m_install->programFolder() + ".Quillbox.ini.flitto-lock";
    const int fd = ::open(lockFile.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);

    RecordingView view;
    DatabaseMove move(plan(target()), &view);
    QVERIFY(!move.Check());
    ::close(fd);
    QCOMPARE(view.Refusals, QStringList{MoveLock::Refusal(m_install->programFolder())});

    DatabaseMove again(plan(target()), &view);
    QVERIFY(again.Check());
}

void tst_DatabaseMove::exitCodes_data()
{
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("error"); // 0 ours, 1 a proof that failed, 2 out of memory
    QTest::addColumn<int>("code");

    using MoveErrors::Stage;
    QTest::newRow("ours before the copy") << int(Stage::Checks) << 0 << int(MoveErrors::Refused);
    QTest::newRow("unexpected before the copy")
        << int(Stage::Before) << 2 << int(MoveErrors::Unexpected);
    QTest::newRow("copy") << int(Stage::Copy) << 2 << int(MoveErrors::CopyFailed);
    QTest::newRow("proof") << int(Stage::Copy) << 1 << int(MoveErrors::ProofFailed);
    QTest::newRow("settings") << int(Stage::Settings) << 2 << int(MoveErrors::SettingsFailed);
}

void tst_DatabaseMove::exitCodes()
{
    QFETCH(int, stage);
    QFETCH(int, error);
    QFETCH(int, code);

    std::exception_ptr raised;
    try {
        if (error == 0)
            throw Exception(QStringLiteral("refused"));
        if (error == 1)
            throw EProofFailed(QStringLiteral("differs"));
        throw std::bad_alloc();
    } catch (...) {
        raised = std::current_exception();
    }
    QCOMPARE(int(MoveErrors::ExitCodeOf(raised, MoveErrors::Stage(stage))), code);
}

void tst_DatabaseMove::logFollowsTheCheckList_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("local") << int(ConnectionMode::Local);
    QTest::newRow("remote: the settings file stays as it is") << int(ConnectionMode::Remote);
}

void tst_DatabaseMove::logFollowsTheCheckList()
{
    QFETCH(int, number);

    const ConnectionMode mode = ConnectionModeOf(number);
    RecordingView view;
    DatabaseMove::Plan passing = plan(target());
    passing.Mode = mode;
    DatabaseMove move(passing, &view);
    QVERIFY(move.Check());
    // The files the checks measured are the ones a dry run describes.
    QCOMPARE(move.Files().size(), 2);

    QByteArrayList expected;
    for (const MoveCheckList::Check &check : MoveCheckList::Checks()) {
        if (!check.LocalOnly || mode == ConnectionMode::Local)
            expected << "  check: " + check.Name.toUtf8() + ": passed";
    }
    QCOMPARE(move.Run(), DatabaseMove::Outcome::Proven);
    QByteArrayList logged;
    for (const QByteArray &line : log().split('\n')) {
        if (line.startsWith("  check: "))
            logged << line;
    }
    QCOMPARE(logged, expected);
}

QTEST_GUILESS_MAIN(tst_DatabaseMove)
#include "tst_DatabaseMove.moc"
