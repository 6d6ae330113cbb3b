// The move without a window: what the checks refuse, how a run ends, what
// the settings file gets and what the log keeps.

#include "FileTestSupport.h"
#include "StagedInstall.h"
#include "fileutil/CopyIo.h"
#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"
#include "wizard/move/DatabaseMove.h"
#include "wizard/move/MoveJournal.h"
#include "wizard/move/MoveLock.h"
#include "wizard/move/MoveLog.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Starts another process that holds file open for writing; true once it
// does.
bool StartWriter(QProcess *writer, const QByteArray &file)
{
    writer->start(QStringLiteral("sh"),
                  {QStringLiteral("-c"), QStringLiteral("exec 3>>\"$1\"; exec sleep 30"),
                   QStringLiteral("sh"), QFile::decodeName(file)});
    const QByteArray held = "/proc/" + QByteArray::number(writer->processId()) + "/fd/3";
    return writer->waitForStarted() &&
           QTest::qWaitFor([&] { return ::access(held.constData(), F_OK) == 0; }, 10000);
}

// A view that records what the move shows and answers as it is told.
class RecordingView : public MoveView
{
public:
    QStringList Refusals;
    QStringList Status;
    QByteArrayList Names; // as the run listed them
    bool GoOnWithForeignFiles = true;
    bool GoOnToRam = true;
    WritersAnswer ToWriters = WritersAnswer::Cancel;
    int Copies = 0;
    int Proven = 0; // by an earlier run

    void Refuse(const QString &text) override { Refusals << text; }
    WritersAnswer AskWriters(const QString &) override { return ToWriters; }
    void Resumed(int proven, int) override { Proven = proven; }
    bool AskForeignFiles(const QString &) override { return GoOnWithForeignFiles; }
    bool AskRamTarget(const QString &) override { return GoOnToRam; }
    void Starting(const QByteArray &, const QByteArray &) override {}
    void Listed(const QByteArrayList &names, qint64) override { Names = names; }
    void Copying(int, const QByteArray &name) override
    {
        ++Copies;
        Status << QString::fromUtf8("Copying " + name);
    }
    void Copied(int) override {}
    void Checking(const QByteArray &name) override
    {
        Status << QString::fromUtf8("Checking " + name);
    }
};

// Everything the user could notice about a folder: its own mode and
// modification time, and every entry as a copy must leave it (bytes, inode,
// mode, links, size and times).
struct FolderState
{
    mode_t mode = 0;
    timespec mtime = {};
    std::map<QByteArray, FileTest::Snapshot> entries;
};

FolderState Snapshot(const QByteArray &folder)
{
    FolderState state;
    struct stat st;
    if (::lstat(folder.constData(), &st) == 0) {
        state.mode = st.st_mode;
        state.mtime = st.st_mtim;
    }
    for (const QByteArray &name : FileTest::ListFolder(folder)) {
        FileTest::Snapshot entry = FileTest::Take(folder + name);
        // Following a link reads it, and the kernel notes that on the link
        // itself; no user sees a link's access time.
        if (S_ISLNK(entry.info.st_mode))
            entry.info.st_atim = {};
        state.entries[name] = entry;
    }
    return state;
}

// "" when nothing changed, otherwise what did.
QString Changes(const FolderState &before, const FolderState &after)
{
    QStringList changes;
    if (before.mode != after.mode || before.mtime.tv_sec != after.mtime.tv_sec ||
        before.mtime.tv_nsec != after.mtime.tv_nsec)
        changes << QStringLiteral("the folder itself");
    for (const auto &[name, entry] : after.entries) {
        const auto old = before.entries.find(name);
        if (old == before.entries.end())
            changes << QString::fromLatin1(name.toHex()) + QStringLiteral(": added");
        else if (const QString change = FileTest::Compare(old->second, entry); !change.isEmpty())
            changes << QString::fromLatin1(name.toHex()) + QStringLiteral(": ") + change;
    }
    for (const auto &[name, entry] : before.entries) {
        if (!after.entries.count(name))
            changes << QString::fromLatin1(name.toHex()) + QStringLiteral(": removed");
    }
    return changes.join(QStringLiteral("; "));
}

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

// The bytes the copy and its proof read, and a point in them where the
// reading process dies as by kill -9 (-1: never), or waits to be let go.
std::atomic<qint64> g_bytesRead{0};
qint64 g_dieAfter = -1;
qint64 g_holdAfter = -1;

ssize_t ReadCounted(int fd, void *buffer, size_t count)
{
    const qint64 before = g_bytesRead.fetch_add(qint64(count));
    if (g_dieAfter >= 0 && before >= g_dieAfter)
        ::_exit(0);
    if (g_holdAfter >= 0 && before >= g_holdAfter)
        ReadHeldInside(fd, nullptr, 0);
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
        // As a front end reads the settings: at the start.
        return {m_install->dataFolder(), target, m_install->settingsFile(), ConnectionMode::Local,
                Installation::ReadSnapshot(m_install->settingsFile())};
    }
    QByteArray target() const { return m_install->root() + "New"; }
    QByteArray log() const { return StagedInstall::readFile(MoveLog::DefaultPath()); }

private Q_SLOTS:
    void init();
    void copies_data();
    void copies();
    void checksRefuse_data();
    void checksRefuse();
    void runEnds_data();
    void runEnds();
    void settingsWrite_data();
    void settingsWrite();
    void secondFlittoIsRefused();
    void logOnlyWhereItIsOurs_data();
    void logOnlyWhereItIsOurs();
    void swapBetweenStages_data();
    void swapBetweenStages();
    void changingWorld_data();
    void changingWorld();
    void resumesAfterInterruption_data();
    void resumesAfterInterruption();
    void leftoversAfterInterruption_data();
    void leftoversAfterInterruption();
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

