// CopyFileTo / CopyFileWithOptions: what the copy produces, what it leaves
// alone, and how it fails.
#include "FileTestSupport.h"
#include "fileutil/CopyIo.h"
#include "fileutil/EStreamError.h"
#include "fileutil/FileUtil.h"
#include "fileutil/TProgressList.h"

#include <QFile>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace FileUtil;
using namespace FileTest;

// Records every progress value the copy sets, in order.
class ProgressRecorder : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Bottom READ Bottom WRITE SetBottom)
    Q_PROPERTY(int Where READ Where WRITE SetWhere)

public:
    int Top() const { return 0; }
    void SetTop(int v) { log << QStringLiteral("max=%1").arg(v); }
    int Bottom() const { return 0; }
    void SetBottom(int v) { log << QStringLiteral("min=%1").arg(v); }
    int Where() const { return 0; }
    void SetWhere(int v) { log << QStringLiteral("pos=%1").arg(v); }

    QStringList log;
};

namespace {

// What the substitute read and write calls do; -1 means never.
struct FaultPlan
{
    int readCalls = 0;
    int writeCalls = 0;
    QList<size_t> readRequests;
    int readEintrAt = -1;
    int writeEintrAt = -1;
    int readFailAt = -1;
    int writeFailAt = -1;
    int writeZeroAt = -1;
    size_t maxRead = size_t(-1);
    size_t maxWrite = size_t(-1);
};
FaultPlan plan;

ssize_t PlannedRead(int fd, void *buffer, size_t count)
{
    const int call = plan.readCalls++;
    plan.readRequests.append(count);
    if (call == plan.readEintrAt) {
        errno = EINTR;
        return -1;
    }
    if (call == plan.readFailAt) {
        errno = EIO;
        return -1;
    }
    return ::read(fd, buffer, qMin(count, plan.maxRead));
}

ssize_t PlannedWrite(int fd, const void *buffer, size_t count)
{
    const int call = plan.writeCalls++;
    if (call == plan.writeEintrAt) {
        errno = EINTR;
        return -1;
    }
    if (call == plan.writeFailAt) {
        errno = ENOSPC;
        return -1;
    }
    if (call == plan.writeZeroAt)
        return 0;
    return ::write(fd, buffer, qMin(count, plan.maxWrite));
}

// Puts the planned calls in place for one scope.
class PlannedIo
{
public:
    explicit PlannedIo(const FaultPlan &faults) : m_saved(CurrentCopyIo())
    {
        plan = faults;
        CurrentCopyIo() = CopyIo{&PlannedRead, &PlannedWrite};
    }
    ~PlannedIo() { CurrentCopyIo() = m_saved; }

private:
    CopyIo m_saved;
};

// "" after a successful copy, else the error's class and message.
QString Outcome(const std::function<void()> &copy)
{
    try {
        copy();
    } catch (const EFOpenError &error) {
        return QStringLiteral("EFOpenError: ") + error.message();
    } catch (const EFCreateError &error) {
        return QStringLiteral("EFCreateError: ") + error.message();
    } catch (const EReadError &error) {
        return QStringLiteral("EReadError: ") + error.message();
    } catch (const EWriteError &error) {
        return QStringLiteral("EWriteError: ") + error.message();
    } catch (const Exception &error) {
        return QStringLiteral("other: ") + error.message();
    }
    return QString();
}

QString Text(const QByteArray &path)
{
    return QFile::decodeName(path);
}

// Entries the copy may leave behind by mistake.
QByteArrayList Leftovers(const QByteArray &folder)
{
    QByteArrayList found;
    const QByteArrayList names = ListFolder(folder);
    for (const QByteArray &name : names) {
        if (name.startsWith(".flitto-"))
            found.append(name);
    }
    return found;
}

} // namespace

class tst_CopyFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void destinationNaming_data();
    void destinationNaming();
    void contentsAndReads_data();
    void contentsAndReads();
    void lastWriteTime_data();
    void lastWriteTime();
    void sourceLeftAlone();
    void copyOntoItselfFails_data();
    void copyOntoItselfFails();
    void copyOntoItselfThroughBindMount();
    void existingDestinationReplaced_data();
    void existingDestinationReplaced();
    void readOnlyDestination_data();
    void readOnlyDestination();
    void folderInTheWay();
    void refusesWhatIsNotAFile_data();
    void refusesWhatIsNotAFile();
    void symlinkSourceCopiesContents();
    void namesCopiedByteForByte_data();
    void namesCopiedByteForByte();
    void copyPermissions_data();
    void copyPermissions();
    void transferFaults_data();
    void transferFaults();
    void fileSizeLimit_data();
    void fileSizeLimit();
    void diskFull();
    void missingFolderIsCreateError();
    void nothingLeftOpen();
    void progressControl_data();
    void progressControl();
    void progressScale_data();
    void progressScale();
    void fileAbove4GiB();

