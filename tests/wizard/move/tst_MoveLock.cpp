// The locks of a move: private, never followed, shared only within one
// process, never left behind, and never done without.

#include "StagedInstall.h"
#include "fileutil/Exception.h"
#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"
#include "wizard/move/MoveChecks.h"
#include "wizard/move/MoveLock.h"

#include <QDir>
#include <QTest>

#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

constexpr uid_t Nobody = 65534;

// What a forked child, as nobody when asked, returns.
static int InChild(bool asNobody, const std::function<int()> &what)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(asNobody && (::setgroups(0, nullptr) || ::setresgid(Nobody, Nobody, Nobody) ||
                             ::setresuid(Nobody, Nobody, Nobody))
                    ? 99
                    : what());
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

static QStringList Entries(const QByteArray &folder)
{
    return QDir(QFile::decodeName(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

class tst_MoveLock : public QObject
{
    Q_OBJECT

    StagedInstall m_install;
    const QByteArray m_target = m_install.root() + "New/";

    QByteArray lockFile(bool inTarget) const
    {
        return inTarget ? QByteArray(m_target + ".flitto-lock")
                        : QByteArray(m_install.programFolder() + ".Quillbox.ini.flitto-lock");
    }
    MoveLock::Taken take(MoveLock &lock, bool inTarget) const
    {
        if (!inTarget)
            return lock.LockInstallation(m_install.settingsFile());
        const FileUtil::FileHandle folder(
            ::open(m_target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return lock.LockTarget(folder.Get(), m_target);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_install.writeSettings("[Settings]\n");
        QVERIFY(QDir().mkpath(QFile::decodeName(m_target)));
        QVERIFY(!::chmod(m_install.root().constData(), 0755)); // for nobody
    }

    void oneProcessAtATime_data()
    {
        QTest::addColumn<bool>("inTarget");
        QTest::newRow("beside the settings file") << false;
        QTest::newRow("in the new folder") << true;
    }
    void oneProcessAtATime()
    {
        QFETCH(bool, inTarget);
        const QByteArray name = lockFile(inTarget);
        // What a reader could hold: the folder, and a lock file open to all.
        const int folder = ::open(FileUtil::FolderOfPath(name).constData(), O_RDONLY | O_CLOEXEC);
        const int open = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        QVERIFY(!::fchmod(open, 0644) && !::flock(open, LOCK_EX | LOCK_NB) &&
                !::flock(folder, LOCK_EX | LOCK_NB));
        const auto other = [&] {
            return InChild(false, [&] {
                MoveLock lock;
                return int(take(lock, inTarget));
            });
        };
        {
            auto first = std::make_unique<MoveLock>();
            MoveLock second;
            QCOMPARE(take(*first, inTarget), MoveLock::Taken::Yes);
            QCOMPARE(take(second, inTarget), MoveLock::Taken::Yes);
            first.reset();
            QCOMPARE(QFile::permissions(QFile::decodeName(name)),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
            QCOMPARE(other(), int(MoveLock::Taken::Busy));
            // Neither copied nor foreign to the move it guards.
            QVERIFY(MoveChecks::ListSourceFiles(m_target).isEmpty() &&
                    MoveChecks::ForeignFiles(m_target, {}).isEmpty());
        }
        ::close(open);
        ::close(folder);
        QCOMPARE(Entries(m_target) + Entries(m_install.programFolder()),
                 QStringList{"Quillbox.ini"});
        QCOMPARE(other(), int(MoveLock::Taken::Yes));
    }

    void plantedLockIsRefused_data()
    {
        QTest::addColumn<bool>("inTarget");
        QTest::addColumn<QByteArray>("planted");
        QTest::newRow("link beside the settings file") << false << QByteArray("link");
        QTest::newRow("link in the new folder") << true << QByteArray("link");
        QTest::newRow("another user's file") << false << QByteArray("nobody's");
        QTest::newRow("a file's second name") << true << QByteArray("hard link");
    }
    void plantedLockIsRefused()
    {
        QFETCH(bool, inTarget);
        QFETCH(QByteArray, planted);
        const QByteArray name = lockFile(inTarget), victim = m_install.root() + "victim";
        if (planted != "link")
            m_install.writeFile(victim, "keep");
        QVERIFY(planted == "link" ? !::symlink(victim.constData(), name.constData())
                                  : !::link(victim.constData(), name.constData()));
        if (planted == "nobody's" &&
            (::unlink(victim.constData()) || ::chown(name.constData(), Nobody, Nobody)))
            QSKIP("Giving a file to another user needs root.");
        MoveLock lock;
        QCOMPARE(take(lock, inTarget), MoveLock::Taken::Unsafe);
        QVERIFY2(lock.Reason().contains(PathText(name)), qPrintable(lock.Reason()));
        QCOMPARE(Entries(m_install.root()).contains("victim"), planted == "hard link");
        QVERIFY(!::unlink(name.constData()) &&
                (planted != "hard link" || !::unlink(victim.constData())));
    }

    void readOnlyInstallationLocksInRuntimeFolder_data()
    {
        QTest::addColumn<int>("runtimeMode");
        QTest::addColumn<bool>("ownPlanted"); // Flitto's own folder, by another user
        QTest::addColumn<int>("expected");    // the outcome, +10 when the reason names that folder
        QTest::newRow("private runtime folder") << 0700 << false << int(MoveLock::Taken::Yes);
        QTest::newRow("Flitto's own folder") << 0755 << false << int(MoveLock::Taken::Yes);
        QTest::newRow("neither: refused") << 0755 << true << int(MoveLock::Taken::Unsafe) + 10;
    }
    void readOnlyInstallationLocksInRuntimeFolder()
    {
        QFETCH(int, runtimeMode);
        QFETCH(bool, ownPlanted);
        QFETCH(int, expected);
        if (::geteuid() != 0)
            QSKIP("Staging a Quillbox folder that takes no file of the mover's needs root.");
        const QByteArray runtime = m_install.root() + QTest::currentDataTag(),
                         temp = runtime + "/tmp";
        const QByteArray own = temp + "/flitto-" + QByteArray::number(Nobody);
        QVERIFY(!::mkdir(runtime.constData(), 0) && !::chown(runtime.constData(), Nobody, Nobody) &&
                !::mkdir(temp.constData(), 0) && !::chmod(temp.constData(), 01777) &&
                !::chmod(runtime.constData(), runtimeMode));
        QVERIFY(!ownPlanted || !::mkdir(own.constData(), 0700));
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("TMPDIR", temp);
        const int got = InChild(true, [&] {
            MoveLock lock;
            const int taken = int(lock.LockInstallation(m_install.settingsFile()));
            return lock.Reason().contains(PathText(own)) ? taken + 10 : taken;
        });
        qunsetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(got, expected);
        QCOMPARE(Entries(runtime) + Entries(own) + Entries(m_install.programFolder()),
                 (QStringList{"tmp", "Quillbox.ini"}));
    }
};

QTEST_GUILESS_MAIN(tst_MoveLock)
#include "tst_MoveLock.moc"