void tst_DatabaseMove::copies_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("target"); // below the staged root
    QTest::addColumn<QByteArray>("copied"); // the folder that gets the files

    const QByteArray plain = "New";
    QTest::newRow("top-level files only") << "plain" << plain << plain;
    QTest::newRow("unusual names byte for byte") << "names" << plain << plain;
    QTest::newRow("special files skipped without blocking") << "special" << plain << plain;
    QTest::newRow("a second run replaces the files") << "again" << plain << plain;
    QTest::newRow("target with trailing slash") << "plain" << QByteArray("New/") << plain;
    QTest::newRow("target with missing parents")
        << "plain" << QByteArray("a/b/c") << QByteArray("a/b/c");
    QTest::newRow("target with dot dot") << "plain" << QByteArray("Data/../New") << plain;
}

void tst_DatabaseMove::copies()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, copied);

    const QByteArray source = m_install->dataFolder();
    QByteArrayList names = {"Messages.dat", "Folders.dat", ".hidden", "README", "Locked.dat"};
    m_install->writeFile(source + ".hidden", "hidden");
    m_install->writeFile(source + "README", "no dot in the name");
    m_install->writeFile(source + "Locked.dat", "read-only");
    QVERIFY(::chmod(QByteArray(source + "Locked.dat").constData(), 0444) == 0);
    QVERIFY(::mkdir(QByteArray(source + "Archive").constData(), 0755) == 0);
    m_install->writeFile(source + "Archive/old.dat", "old");
    // An old time stamp, before 1980, to be carried over exactly.
    const timespec times[2] = {{100, 0}, {315532799, 123456789}};
    QVERIFY(::utimensat(AT_FDCWD, QByteArray(source + "Folders.dat").constData(), times, 0) == 0);

    // The data folder as the settings file spells it, without a slash.
    DatabaseMove::Plan copying = plan(m_install->root() + target);
    copying.Source = source.chopped(1);
    const FileUtil::FileHandle socketFd(::socket(AF_UNIX, SOCK_STREAM, 0));
    // The staged root goes with QTemporaryDir, which cannot remove a name
    // that is not UTF-8.
    const auto tidy = qScopeGuard([&] {
        for (const QByteArray &folder : {source, QByteArray(m_install->root() + copied + "/")})
            ::unlink(QByteArray(folder + "caf\xe9.dat").constData());
    });
    if (how == u"names") {
        for (const QByteArray name :
             {"caf\xe9.dat", "with blank.dat", "line\nbreak", "-leading-dash", "*?[x]"}) {
            m_install->writeFile(source + name, "contents of " + name);
            names << name;
        }
    } else if (how == u"special") {
        QVERIFY(::mkfifo(QByteArray(source + "pipe").constData(), 0644) == 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray socketPath = source + "sock";
        QVERIFY(socketPath.size() < qsizetype(sizeof address.sun_path));
        qstrcpy(address.sun_path, socketPath.constData());
        QVERIFY(::bind(socketFd.Get(), reinterpret_cast<sockaddr *>(&address), sizeof address) ==
                0);
        QVERIFY(::symlink("Messages.dat", QByteArray(source + "Link.dat").constData()) == 0);
        QVERIFY(::symlink("Archive", QByteArray(source + "FolderLink").constData()) == 0);
        // A link to a file is copied as the file's contents, as a file.
        names << "Link.dat";
    } else if (how == u"again") {
        RecordingView first;
        DatabaseMove move(copying, &first);
        QVERIFY(move.Check());
        QCOMPARE(move.Run(), DatabaseMove::Outcome::Proven);
        m_install->writeFile(source + "Messages.dat", "second");
    }
    std::sort(names.begin(), names.end());
    const FolderState before = Snapshot(source);

    RecordingView view;
    DatabaseMove move(copying, &view);
    QVERIFY(move.Check());
    QCOMPARE(move.Run(), DatabaseMove::Outcome::Proven);

    // The data folder's own files, nothing below it, nothing but files.
    QByteArrayList listed = view.Names;
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, names);
    const QByteArray into = m_install->root() + copied + "/";
    // The journal stays until the settings name the new folder.
    QByteArrayList inNewFolder = names;
    inNewFolder << MoveJournal::FileName();
    std::sort(inNewFolder.begin(), inNewFolder.end());
    QCOMPARE(FileTest::ListFolder(into), inNewFolder);
    for (const QByteArray &name : std::as_const(names)) {
        QCOMPARE(FileTest::FileBytes(into + name), FileTest::FileBytes(source + name));
        struct stat st;
        QVERIFY(::lstat(QByteArray(into + name).constData(), &st) == 0 && S_ISREG(st.st_mode));
    }
    struct stat st;
    QVERIFY(::stat(QByteArray(into + "Folders.dat").constData(), &st) == 0);
    QCOMPARE(st.st_mtim.tv_sec, time_t(315532799));
    QCOMPARE(st.st_mtim.tv_nsec, 123456789L);
    // The source is left as it was, but for a new folder made inside it.
    const QString made =
        copied.startsWith("Data/")
            ? "the folder itself; " + QString::fromLatin1(QByteArray("Inside").toHex()) + ": added"
            : QString();
    QCOMPARE(Changes(before, Snapshot(source)), made);
}