private:
    std::unique_ptr<ScratchFolder> m_scratch;
    QByteArray m_root; // scratch folder, ending in "/"
    QByteArray m_src;  // a source folder with Messages.dat
    QByteArray m_dst;  // an empty destination folder
};

void tst_CopyFile::initTestCase()
{
    TProgressList::Instance().Add({"ProgressRecorder", "Top", "Bottom", "Where"});
}

void tst_CopyFile::cleanupTestCase()
{
    TProgressList::Instance().Remove("ProgressRecorder");
}

void tst_CopyFile::init()
{
    m_scratch.reset();
    m_scratch = std::make_unique<ScratchFolder>();
    QVERIFY(m_scratch->IsValid());
    m_root = m_scratch->Path();
    m_src = m_root + "src/";
    m_dst = m_root + "dst/";
    QCOMPARE(::mkdir(m_src.constData(), 0755), 0);
    QCOMPARE(::mkdir(m_dst.constData(), 0755), 0);
    QVERIFY(WriteFile(m_src + "Messages.dat", Pattern(20000)));
}

void tst_CopyFile::destinationNaming_data()
{
    QTest::addColumn<QByteArray>("destination"); // below the scratch folder
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("existing folder") << QByteArray("dst") << QByteArray("dst/Messages.dat");
    QTest::newRow("existing folder with /") << QByteArray("dst/") << QByteArray("dst/Messages.dat");
    QTest::newRow("existing folder with //")
        << QByteArray("dst//") << QByteArray("dst/Messages.dat");
    QTest::newRow("file name") << QByteArray("dst/Copy.dat") << QByteArray("dst/Copy.dat");
    QTest::newRow("missing folders made")
        << QByteArray("dst/A/B/C/X.dat") << QByteArray("dst/A/B/C/X.dat");
    QTest::newRow("symlink to folder") << QByteArray("linkdir") << QByteArray("dst/Messages.dat");
}

void tst_CopyFile::destinationNaming()
{
    QFETCH(QByteArray, destination);
    QFETCH(QByteArray, expected);
    QCOMPARE(::symlink("dst", QByteArray(m_root + "linkdir").constData()), 0);
    QCOMPARE(Outcome([&] { CopyFileTo(m_src + "Messages.dat", m_root + destination); }), QString());
    QCOMPARE(ReadFile(m_root + expected), Pattern(20000));
    QCOMPARE(Leftovers(FolderOfPath(m_root + expected)), QByteArrayList());
}

void tst_CopyFile::contentsAndReads_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("reads");
    // Every read asks for one chunk; the copy reads until the end of the
    // file is reported, so a file of whole chunks takes one read more.
    QTest::newRow("empty") << qint64(0) << 1;
    QTest::newRow("one byte") << qint64(1) << 2;
    QTest::newRow("chunk less one") << qint64(8191) << 2;
    QTest::newRow("exactly one chunk") << qint64(8192) << 2;
    QTest::newRow("chunk and one") << qint64(8193) << 3;
    QTest::newRow("three chunks") << qint64(3 * 8192) << 4;
    QTest::newRow("a megabyte and some") << qint64((1 << 20) + 7) << 130;
}

void tst_CopyFile::contentsAndReads()
{
    QFETCH(qint64, size);
    QFETCH(int, reads);
    const QByteArray contents = Pattern(size, 'k');
    QVERIFY(WriteFile(m_src + "f.dat", contents));
    PlannedIo io(FaultPlan{});
    QCOMPARE(Outcome([&] { CopyFileTo(m_src + "f.dat", m_dst); }), QString());
    QCOMPARE(plan.readCalls, reads);
    QCOMPARE(plan.readRequests, QList<size_t>(reads, size_t(CopyBufferSize)));
    const QByteArray copied = ReadFile(m_dst + "f.dat");
    QCOMPARE(copied.size(), contents.size());
    QVERIFY(copied == contents);
}

void tst_CopyFile::lastWriteTime_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<long>("nanoseconds");
    QTest::newRow("recent, odd second, nanoseconds") << qint64(1700000001) << 123456789L;
    QTest::newRow("last moment of 1979") << qint64(315532799) << 999999999L;
    QTest::newRow("the epoch") << qint64(0) << 0L;
    QTest::newRow("1960") << qint64(-315619200) << 250000000L;
    QTest::newRow("year 2200") << qint64(7258118400) << 1L;
}

void tst_CopyFile::lastWriteTime()
{
    QFETCH(qint64, seconds);
    QFETCH(long, nanoseconds);
    const QByteArray source = m_src + "Messages.dat";
    const FileTime times[2] = {{1600000000, 0}, {time_t(seconds), nanoseconds}};
    QCOMPARE(::utimensat(AT_FDCWD, source.constData(), times, 0), 0);
    QCOMPARE(Outcome([&] { CopyFileTo(source, m_dst); }), QString());
    struct stat copied;
    QCOMPARE(::stat(QByteArray(m_dst + "Messages.dat").constData(), &copied), 0);
    QCOMPARE(qint64(copied.st_mtim.tv_sec), seconds);
    QCOMPARE(long(copied.st_mtim.tv_nsec), nanoseconds);
}

void tst_CopyFile::sourceLeftAlone()
{
    const QByteArray source = m_src + "Messages.dat";
    QCOMPARE(::chmod(source.constData(), 0640), 0);
    // An access time older than the modification time is what the kernel's
    // relatime rule refreshes on the next read.
    const FileTime times[2] = {{1500000000, 5}, {1600000000, 7}};
    QCOMPARE(::utimensat(AT_FDCWD, source.constData(), times, 0), 0);
    QVERIFY(WriteFile(m_src + "Other.dat", "other"));
    const QByteArrayList namesBefore = ListFolder(m_src);
    const Snapshot before = Take(source);
    QCOMPARE(Outcome([&] { CopyFileTo(source, m_dst); }), QString());
    QCOMPARE(Outcome([&] { CopyFileTo(source, m_dst); }), QString()); // replacing the copy
    QCOMPARE(Outcome([&] { CopyFileWithOptions(source, m_dst, true, true, nullptr); }), QString());
    QCOMPARE(Compare(before, Take(source)), QString());
    QCOMPARE(ListFolder(m_src), namesBefore);
    QCOMPARE(ReadFile(m_dst + "Messages.dat"), Pattern(20000));
}

void tst_CopyFile::copyOntoItselfFails_data()
{
    QTest::addColumn<QByteArray>("source");      // below the scratch folder
    QTest::addColumn<QByteArray>("destination"); // below the scratch folder
    QTest::addColumn<QByteArray>("named");       // the file name in the message
    QTest::addColumn<bool>("overwriteReadOnly");
    QTest::newRow("its own folder") << QByteArray("src/Messages.dat") << QByteArray("src")
                                    << QByteArray("src/Messages.dat") << false;
    QTest::newRow("its own folder, overwrite flag")
        << QByteArray("src/Messages.dat") << QByteArray("src") << QByteArray("src/Messages.dat")
        << true;
    QTest::newRow("trailing separator") << QByteArray("src/Messages.dat") << QByteArray("src/")
                                        << QByteArray("src/Messages.dat") << false;
    QTest::newRow("dot-dot") << QByteArray("src/Messages.dat") << QByteArray("dst/../src")
                             << QByteArray("dst/../src/Messages.dat") << false;
    QTest::newRow("dot") << QByteArray("src/Messages.dat") << QByteArray("src/./")
                         << QByteArray("src/./Messages.dat") << false;
    QTest::newRow("source spelled with dot-dot")
        << QByteArray("dst/../src/Messages.dat") << QByteArray("src")
        << QByteArray("src/Messages.dat") << false;
    QTest::newRow("symlink to the folder")
        << QByteArray("src/Messages.dat") << QByteArray("srclink")
        << QByteArray("srclink/Messages.dat") << false;
    QTest::newRow("the file itself")
        << QByteArray("src/Messages.dat") << QByteArray("src/Messages.dat")
        << QByteArray("src/Messages.dat") << true;
    QTest::newRow("symlink to the file")
        << QByteArray("src/Messages.dat") << QByteArray("dst/filelink")
        << QByteArray("dst/filelink") << true;
    QTest::newRow("hard link of the file") << QByteArray("src/Messages.dat") << QByteArray("hard")
                                           << QByteArray("hard/Messages.dat") << true;
    QTest::newRow("source is a symlink into the folder")
        << QByteArray("dst/Messages.dat") << QByteArray("src") << QByteArray("src/Messages.dat")
        << false;
}

void tst_CopyFile::copyOntoItselfFails()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, destination);
    QFETCH(QByteArray, named);
    QFETCH(bool, overwriteReadOnly);
    const QByteArray file = m_src + "Messages.dat";
    QCOMPARE(::symlink("src", QByteArray(m_root + "srclink").constData()), 0);
    QCOMPARE(::symlink(file.constData(), QByteArray(m_dst + "filelink").constData()), 0);
    QCOMPARE(::mkdir(QByteArray(m_root + "hard").constData(), 0755), 0);
    QCOMPARE(::link(file.constData(), QByteArray(m_root + "hard/Messages.dat").constData()), 0);
    if (source.startsWith("dst/Messages.dat"))
        QCOMPARE(::symlink(file.constData(), QByteArray(m_root + source).constData()), 0);
    const QByteArrayList namesBefore = ListFolder(m_src);
    const Snapshot before = Take(file);

    QCOMPARE(Outcome([&] {
                 CopyFileWithOptions(m_root + source, m_root + destination, overwriteReadOnly,
                                     false, nullptr);
             }),
             QStringLiteral("EFCreateError: Cannot create file ") + Text(m_root + named));
    QCOMPARE(Compare(before, Take(file)), QString());
    QCOMPARE(ListFolder(m_src), namesBefore);
    QCOMPARE(Leftovers(m_dst), QByteArrayList());
    QCOMPARE(Leftovers(m_root + "hard/"), QByteArrayList());
}