void tst_DatabaseMove::checksRefuse_data()
{
    QTest::addColumn<QByteArray>("target"); // relative to the staged root unless absolute
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArrayList>("removed"); // from the data folder before the checks
    // What else is there: "another database" or "another move" in @Other,
    // "another user's leftover" in @New.
    QTest::addColumn<QString>("world");
    // "@" stands for the staged root, "%SIZE%" for the target's length.
    QTest::addColumn<QString>("refusal");

    const QByteArray plain = "[Settings]\r\nDataDirectory=old\r\n";
    const QByteArrayList none;
    const QString notFull =
        QStringLiteral("The new location %1 is not a full path. Enter a folder that starts "
                       "with \"/\".");
    const QString blank =
        QStringLiteral("The new location \"%1\" starts or ends with a blank. Remove the blanks, "
                       "or choose the folder with the Browse button.");
    const QString isSource = QStringLiteral(
        "The new location %1 is the current location of the database. Choose another folder.");
    const QString noFiles =
        QStringLiteral("There are no database files in the location you specified! (@Data/)");
    QTest::newRow("relative") << QByteArray("New") << plain << none << QString()
                              << notFull.arg("New");
    QTest::newRow("home shorthand")
        << QByteArray("~/NewData") << plain << none << QString() << notFull.arg("~/NewData");
    QTest::newRow("trailing blank")
        << QByteArray("@New ") << plain << none << QString() << blank.arg("@New ");
    QTest::newRow("leading blank")
        << QByteArray(" @New") << plain << none << QString() << blank.arg(" @New");
    QTest::newRow("longer than the reader gives back")
        << "@" + QByteArray(2100, 'n') << plain << none << QString()
        << "The new location @" + QString(2100, u'n') +
               " is %SIZE% bytes long; Quillbox reads at most 2047 bytes of it back from its "
               "settings. Choose a folder with a shorter path.";
    QTest::newRow("an existing file")
        << QByteArray("@Quillbox/Quillbox.ini") << plain << none << QString()
        << "The new location @Quillbox/Quillbox.ini is a file, not a folder. Choose a folder "
           "for the database.";
    // A parent that is a file: the folder can never be made, even by root.
    QTest::newRow("a folder that cannot be made")
        << QByteArray("@Quillbox/Quillbox.ini/New") << plain << none << QString()
        << "The new location @Quillbox/Quillbox.ini/New cannot be created: "
           "@Quillbox/Quillbox.ini is a file, not a folder. Choose another location.";
    for (const char *spelling : {"@Data/", "@Data", "@Quillbox/../Data", "@LinkToData"})
        QTest::newRow(QByteArray("the source as " + QByteArray(spelling).mid(1)).constData())
            << QByteArray(spelling) << plain << none << QString() << isSource.arg(spelling);
    QTest::newRow("settings with CR line ends")
        << QByteArray("@New") << QByteArray("[Settings]\rDataDirectory=old\r") << none << QString()
        << "The settings file @Quillbox/Quillbox.ini has lines that end in a carriage return "
           "alone. Save it with Windows (CR LF) or Unix (LF) line ends.";
    QTest::newRow("settings in UTF-16")
        << QByteArray("@New") << QByteArray("\xff\xfe[\0S\0]\0\n\0", 10) << none << QString()
        << "The settings file @Quillbox/Quillbox.ini is saved as UTF-16 (Unicode) text, which "
           "Quillbox cannot read. Save it as plain text (ANSI or UTF-8).";
    // A data folder without the database's marker is no database, however
    // recently the marker was seen.
    QTest::newRow("no database files") << QByteArray("@New") << QByteArray("[Settings]\n")
                                       << QByteArrayList{"Messages.dat"} << QString() << noFiles;
    QTest::newRow("an emptied data folder")
        << QByteArray("@New") << QByteArray("[Settings]\n")
        << QByteArrayList{"Messages.dat", "Folders.dat"} << QString() << noFiles;
    // Judged by the folders' identities: a link or ".." leads to the same
    // refusal as the plain name.
    const QString inside = QStringLiteral(
        "The new location %1 lies inside the current data folder @Data/. Deleting the old folder "
        "later would delete the moved database. Choose a folder outside it.");
    for (const char *spelling : {"@Data/Inside", "@LinkToData/a/b", "@Quillbox/../Data/x"})
        QTest::newRow(
            QByteArray("new folder inside the data folder: " + QByteArray(spelling).mid(1))
                .constData())
            << QByteArray(spelling) << plain << none << QString() << inside.arg(spelling);
    QTest::newRow("data folder inside the new folder")
        << QByteArray("@Quillbox/..") << plain << none << QString()
        << "The current data folder @Data/ lies inside the new location @Quillbox/.., so the new "
           "database would hold the old one. Choose a folder outside it.";
    QTest::newRow("another database")
        << QByteArray("@Other") << plain << none << QStringLiteral("another database")
        << "The folder @Other already holds a Quillbox database (Messages.dat). Moving into it "
           "would overwrite that database. Choose an empty folder.";
    QTest::newRow("another data folder's unfinished move")
        << QByteArray("@Other") << plain << none << QStringLiteral("another move")
        << "The folder @Other holds an unfinished move of the database in /elsewhere/Data. Finish "
           "that move, or choose another folder.";
    QTest::newRow("another user's leftover")
        << QByteArray("@New") << plain << none << QStringLiteral("another user's leftover")
        << "An earlier run of Flitto that ended early left files that this run may not remove:\n\n"
           "    @New/.flitto-x1.part: it belongs to nobody\n\nAsk their owner or an administrator "
           "to remove them, then start the move again.";
}
void tst_DatabaseMove::checksRefuse()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, settings);
    QFETCH(QByteArrayList, removed);
    QFETCH(QString, world);
    QFETCH(QString, refusal);
    target.replace('@', m_install->root());
    const QByteArray other = m_install->root() + "Other/";
    QVERIFY(::mkdir(other.constData(), 0700) == 0);
    if (world == u"another database") {
        m_install->writeFile(other + "Messages.dat", "another installation's mail");
    } else if (world == u"another move") {
        const MoveJournal::Owner elsewhere{1, 2, "/elsewhere/Quillbox.ini", "/elsewhere/Data"};
        m_install->writeFile(other + MoveJournal::FileName(), MoveJournal::Encode(elsewhere));
        m_install->writeFile(other + "Messages.dat", "half of another move");
    } else if (world == u"another user's leftover") {
        if (::geteuid() != 0)
            QSKIP("Only root can leave a file that belongs to another user");
        QVERIFY(::mkdir(target.constData(), 0700) == 0);
        const QByteArray leftover = target + "/.flitto-x1.part";
        m_install->writeFile(leftover, "half a copy");
        QVERIFY(::chown(leftover.constData(), 65534, 65534) == 0);
    }
    refusal.replace(u'@', QFile::decodeName(m_install->root()))
        .replace(QStringLiteral("%SIZE%"), QString::number(target.size()));
    QVERIFY(::symlink("Data", QByteArray(m_install->root() + "LinkToData").constData()) == 0);
    for (const QByteArray &name : std::as_const(removed))
        QVERIFY(::unlink(QByteArray(m_install->dataFolder() + name).constData()) == 0);
    m_install->writeSettings(settings);
    const bool existed = FileUtil::IsExistingFolder(target) || FileUtil::IsExistingFile(target);
    const FolderState before = Snapshot(m_install->dataFolder());

    RecordingView view;
    DatabaseMove move(plan(target), &view);
    QVERIFY(!move.Check());
    QCOMPARE(view.Refusals, QStringList{refusal});
    // The user, the move log's check line and its error line read one text.
    // The log keeps one line per entry: a line break shows as its code.
    const QByteArray text = refusal.toUtf8().replace('\n', "\\x0a");
    const QByteArray lines = ": " + text + "\n  outcome: refused\n  error: " + text + "\n";
    QVERIFY2(log().contains(lines), log().constData());
    // Nothing is left behind: no folder made for the checks, no settings
    // change, the data folder as it was.
    if (!existed)
        QVERIFY(!FileUtil::IsExistingFolder(target) &&
                !FileUtil::IsExistingFolder(target.trimmed()));
    QCOMPARE(StagedInstall::readFile(m_install->settingsFile()), settings);
    QCOMPARE(Changes(before, Snapshot(m_install->dataFolder())), QString());
    QVERIFY(log().contains("outcome: refused"));
}