void tst_CopyFile::copyOntoItselfThroughBindMount()
{
    const QByteArray file = m_src + "Messages.dat";
    const Snapshot before = Take(file);
    const QByteArray mountPoint = m_root + "bound";
    QCOMPARE(::mkdir(mountPoint.constData(), 0755), 0);
    const QByteArray result = RunInChild(true, [&]() -> QByteArray {
        if (::mount(m_src.constData(), mountPoint.constData(), nullptr, MS_BIND, nullptr) != 0)
            return QByteArrayLiteral("SKIP: bind mount refused");
        CopyFileTo(file, mountPoint);
        return QByteArrayLiteral("copied");
    });
    if (result.startsWith("SKIP:"))
        QSKIP(result.constData());
    QCOMPARE(QString::fromUtf8(result),
             QStringLiteral("Cannot create file ") + Text(mountPoint + "/Messages.dat"));
    QCOMPARE(Compare(before, Take(file)), QString());
    QCOMPARE(Leftovers(m_src), QByteArrayList());
}

void tst_CopyFile::existingDestinationReplaced_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("longer regular file") << QByteArray("file");
    QTest::newRow("hard link to another file") << QByteArray("hardlink");
    QTest::newRow("symlink to another file") << QByteArray("symlink");
    QTest::newRow("symlink to a file of the source folder") << QByteArray("sourcelink");
    QTest::newRow("dangling symlink") << QByteArray("dangling");
}

void tst_CopyFile::existingDestinationReplaced()
{
    QFETCH(QByteArray, kind);
    const QByteArray other = m_root + "other.dat";
    const QByteArray sibling = m_src + "Sibling.dat";
    QVERIFY(WriteFile(other, Pattern(30000, 'x')));
    QVERIFY(WriteFile(sibling, Pattern(300, 's')));
    const QByteArray target = m_dst + "Messages.dat";
    if (kind == "file")
        QVERIFY(WriteFile(target, Pattern(50000, 'o')));
    else if (kind == "hardlink")
        QCOMPARE(::link(other.constData(), target.constData()), 0);
    else if (kind == "symlink")
        QCOMPARE(::symlink(other.constData(), target.constData()), 0);
    else if (kind == "sourcelink")
        QCOMPARE(::symlink(sibling.constData(), target.constData()), 0);
    else
        QCOMPARE(::symlink("nowhere", target.constData()), 0);
    const Snapshot otherBefore = Take(other);
    const Snapshot siblingBefore = Take(sibling);

    QCOMPARE(Outcome([&] { CopyFileTo(m_src + "Messages.dat", m_dst); }), QString());

    struct stat entry;
    QCOMPARE(::lstat(target.constData(), &entry), 0);
    QVERIFY(S_ISREG(entry.st_mode));
    QCOMPARE(entry.st_nlink, nlink_t(1));
    QVERIFY(ReadFile(target) == Pattern(20000));
    // The other file loses a link name at most; its data, mode and time stay.
    const Snapshot otherAfter = Take(other);
    QVERIFY(otherAfter.contents == otherBefore.contents);
    QCOMPARE(otherAfter.info.st_ino, otherBefore.info.st_ino);
    QCOMPARE(otherAfter.info.st_mode, otherBefore.info.st_mode);
    QCOMPARE(otherAfter.info.st_mtim.tv_sec, otherBefore.info.st_mtim.tv_sec);
    QCOMPARE(otherAfter.info.st_mtim.tv_nsec, otherBefore.info.st_mtim.tv_nsec);
    QCOMPARE(Compare(siblingBefore, Take(sibling)), QString());
    QCOMPARE(Leftovers(m_dst), QByteArrayList());
}

void tst_CopyFile::readOnlyDestination_data()
{
    QTest::addColumn<bool>("throughSymlink");
    QTest::addColumn<bool>("overwriteReadOnly");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("refused") << false << false << false;
    QTest::newRow("overwrite flag") << false << true << true;
    QTest::newRow("symlink to read-only file, refused") << true << false << false;
    QTest::newRow("symlink to read-only file, overwrite flag") << true << true << true;
}

void tst_CopyFile::readOnlyDestination()
{
    QFETCH(bool, throughSymlink);
    QFETCH(bool, overwriteReadOnly);
    QFETCH(bool, replaced);
    const QByteArray target = m_dst + "Messages.dat";
    const QByteArray locked = throughSymlink ? m_root + "locked.dat" : target;
    QVERIFY(WriteFile(locked, "old contents", 0444));
    if (throughSymlink)
        QCOMPARE(::symlink(locked.constData(), target.constData()), 0);
    const Snapshot lockedBefore = Take(locked);

    const QString outcome = Outcome([&] {
        CopyFileWithOptions(m_src + "Messages.dat", m_dst, overwriteReadOnly, false, nullptr);
    });
    if (replaced) {
        QCOMPARE(outcome, QString());
        QVERIFY(ReadFile(target) == Pattern(20000));
        QVERIFY(!HasAttributes(target, faReadOnly)); // a second run can replace it again
    } else {
        QCOMPARE(outcome, QStringLiteral("EFCreateError: Cannot create file ") + Text(target));
        QCOMPARE(ReadFile(target), QByteArray("old contents"));
    }
    if (throughSymlink)
        QCOMPARE(Compare(lockedBefore, Take(locked)), QString());
    QCOMPARE(Leftovers(m_dst), QByteArrayList());
}

void tst_CopyFile::folderInTheWay()
{
    // The destination name is taken by a folder (or a link to one): no file
    // can take its place, and nothing inside it is touched.
    QCOMPARE(::mkdir(QByteArray(m_dst + "Messages.dat").constData(), 0755), 0);
    QVERIFY(WriteFile(m_dst + "Messages.dat/inner", "keep"));
    QCOMPARE(Outcome([&] { CopyFileTo(m_src + "Messages.dat", m_dst); }),
             QStringLiteral("EFCreateError: Cannot create file ") + Text(m_dst + "Messages.dat"));
    QCOMPARE(ReadFile(m_dst + "Messages.dat/inner"), QByteArray("keep"));
    QCOMPARE(Leftovers(m_dst), QByteArrayList());
}

void tst_CopyFile::refusesWhatIsNotAFile_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("fifo") << QByteArray("fifo");
    QTest::newRow("socket") << QByteArray("socket");
    QTest::newRow("character device") << QByteArray("device");
    QTest::newRow("folder") << QByteArray("folder");
    QTest::newRow("missing") << QByteArray("missing");
    QTest::newRow("dangling symlink") << QByteArray("dangling");
    QTest::newRow("symlink to fifo") << QByteArray("fifolink");
    QTest::newRow("empty path") << QByteArray("empty");
}

void tst_CopyFile::refusesWhatIsNotAFile()
{
    QFETCH(QByteArray, kind);
    QByteArray source = m_src + "entry";
    int socketFd = -1;
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(source.constData(), 0644), 0);
    } else if (kind == "socket") {
        socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (size_t(source.size()) >= sizeof address.sun_path)
            QSKIP("scratch path too long for a socket");
        qstrcpy(address.sun_path, source.constData());
        QCOMPARE(::bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    } else if (kind == "device") {
        source = QByteArrayLiteral("/dev/null");
    } else if (kind == "folder") {
        QCOMPARE(::mkdir(source.constData(), 0755), 0);
    } else if (kind == "dangling") {
        QCOMPARE(::symlink("nowhere", source.constData()), 0);
    } else if (kind == "fifolink") {
        QCOMPARE(::mkfifo(QByteArray(m_root + "fifo").constData(), 0644), 0);
        QCOMPARE(::symlink(QByteArray(m_root + "fifo").constData(), source.constData()), 0);
    } else if (kind == "empty") {
        source.clear();
    }
    // A FIFO opened for reading would block here until a writer came.
    const QString outcome = Outcome([&] { CopyFileTo(source, m_dst); });
    if (socketFd >= 0)
        ::close(socketFd);
    QCOMPARE(outcome, QStringLiteral("EFOpenError: Cannot open file ") + Text(source));
    QCOMPARE(ListFolder(m_dst), QByteArrayList());
}

void tst_CopyFile::symlinkSourceCopiesContents()
{
    QVERIFY(WriteFile(m_root + "real.dat", Pattern(9000, 'r')));
    QCOMPARE(::symlink(QByteArray(m_root + "real.dat").constData(),
                       QByteArray(m_src + "Alias.dat").constData()),
             0);
    QCOMPARE(Outcome([&] { CopyFileTo(m_src + "Alias.dat", m_dst); }), QString());
    struct stat entry;
    QCOMPARE(::lstat(QByteArray(m_dst + "Alias.dat").constData(), &entry), 0);
    QVERIFY(S_ISREG(entry.st_mode));
    QVERIFY(ReadFile(m_dst + "Alias.dat") == Pattern(9000, 'r'));
}

void tst_CopyFile::namesCopiedByteForByte_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("not utf-8") << QByteArray("\xff\xfe\x80 mail.dat");
    QTest::newRow("blanks") << QByteArray("my  mail .dat ");
    QTest::newRow("newline") << QByteArray("line\nbreak.dat");
    QTest::newRow("leading dash") << QByteArray("-rf");
    QTest::newRow("wildcards") << QByteArray("*?[a].dat");
    QTest::newRow("hidden") << QByteArray(".hidden");
    QTest::newRow("longest name") << QByteArray(255, 'n');
}

void tst_CopyFile::namesCopiedByteForByte()
{
    QFETCH(QByteArray, name);
    QVERIFY(WriteFile(m_src + name, Pattern(100, 'q')));
    QCOMPARE(Outcome([&] { CopyFileTo(m_src + name, m_dst); }), QString());
    QCOMPARE(ListFolder(m_dst), QByteArrayList{name});
    QVERIFY(ReadFile(m_dst + name) == Pattern(100, 'q'));
}