void tst_DatabaseMove::runEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("outcome");   // -1: fails with the error below
    QTest::addColumn<QString>("error"); // "@" stands for the data folder

    QTest::newRow("proven") << "plain" << int(DatabaseMove::Outcome::Proven) << QString();
    QTest::newRow("a file grows while it is copied")
        << "grow" << -1 << "changed while it was copied: is Quillbox still running?";
    QTest::newRow("stopped inside a file")
        << "stop" << int(DatabaseMove::Outcome::Stopped) << QString();
    // The checks take it for a file; only the copy finds nothing behind it.
    QTest::newRow("a dangling link") << "dangling" << -1 << "Cannot open file @Dangling.dat";
}

void tst_DatabaseMove::runEnds()
{
    QFETCH(QString, how);
    QFETCH(int, outcome);
    QFETCH(QString, error);
    error.replace(u'@', QFile::decodeName(m_install->dataFolder()));
    if (how == u"dangling")
        QVERIFY(::symlink("gone.dat",
                          QByteArray(m_install->dataFolder() + "Dangling.dat").constData()) == 0);

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
    QTest::addColumn<QString>("obstacle");   // "read-only", "folder": the settings file's state
    // The settings file afterwards, "%NEW%" for the folder copied to; the
    // file as it was when the write must fail with the error below.
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("error"); // "%NEW%", "%OTHER%", "%INI%": those paths

    const QByteArray plain = "[Settings]\nDataDirectory=old\n";
    const QString notProven = "The copy into %1 was not completed and checked. Go back and move "
                              "the database again";
    const QString unwritable = QStringLiteral("Unable to write to %INI%");
    QTest::newRow("proven run") << QByteArray("[Settings]\r\nDataDirectory=old\r\n") << true
                                << QByteArray() << ""
                                << QByteArray("[Settings]\r\nDataDirectory=%NEW%\r\n") << "";
    QTest::newRow("the rest of the file is kept")
        << QByteArray("; Quillbox settings\r\n[Settings]\r\nDataDirectory=old\r\n"
                      "ConnectionMode=0\r\n\r\n[Server]\r\nServerIP=10.1.2.3\r\n")
        << true << QByteArray() << ""
        << QByteArray("; Quillbox settings\r\n[Settings]\r\nDataDirectory=%NEW%\r\n"
                      "ConnectionMode=0\r\n\r\n[Server]\r\nServerIP=10.1.2.3\r\n")
        << "";
    QTest::newRow("run not proven")
        << plain << false << QByteArray() << "" << plain << notProven.arg("%NEW%");
    // The user went back and chose another folder after the copy was proven.
    QTest::newRow("proven into another folder")
        << plain << true << QByteArray("Other") << "" << plain << notProven.arg("%OTHER%");
    // The checks refuse such a file; should one reach the write all the same,
    // the value would land where no reader finds it.
    QTest::newRow("value the reader cannot find")
        << QByteArray("[Settings]\rDataDirectory=old\r") << true << QByteArray() << ""
        << QByteArray("[Settings]\rDataDirectory=old\r")
        << unwritable + QStringLiteral(": the new folder did not read back, so the old settings "
                                       "were put back. Quillbox still uses %DATA%");
    QTest::newRow("read-only settings file") << plain << true << QByteArray() << "read-only"
                                             << plain << unwritable + ": Permission denied";
    QTest::newRow("a folder in the way of the settings file")
        << plain << true << QByteArray() << "folder" << QByteArray()
        << "Unable to read %INI%: Is a directory";
}