void tst_CopyFile::copyPermissions_data()
{
    QTest::addColumn<int>("sourceMode");
    QTest::addColumn<int>("expectedMode"); // under umask 022
    QTest::newRow("private stays private") << 0600 << 0600;
    QTest::newRow("read-only becomes writable") << 0444 << 0644;
    QTest::newRow("group readable") << 0640 << 0640;
    QTest::newRow("no owner access") << 0044 << 0644;
    QTest::newRow("umask applies") << 0666 << 0644;
}

void tst_CopyFile::copyPermissions()
{
    QFETCH(int, sourceMode);
    QFETCH(int, expectedMode);
    const QByteArray source = m_src + "Messages.dat";
    QCOMPARE(::chmod(source.constData(), mode_t(sourceMode)), 0);
    if (sourceMode == 0044 && ::geteuid() != 0)
        QSKIP("only root reads a file its owner may not read");
    const mode_t savedMask = ::umask(022);
    const QString outcome = Outcome([&] { CopyFileTo(source, m_dst); });
    ::umask(savedMask);
    QCOMPARE(outcome, QString());
    struct stat copied;
    QCOMPARE(::stat(QByteArray(m_dst + "Messages.dat").constData(), &copied), 0);
    QCOMPARE(int(copied.st_mode & 07777), expectedMode);
}

void tst_CopyFile::transferFaults_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("readEintrAt");
    QTest::addColumn<int>("writeEintrAt");
    QTest::addColumn<int>("maxRead");
    QTest::addColumn<int>("maxWrite");
    QTest::addColumn<int>("readFailAt");
    QTest::addColumn<int>("writeFailAt");
    QTest::addColumn<int>("writeZeroAt");
    QTest::addColumn<QString>("expected");
    const QString ok;
    const QString readError = QStringLiteral("EReadError: Stream read error");
    const QString writeError = QStringLiteral("EWriteError: Stream write error");
    QTest::newRow("read interrupted")
        << qint64(20000) << 0 << -1 << -1 << -1 << -1 << -1 << -1 << ok;
    QTest::newRow("write interrupted")
        << qint64(20000) << -1 << 1 << -1 << -1 << -1 << -1 << -1 << ok;
    QTest::newRow("short writes") << qint64(20000) << -1 << -1 << -1 << 1000 << -1 << -1 << -1
                                  << ok;
    QTest::newRow("one byte per write")
        << qint64(3000) << -1 << -1 << -1 << 1 << -1 << -1 << -1 << ok;
    QTest::newRow("short reads before the end")
        << qint64(20000) << -1 << -1 << 100 << -1 << -1 << -1 << -1 << ok;
    QTest::newRow("read fails") << qint64(20000) << -1 << -1 << -1 << -1 << 1 << -1 << -1
                                << readError;
    QTest::newRow("first read fails")
        << qint64(20000) << -1 << -1 << -1 << -1 << 0 << -1 << -1 << readError;
    QTest::newRow("write fails") << qint64(20000) << -1 << -1 << -1 << -1 << -1 << 1 << -1
                                 << writeError;
    QTest::newRow("write fails after a short write")
        << qint64(20000) << -1 << -1 << -1 << 5000 << -1 << 1 << -1 << writeError;
    QTest::newRow("write makes no progress")
        << qint64(20000) << -1 << -1 << -1 << -1 << -1 << -1 << 2 << writeError;
}

void tst_CopyFile::transferFaults()
{
    QFETCH(qint64, size);
    QFETCH(int, readEintrAt);
    QFETCH(int, writeEintrAt);
    QFETCH(int, maxRead);
    QFETCH(int, maxWrite);
    QFETCH(int, readFailAt);
    QFETCH(int, writeFailAt);
    QFETCH(int, writeZeroAt);
    QFETCH(QString, expected);
    const QByteArray contents = Pattern(size, 'f');
    QVERIFY(WriteFile(m_src + "f.dat", contents));
    QVERIFY(WriteFile(m_dst + "f.dat", "the previous copy"));
    FaultPlan faults;
    faults.readEintrAt = readEintrAt;
    faults.writeEintrAt = writeEintrAt;
    faults.maxRead = maxRead < 0 ? size_t(-1) : size_t(maxRead);
    faults.maxWrite = maxWrite < 0 ? size_t(-1) : size_t(maxWrite);
    faults.readFailAt = readFailAt;
    faults.writeFailAt = writeFailAt;
    faults.writeZeroAt = writeZeroAt;
    QString outcome;
    {
        PlannedIo io(faults);
        outcome = Outcome([&] { CopyFileTo(m_src + "f.dat", m_dst); });
    }
    QCOMPARE(outcome, expected);
    if (expected.isEmpty())
        QVERIFY(ReadFile(m_dst + "f.dat") == contents);
    else
        QCOMPARE(ReadFile(m_dst + "f.dat"), QByteArray("the previous copy"));
    QCOMPARE(ListFolder(m_dst), QByteArrayList{"f.dat"});
}