void tst_DatabaseMove::settingsWrite()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, proven);
    QFETCH(QByteArray, writeTo);
    QFETCH(QString, obstacle);
    QFETCH(QByteArray, after);
    QFETCH(QString, error);
    const QByteArray other = m_install->root() + writeTo;
    after.replace("%NEW%", target());
    error.replace(QStringLiteral("%NEW%"), QFile::decodeName(target()))
        .replace(QStringLiteral("%OTHER%"), QFile::decodeName(other))
        .replace(QStringLiteral("%INI%"), QFile::decodeName(m_install->settingsFile()))
        .replace(QStringLiteral("%DATA%"), QFile::decodeName(m_install->dataFolder()));

    m_install->writeSettings(settings);
    const DatabaseMove::Plan moving = plan(target());
    DatabaseMove::Plan asked = moving;
    if (!writeTo.isEmpty())
        asked.Target = other;
    RecordingView view;
    DatabaseMove move(moving, &view);
    if (proven)
        QCOMPARE(move.Run(), DatabaseMove::Outcome::Proven);
    if (obstacle == u"read-only")
        QVERIFY(::chmod(m_install->settingsFile().constData(), 0444) == 0);
    if (obstacle == u"folder") {
        QVERIFY(::unlink(m_install->settingsFile().constData()) == 0);
        QVERIFY(::mkdir(m_install->settingsFile().constData(), 0755) == 0);
    }

    QString raised;
    try {
        DatabaseMove::WriteSettings(&move, asked);
    } catch (const Exception &failure) {
        raised = failure.message();
    }
    QCOMPARE(raised, error);
    QCOMPARE(StagedInstall::readFile(m_install->settingsFile()), after);
    QCOMPARE(FileUtil::IsExistingFolder(m_install->settingsFile()), obstacle == u"folder");
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

void tst_DatabaseMove::logOnlyWhereItIsOurs_data()
{
    QTest::addColumn<QString>("planted");
    QTest::newRow("link instead of the log's folder") << "folder link";
    QTest::newRow("link instead of the log") << "file link";
    QTest::newRow("second name of another file") << "hard link";
    QTest::newRow("folder of another user") << "other owner";
}

void tst_DatabaseMove::logOnlyWhereItIsOurs()
{
    // As root with a user's XDG_STATE_HOME, whatever the user plants along
    // the log's path must not choose where root writes.
    QFETCH(QString, planted);
    const QByteArray state = QFile::encodeName(m_state->path());
    const QByteArray elsewhere = m_install->root() + "elsewhere";
    QVERIFY(::mkdir(elsewhere.constData(), 0755) == 0);
    m_install->writeFile(elsewhere + "/victim", "untouched");
    if (planted == u"folder link") {
        QVERIFY(::symlink(elsewhere.constData(), QByteArray(state + "/flitto").constData()) == 0);
    } else if (planted == u"other owner") {
        if (::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QVERIFY(::chown(state.constData(), 65534, 65534) == 0);
    } else {
        QVERIFY(::mkdir(QByteArray(state + "/flitto").constData(), 0700) == 0);
        const QByteArray log = state + "/flitto/move.log";
        const QByteArray victim = elsewhere + "/victim";
        QVERIFY(planted == u"file link" ? ::symlink(victim.constData(), log.constData()) == 0
                                        : ::link(victim.constData(), log.constData()) == 0);
    }

    RecordingView view;
    DatabaseMove move(plan("relative"), &view);
    QVERIFY(!move.Check());
    QCOMPARE(view.Refusals.size(), 1);
    QCOMPARE(StagedInstall::readFile(elsewhere + "/victim"), QByteArray("untouched"));
    QCOMPARE(FileTest::ListFolder(elsewhere + '/'), QByteArrayList{"victim"});
    if (planted == u"other owner")
        QVERIFY(!FileUtil::IsExistingFile(state + "/flitto/move.log"));
}

void tst_DatabaseMove::swapBetweenStages_data()
{
    // Someone who may write where the new folder lies (as root: the user
    // whose database root moves) changes the world between two stages.
    QTest::addColumn<int>("stage");
    QTest::addColumn<QString>("swap");
    QTest::addColumn<bool>("written"); // Quillbox.ini names the new folder afterwards

    using Stage = DatabaseMove::Stage;
    const std::pair<const char *, Stage> stages[] = {
        {"after the checks", Stage::Checked},
        {"after the copy", Stage::Copied},
        {"after the proof", Stage::Proven},
        {"before the settings", Stage::WritingSettings}};
    for (const auto &[when, stage] : stages) {
        QTest::addRow("new folder swapped for a link, %s", when) << int(stage) << "folder" << false;
        // A link planted in the held folder is replaced, never followed; one
        // planted over a finished copy fails its proof.
        QTest::addRow("link planted in the new folder, %s", when)
            << int(stage) << "planted" << (stage != Stage::Copied);
    }
}

void tst_DatabaseMove::swapBetweenStages()
{
    QFETCH(int, stage);
    QFETCH(QString, swap);
    QFETCH(bool, written);
    // Where the swaps lead: a folder the mover must neither write nor empty.
    const QByteArray elsewhere = m_install->root() + "elsewhere/";
    QVERIFY(::mkdir(elsewhere.constData(), 0700) == 0);
    m_install->writeFile(elsewhere + "victim", "untouched");
    // An old time stamp: a name made and removed there meanwhile, such as a
    // lock file, would still leave the folder's last change at now.
    const timespec old[2] = {{1000, 0}, {1000, 0}};
    QVERIFY(::utimensat(AT_FDCWD, elsewhere.constData(), old, 0) == 0);
    const QByteArray settings = StagedInstall::readFile(m_install->settingsFile());
    const FolderState source = Snapshot(m_install->dataFolder());

    RecordingView view;
    DatabaseMove move(plan(target()), &view);
    move.SetBetweenStages([&](DatabaseMove::Stage reached) {
        if (int(reached) != stage)
            return;
        if (swap == u"folder") {
            const QByteArray gone = target() + ".gone";
            QVERIFY(::rename(target().constData(), gone.constData()) == 0);
            QVERIFY(::symlink(elsewhere.constData(), target().constData()) == 0);
        } else {
            const QByteArray planted = target() + "/Folders.dat";
            ::unlink(planted.constData());
            const QByteArray victim = elsewhere + "victim";
            QVERIFY(::symlink(victim.constData(), planted.constData()) == 0);
        }
    });
    QVERIFY(move.Check());
    try {
        if (move.Run() == DatabaseMove::Outcome::Proven)
            DatabaseMove::WriteSettings(&move, plan(target()));
    } catch (const Exception &) {
    }

    QCOMPARE(FileTest::ListFolder(elsewhere), QByteArrayList{"victim"});
    QCOMPARE(StagedInstall::readFile(elsewhere + "victim"), QByteArray("untouched"));
    struct stat folder;
    QVERIFY(::stat(elsewhere.constData(), &folder) == 0);
    QCOMPARE(folder.st_mtim.tv_sec, time_t(1000));
    QCOMPARE(Changes(source, Snapshot(m_install->dataFolder())), QString());
    const QByteArray after = StagedInstall::readFile(m_install->settingsFile());
    QCOMPARE(after != settings, written);
}

void tst_DatabaseMove::changingWorld_data()
{
    // Quillbox, or the user, goes on working while the move runs.
    QTest::addColumn<int>("stage");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("error"); // a part of it; empty: the move succeeds

    using Stage = DatabaseMove::Stage;
    const QString stillRunning = QStringLiteral("is Quillbox still running?");
    QTest::newRow("a file added during the copy")
        << int(Stage::Copied) << "add" << QStringLiteral("New.dat appeared");
    QTest::newRow("a file removed after the proof")
        << int(Stage::Proven) << "remove" << QStringLiteral("Folders.dat went");
    QTest::newRow("a file grown before the settings write")
        << int(Stage::WritingSettings) << "grow" << stillRunning;
    QTest::newRow("another key edited: kept") << int(Stage::Proven) << "another key" << QString();
    QTest::newRow("DataDirectory changed by another move")
        << int(Stage::WritingSettings) << "data directory"
        << QStringLiteral("changed since Flitto read it: DataDirectory is now \"/elsewhere\"");
    QTest::newRow("a writer since the proof")
        << int(Stage::WritingSettings) << "writer" << QStringLiteral("and since the copy");
    QTest::newRow("an entry that cannot be examined")
        << int(Stage::Copied) << "link loop" << QStringLiteral("Cannot examine");
}

void tst_DatabaseMove::changingWorld()
{
    QFETCH(int, stage);
    QFETCH(QString, change);
    QFETCH(QString, error);
    const DatabaseMove::Plan moving = plan(target());
    const QByteArray data = m_install->dataFolder();
    const QByteArray settingsFile = m_install->settingsFile();

    QProcess writer;
    const auto stopWriter = qScopeGuard([&writer] {
        writer.kill();
        writer.waitForFinished();
    });
    RecordingView view;
    DatabaseMove move(moving, &view);
    move.SetBetweenStages([&](DatabaseMove::Stage reached) {
        if (int(reached) != stage)
            return;
        QByteArray settings = StagedInstall::readFile(settingsFile);
        if (change == u"add")
            m_install->writeFile(data + "New.dat", "new mail");
        else if (change == u"remove")
            QVERIFY(::unlink(QByteArray(data + "Folders.dat").constData()) == 0);
        else if (change == u"grow")
            m_install->writeFile(data + "Messages.dat", "mail and more");
        else if (change == u"another key")
            m_install->writeSettings(settings + "[Server]\nServerIP=10.0.0.1\n");
        else if (change == u"data directory")
            m_install->writeSettings("[Settings]\nDataDirectory=/elsewhere\n");
        else if (change == u"link loop")
            QVERIFY(::symlink("Loop.dat", QByteArray(data + "Loop.dat").constData()) == 0);
        else if (change == u"writer")
            QVERIFY(StartWriter(&writer, data + "Messages.dat"));
    });
    QVERIFY(move.Check());
    const QByteArray before = StagedInstall::readFile(settingsFile);
    QString raised;
    try {
        if (move.Run() == DatabaseMove::Outcome::Proven)
            DatabaseMove::WriteSettings(&move, moving);
    } catch (const Exception &failure) {
        raised = failure.message();
    }
    QVERIFY2(error.isEmpty() ? raised.isEmpty() : raised.contains(error), qPrintable(raised));
    // Written only by a move that succeeded; a change of someone else's
    // survives either way.
    const QByteArray after = StagedInstall::readFile(settingsFile);
    QCOMPARE(after.contains(QByteArray("DataDirectory=" + target())), error.isEmpty());
    if (change == u"another key" || change == u"data directory")
        QVERIFY(after.contains(change == u"another key" ? "ServerIP=10.0.0.1" : "/elsewhere"));
    else if (!error.isEmpty())
        QCOMPARE(after, before);
}

void tst_DatabaseMove::leftoversAfterInterruption_data()
{
    QTest::addColumn<int>("stage"); // where the first run dies, as by kill -9
    // What a run dying inside its next step leaves as well: in the new
    // folder, or beside the settings file ("@").
    QTest::addColumn<QByteArrayList>("planted");

    using Stage = DatabaseMove::Stage;
    QTest::newRow("inside the checks")
        << int(Stage::Checked)
        << QByteArrayList{".flitto-probe-1f", ".flitto-names-2a/Flitto-Probe"};
    QTest::newRow("inside a copy") << int(Stage::Copied) << QByteArrayList{".flitto-3b.part"};
    QTest::newRow("after the proof") << int(Stage::Proven) << QByteArrayList{};
    QTest::newRow("inside the settings write")
        << int(Stage::WritingSettings) << QByteArrayList{"@.Quillbox.ini.flitto-4c"};
}

void tst_DatabaseMove::leftoversAfterInterruption()
{
    QFETCH(int, stage);
    QFETCH(QByteArrayList, planted);
    const QByteArray settings = StagedInstall::readFile(m_install->settingsFile());
    const DatabaseMove::Plan moving = plan(target());

    // The first run dies where it stands: no destructor, no cleanup.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        RecordingView view;
        DatabaseMove move(moving, &view);
        move.SetBetweenStages([stage](DatabaseMove::Stage reached) {
            if (int(reached) == stage)
                ::_exit(0);
        });
        try {
            if (move.Check() && move.Run() == DatabaseMove::Outcome::Proven)
                DatabaseMove::WriteSettings(&move, moving);
        } catch (...) {
        }
        ::_exit(1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (const QByteArray &name : std::as_const(planted)) {
        const QByteArray folder =
            name.startsWith('@') ? m_install->programFolder() : QByteArray(target() + '/');
        const QByteArray path = folder + name.mid(name.startsWith('@') ? 1 : 0);
        ::mkdir(FileUtil::FolderOfPath(path).constData(), 0700);
        m_install->writeFile(path, "left by the first run");
    }
    QCOMPARE(StagedInstall::readFile(m_install->settingsFile()), settings);

    // The next run knows its own files: nothing is foreign, another
    // database or left behind.
    RecordingView view;
    view.GoOnWithForeignFiles = false;
    DatabaseMove move(moving, &view);
    QVERIFY2(move.Check(), qPrintable(view.Refusals.join(u'\n')));
    QCOMPARE(move.Run(), DatabaseMove::Outcome::Proven);
    DatabaseMove::WriteSettings(&move, moving);
    QCOMPARE(FileTest::ListFolder(target() + '/'), QByteArrayList({"Folders.dat", "Messages.dat"}));
    QCOMPARE(FileTest::PartialCopies(m_install->programFolder()), QByteArrayList());
    QCOMPARE(log().contains("  check: leftovers: removed "), !planted.isEmpty());
}

void tst_DatabaseMove::resumesAfterInterruption_data()
{
    // How the first run ends: "kill N" dies at N % of the copy, "kill
    // copied" and "kill proven" at those stages, "cancel N" is a Cancel
    // there; "ignored" answers Ignore to a writer first.
    QTest::addColumn<QString>("ending");
    // What happens between the runs.
    QTest::addColumn<QString>("between");
    QTest::addColumn<bool>("resume");
    QTest::addColumn<int>("copied"); // files copied again
    QTest::addColumn<int>("read");   // MiB read again: copies, sources, proof

    // 30 files of 1 MiB. A copy taken costs its read-back only; a file
    // copied again costs its source's read and its proof.
    QTest::newRow("killed at 90 %") << "kill 90"
                                    << "" << true << 3 << 27 + 3 + 3;
    QTest::newRow("killed before the proof") << "kill copied"
                                             << "" << true << 0 << 30;
    QTest::newRow("killed after the proof") << "kill proven"
                                            << "" << true << 0 << 30;
    QTest::newRow("cancelled at a third") << "cancel 33"
                                          << "" << true << 20 << 10 + 20 + 20;
    QTest::newRow("a copy damaged, its time kept") << "kill copied"
                                                   << "damage copy" << true << 1 << 30 + 1 + 1;
    QTest::newRow("a source made private") << "kill copied"
                                           << "private source" << true << 1 << 29 + 1 + 1;
    QTest::newRow("a copy touched") << "kill copied"
                                    << "touch copy" << true << 1 << 29 + 1 + 1;
    QTest::newRow("the journal's last line torn") << "kill copied"
                                                  << "tear journal" << true << 1 << 29 + 1 + 1;
    // A writer let through may have changed a file behind its size and
    // time: every source is read again.
    QTest::newRow("after Ignore, a source changed behind its time")
        << "ignored kill copied"
        << "change source" << true << 1 << 30 + 30 + 1 + 1;
    QTest::newRow("--no-resume") << "kill 90"
                                 << "" << false << 30 << 30 + 30;
}

void tst_DatabaseMove::resumesAfterInterruption()
{
    QFETCH(QString, ending);
    QFETCH(QString, between);
    QFETCH(bool, resume);
    QFETCH(int, copied);
    QFETCH(int, read);
    constexpr qint64 MiB = qint64(1) << 20;
    constexpr int Files = 30;
    const QByteArray data = m_install->dataFolder();
    QCOMPARE(::unlink(QByteArray(data + "Folders.dat").constData()), 0);
    for (int index = 0; index < Files; ++index) {
        QByteArray contents(MiB, char('a' + index % 26));
        contents.replace(0, 16, QByteArray::number(index).rightJustified(16, '0'));
        m_install->writeFile(index == 0
                                 ? QByteArray(data + "Messages.dat")
                                 : QByteArray(data + "Mail" + QByteArray::number(index) + ".dat"),
                             contents);
    }
    const DatabaseMove::Plan moving = plan(target());
    const FileUtil::CopyIo saved = FileUtil::CurrentCopyIo();
    const auto restore = qScopeGuard([saved] { FileUtil::CurrentCopyIo() = saved; });
    FileUtil::CurrentCopyIo().Read = &ReadCounted;
    g_bytesRead = 0;
    g_dieAfter = -1;
    g_holdAfter = -1;
    const int percent = ending.section(u' ', -1).toInt();

    QProcess writer;
    const auto stopWriter = qScopeGuard([&writer] {
        writer.kill();
        writer.waitForFinished();
    });
    if (ending.startsWith(u"ignored"))
        QVERIFY(StartWriter(&writer, data + "Mail7.dat"));
    if (ending.startsWith(u"cancel")) {
        // Held inside the first read past the point, then stopped.
        g_holdAfter = Files * MiB * percent / 100;
        RecordingView view;
        DatabaseMove move(moving, &view);
        QVERIFY(move.Check());
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (g_inside) {
                g_release = true;
                move.Stop();
            }
        });
        poll.start(5);
        QCOMPARE(move.Run(), DatabaseMove::Outcome::Stopped);
    } else {
        // The first run dies where it stands: no destructor, no cleanup.
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            RecordingView view;
            view.ToWriters = MoveView::WritersAnswer::Ignore;
            DatabaseMove move(moving, &view);
            if (ending.endsWith(u"copied") || ending.endsWith(u"proven"))
                move.SetBetweenStages([ending](DatabaseMove::Stage reached) {
                    if (reached == (ending.endsWith(u"copied") ? DatabaseMove::Stage::Copied
                                                               : DatabaseMove::Stage::Proven))
                        ::_exit(0);
                });
            else
                g_dieAfter = Files * MiB * percent / 100;
            try {
                if (move.Check())
                    move.Run();
            } catch (...) {
            }
            ::_exit(1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    writer.kill();
    writer.waitForFinished();

    const QByteArray copy = target() + "/Mail5.dat";
    struct stat before = {};
    if (!between.isEmpty())
        QCOMPARE(::stat(copy.constData(), &before), 0);
    const timespec kept[2] = {{0, UTIME_OMIT}, before.st_mtim};
    if (between == u"damage copy" || between == u"change source") {
        const QByteArray file = between == u"damage copy" ? copy : data + "Mail5.dat";
        const FileUtil::FileHandle out(::open(file.constData(), O_WRONLY));
        QCOMPARE(::pwrite(out.Get(), "X", 1, 500000), 1);
        QCOMPARE(::futimens(out.Get(), kept), 0);
    } else if (between == u"private source") {
        QCOMPARE(::chmod(QByteArray(data + "Mail5.dat").constData(), 0600), 0);
    } else if (between == u"touch copy") {
        const timespec later[2] = {{0, UTIME_OMIT}, {before.st_mtim.tv_sec + 1, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, copy.constData(), later, 0), 0);
    } else if (between == u"tear journal") {
        const QByteArray journal = target() + '/' + MoveJournal::FileName();
        const QByteArray text = StagedInstall::readFile(journal);
        QCOMPARE(::truncate(journal.constData(), off_t(text.size() - 5)), 0);
    }

    RecordingView view;
    DatabaseMove move(moving, &view);
    move.SetResume(resume);
    QVERIFY2(move.Check(), qPrintable(view.Refusals.join(u'\n')));
    g_bytesRead = 0;
    QCOMPARE(move.Run(), DatabaseMove::Outcome::Proven);
    QCOMPARE(view.Copies, copied);
    QCOMPARE(view.Proven, Files - copied);
    QCOMPARE(move.Resumed(), Files - copied);
    QCOMPARE((g_bytesRead + MiB / 2) / MiB, qint64(read));
    DatabaseMove::WriteSettings(&move, moving);
    for (const QByteArray &name : FileTest::ListFolder(data))
        QCOMPARE(StagedInstall::readFile(target() + '/' + name),
                 StagedInstall::readFile(data + name));
    QCOMPARE(FileTest::ListFolder(target() + '/'), FileTest::ListFolder(data));
    QCOMPARE(log().contains(DatabaseMove::ResumedText(Files - copied, Files).toUtf8()),
             copied < Files);
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