void tst_CopyFile::fileSizeLimit_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("expected");
    // The limit lies inside the last chunk: the write there comes back short
    // and only the next one reports the failure.
    QTest::newRow("just over the limit") << qint64(10100) << QStringLiteral("Stream write error");
    QTest::newRow("far over the limit") << qint64(100000) << QStringLiteral("Stream write error");
    QTest::newRow("exactly at the limit") << qint64(10000) << QStringLiteral("copied");
}

void tst_CopyFile::fileSizeLimit()
{
    QFETCH(qint64, size);
    QFETCH(QString, expected);
    QVERIFY(WriteFile(m_src + "big.dat", Pattern(size, 'b')));
    QVERIFY(WriteFile(m_dst + "big.dat", "the previous copy"));
    const QByteArray result = RunInChild(false, [&]() -> QByteArray {
        ::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        const rlimit limit = {10000, 10000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return QByteArrayLiteral("setrlimit failed");
        CopyFileTo(m_src + "big.dat", m_dst);
        return QByteArrayLiteral("copied");
    });
    QCOMPARE(QString::fromUtf8(result), expected);
    if (expected == QLatin1String("copied"))
        QVERIFY(ReadFile(m_dst + "big.dat") == Pattern(size, 'b'));
    else
        QCOMPARE(ReadFile(m_dst + "big.dat"), QByteArray("the previous copy"));
    QCOMPARE(ListFolder(m_dst), QByteArrayList{"big.dat"});
}

void tst_CopyFile::diskFull()
{
    QVERIFY(WriteFile(m_src + "Messages.dat", Pattern(512 * 1024, 'd')));
    const QByteArray mountPoint = m_root + "small";
    QCOMPARE(::mkdir(mountPoint.constData(), 0755), 0);
    const QByteArray result = RunInChild(true, [&]() -> QByteArray {
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=128k") != 0)
            return QByteArrayLiteral("SKIP: tmpfs mount refused");
        const QByteArray target = mountPoint + "/Messages.dat";
        if (!WriteFile(target, "the previous copy"))
            return QByteArrayLiteral("cannot prepare the small disk");
        QByteArray outcome;
        try {
            CopyFileTo(m_src + "Messages.dat", mountPoint);
            outcome = QByteArrayLiteral("copied");
        } catch (const EWriteError &error) {
            outcome = error.message().toUtf8();
        }
        // Seen from inside: the old copy intact, no partial file left.
        return outcome + '|' + ReadFile(target) + '|' + ListFolder(mountPoint).join(',');
    });
    if (result.startsWith("SKIP:"))
        QSKIP(result.constData());
    QCOMPARE(QString::fromUtf8(result),
             QStringLiteral("Stream write error|the previous copy|Messages.dat"));
}

void tst_CopyFile::missingFolderIsCreateError()
{
    // A destination folder that cannot be made: the copy reports the file it
    // could not create.
    QVERIFY(WriteFile(m_root + "blocker", "x"));
    const QByteArray target = m_root + "blocker/sub/Messages.dat";
    QCOMPARE(Outcome([&] { CopyFileTo(m_src + "Messages.dat", target); }),
             QStringLiteral("EFCreateError: Cannot create file ") + Text(target));
}

void tst_CopyFile::nothingLeftOpen()
{
    const int before = OpenDescriptorCount();
    QVERIFY(WriteFile(m_dst + "locked.dat", "x", 0444));
    for (int round = 0; round < 3; ++round) {
        Outcome([&] { CopyFileTo(m_src + "Messages.dat", m_dst); });                // success
        Outcome([&] { CopyFileTo(m_src + "missing", m_dst); });                     // open fails
        Outcome([&] { CopyFileTo(m_src + "Messages.dat", m_src); });                // onto itself
        Outcome([&] { CopyFileTo(m_src + "Messages.dat", m_dst + "locked.dat"); }); // read-only
        FaultPlan readFails;
        readFails.readFailAt = 1;
        PlannedIo io(readFails);
        QCOMPARE(Outcome([&] { CopyFileTo(m_src + "Messages.dat", m_dst); }),
                 QStringLiteral("EReadError: Stream read error"));
    }
    QCOMPARE(OpenDescriptorCount(), before);
}

void tst_CopyFile::progressControl_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("readFailAt");
    QTest::addColumn<QStringList>("log");
    const auto log = [](const char *entries) {
        return QString::fromLatin1(entries).split(QLatin1Char(' '));
    };
    QTest::newRow("three chunks")
        << QByteArray("Messages.dat") << -1
        << log("max=20000 min=0 pos=0 pos=8192 pos=16384 pos=20000 pos=0");
    QTest::newRow("read fails: back to 0")
        << QByteArray("Messages.dat") << 1 << log("max=20000 min=0 pos=0 pos=8192 pos=0");
    QTest::newRow("open fails: back to 0") << QByteArray("missing") << -1 << log("pos=0");
}

void tst_CopyFile::progressControl()
{
    QFETCH(QByteArray, source);
    QFETCH(int, readFailAt);
    QFETCH(QStringList, log);
    ProgressRecorder recorder;
    FaultPlan faults;
    faults.readFailAt = readFailAt;
    PlannedIo io(faults);
    Outcome([&] { CopyFileTo(m_src + source, m_dst, &recorder); });
    QCOMPARE(recorder.log, log);
}

// The 32-bit progress range for sizes no test writes: fed the size alone.
void tst_CopyFile::progressScale_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<int>("maximum");  // the value for the whole size
    QTest::addColumn<int>("position"); // the value for bytes
    QTest::newRow("empty") << qint64(0) << qint64(0) << 0 << 0;
    QTest::newRow("negative size is empty") << qint64(-1) << qint64(5) << 0 << 0;
    QTest::newRow("small: bytes as they are") << qint64(20000) << qint64(8192) << 20000 << 8192;
    QTest::newRow("past the end: the end") << qint64(20000) << qint64(30000) << 20000 << 20000;
    QTest::newRow("negative bytes: 0") << qint64(20000) << qint64(-1) << 20000 << 0;
    QTest::newRow("2 GiB less 1: unscaled")
        << qint64(2147483647) << qint64(12345) << 2147483647 << 12345;
    QTest::newRow("2 GiB less 1: its end")
        << qint64(2147483647) << qint64(2147483647) << 2147483647 << 2147483647;
    QTest::newRow("2 GiB: halved") << qint64(2147483648) << qint64(12345) << 1073741824 << 6172;
    QTest::newRow("2 GiB: its end")
        << qint64(2147483648) << qint64(2147483648) << 1073741824 << 1073741824;
    QTest::newRow("4 GiB less 1: still halved")
        << qint64(4294967295) << qint64(2) << 2147483647 << 1;
    QTest::newRow("4 GiB: quartered") << qint64(4294967296) << qint64(3) << 1073741824 << 0;
    QTest::newRow("4 GiB and a bit: where 31 bits wrap")
        << qint64(4294979641) << qint64(2147483645) << 1073744910 << 536870911;
    QTest::newRow("largest size") << std::numeric_limits<qint64>::max() << qint64(4294967296)
                                  << 2147483647 << 1;
}

void tst_CopyFile::progressScale()
{
    QFETCH(qint64, size);
    QFETCH(qint64, bytes);
    QFETCH(int, maximum);
    QFETCH(int, position);
    const ProgressScale scale(size);
    QCOMPARE(scale.Of(size), maximum);
    QCOMPARE(scale.Of(bytes), position);
}

void tst_CopyFile::fileAbove4GiB()
{
    if (qEnvironmentVariableIsEmpty("FLITTO_BIG_FILE_TEST"))
        QSKIP("writes 4 GiB; set FLITTO_BIG_FILE_TEST=1 to run it");
    const qint64 size = (qint64(4) << 30) + 12345;
    const QByteArray source = m_src + "huge.dat";
    // Sparse, with marks at the places where 31- and 32-bit counters wrap.
    const qint64 marks[] = {0, (qint64(1) << 31) - 3, (qint64(1) << 32) - 3, size - 16};
    {
        const int fd = ::open(source.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::ftruncate(fd, size), 0);
        for (qint64 mark : marks) {
            const QByteArray text = "mark@" + QByteArray::number(mark);
            QCOMPARE(
                ::pwrite(fd, text.constData(), 16 < text.size() ? 16 : size_t(text.size()), mark),
                ssize_t(qMin<qsizetype>(16, text.size())));
        }
        QCOMPARE(::close(fd), 0);
    }
    ProgressRecorder recorder;
    QCOMPARE(Outcome([&] { CopyFileTo(source, m_dst, &recorder); }), QString());
    const QByteArray target = m_dst + "huge.dat";
    QCOMPARE(QueryFileSize(target), size);
    const int fd = ::open(target.constData(), O_RDONLY);
    QVERIFY(fd >= 0);
    for (qint64 mark : marks) {
        const QByteArray text = "mark@" + QByteArray::number(mark);
        QByteArray read(qMin<qsizetype>(16, text.size()), '\0');
        QCOMPARE(::pread(fd, read.data(), size_t(read.size()), mark), ssize_t(read.size()));
        QCOMPARE(read, text.left(16));
    }
    ::close(fd);
    // The progress range is scaled into 32 bits, not wrapped.
    QCOMPARE(recorder.log.first(), QStringLiteral("max=%1").arg(size >> 2));
    QCOMPARE(recorder.log.at(recorder.log.size() - 2), QStringLiteral("pos=%1").arg(size >> 2));
    ::unlink(target.constData());
    ::unlink(source.constData());
}

QTEST_GUILESS_MAIN(tst_CopyFile)
#include "tst_CopyFile.moc"
