// CopyFileChecked / ProveCopy: the checksum's independence of holes, sparse
// copies, what the proof catches, stopping, and the owner kept as root.
#include "FileTestSupport.h"
#include "fileutil/CheckedCopy.h"
#include "fileutil/CopyIo.h"
#include "fileutil/FileUtil.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

#include <xxhash.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FileUtil;
using namespace FileTest;

namespace {

// What the substitute read and write calls do, and what they did.
struct
{
    size_t maxRead;
    int readFailAt, writeFailAt;
    std::function<void(int call)> beforeRead; // told the number of the read
    int reads;
    qint64 bytesRead;
} io;

// Puts the substitute calls in place for one scope.
struct PlannedIo
{
    explicit PlannedIo(
        size_t maxRead, int readFailAt = -1, int writeFailAt = -1,
        std::function<void(int)> beforeRead = [](int) {})
        : saved(CurrentCopyIo())
    {
        io = {maxRead, readFailAt, writeFailAt, std::move(beforeRead), 0, 0};
        CurrentCopyIo().Read = [](int fd, void *buffer, size_t count) -> ssize_t {
            const int call = io.reads++;
            io.beforeRead(call);
            const ssize_t got = call == io.readFailAt ? (errno = EIO, -1)
                                                      : ::read(fd, buffer, qMin(count, io.maxRead));
            io.bytesRead += qMax<ssize_t>(got, 0);
            return got;
        };
        CurrentCopyIo().Write = [](int fd, const void *buffer, size_t count) -> ssize_t {
            return io.writeFailAt-- == 0 ? (errno = ENOSPC, -1) : ::write(fd, buffer, count);
        };
    }
    ~PlannedIo() { CurrentCopyIo() = saved; }
    CopyIo saved;
};

// The checksum as its definition states it, built in one piece.
quint64 ReferenceChecksum(const QByteArray &contents)
{
    const auto number = [](qint64 value) {
        value = qToLittleEndian(value);
        return QByteArray(reinterpret_cast<const char *>(&value), 8);
    };
    QByteArray stream;
    for (qint64 at = 0; at < contents.size(); at += 4096) {
        const QByteArray block = contents.mid(at, 4096).leftJustified(4096, '\0');
        if (block.count('\0') != block.size())
            stream += number(at) + block;
    }
    stream += number(contents.size());
    return XXH3_64bits(stream.constData(), size_t(stream.size()));
}

// Writes the contents, leaving blocks of zeros as holes.
bool WriteLaidOut(const QByteArray &path, const QByteArray &contents)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::ftruncate(fd, contents.size()) == 0;
    for (qint64 at = 0; ok && at < contents.size(); at += 4096) {
        const QByteArray block = contents.mid(at, 4096);
        if (block.count('\0') != block.size())
            ok = ::pwrite(fd, block.constData(), size_t(block.size()), at) == block.size();
    }
    return fd >= 0 && ::close(fd) == 0 && ok;
}

// "" when the call returned, else what it raised: "stopped" or the message.
QString Outcome(const std::function<void()> &call)
{
    try {
        call();
    } catch (const ECopyStopped &) {
        return QStringLiteral("stopped");
    } catch (const Exception &error) {
        return error.message();
    }
    return QString();
}

QString CopyInto(const QByteArray &source, const QByteArray &folder, CheckedCopyRecord &record,
                 const CheckedCopyOptions &options = {})
{
    return Outcome([&] { record = CopyFileChecked(source, folder, options); });
}

// The proof's answer, or what it raised.
QString Proof(const CheckedCopyRecord &record, const std::atomic<bool> *stop = nullptr)
{
    static const char *const names[] = {"Same", "CopyDiffers", "SourceChanged"};
    QString answer;
    const QString raised = Outcome([&] { answer = names[int(ProveCopy(record, stop))]; });
    return raised.isEmpty() ? answer : raised;
}

// An old last-write time: a change is then seen however coarse the clock.
bool SetOldTime(const QByteArray &path)
{
    const FileTime times[2] = {{1600000000, 0}, {1600000000, 500}};
    return ::utimensat(AT_FDCWD, path.constData(), times, 0) == 0;
}

} // namespace

class tst_CheckedCopy : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void copyKeepsContentsAndHoles_data();
    void copyKeepsContentsAndHoles();
    void proofCatchesChange_data();
    void proofCatchesChange();
    void failureKeepsPreviousCopy_data();
    void failureKeepsPreviousCopy();
    void ownerKeptAsRoot_data();
    void ownerKeptAsRoot();
    void readsAsTheOwner_data();
    void readsAsTheOwner();

private:
    std::unique_ptr<ScratchFolder> m_scratch;
    QByteArray m_src; // a source folder
    QByteArray m_dst; // an empty destination folder
};

void tst_CheckedCopy::init()
{
    ::umask(022);
    m_scratch = std::make_unique<ScratchFolder>();
    QVERIFY(m_scratch->IsValid());
    m_src = m_scratch->Path();
    m_dst = m_src + "dst/";
    QCOMPARE(::mkdir(m_dst.constData(), 0755), 0);
}

void tst_CheckedCopy::copyKeepsContentsAndHoles_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("sparse");
    QTest::addColumn<int>("maxRead");
    const QList<QPair<const char *, QByteArray>> contents = {
        {"empty", QByteArray()},
        {"partial last block", Pattern(10000, 'd')},
        {"hole between", Pattern(4096, 'f') + QByteArray(1 << 20, '\0') + Pattern(5000, 'g')},
        {"hole last", Pattern(5000, 'h') + QByteArray(65536, '\0')},
        {"zeros only", QByteArray(3 * 4096, '\0')},
        {"data late in a block", QByteArray(4000, '\0') + Pattern(300, 'i')},
    };
    for (const auto &[name, bytes] : contents) {
        QTest::addRow("%s, dense", name) << bytes << false << -1;
        QTest::addRow("%s, holes", name) << bytes << true << -1;
        QTest::addRow("%s, holes, short reads", name) << bytes << true << 1000; // off the blocks
        QTest::addRow("%s, dense, short reads", name) << bytes << false << 999;
    }
}

void tst_CheckedCopy::copyKeepsContentsAndHoles()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, sparse);
    QFETCH(int, maxRead);
    const QByteArray source = m_src + "f.dat";
    const QByteArray target = m_dst + "f.dat";
    QVERIFY(sparse ? WriteLaidOut(source, contents) : WriteFile(source, contents));
    const quint64 expected = ReferenceChecksum(contents);
    PlannedIo planned{size_t(maxRead)}; // -1: as long as asked
    QCOMPARE(ContentChecksum(source), expected);
    io.bytesRead = 0;
    CheckedCopyRecord record;
    QCOMPARE(CopyInto(source, m_dst, record), QString());
    const qint64 bytesRead = io.bytesRead;
    QCOMPARE(record.Checksum, expected);
    QCOMPARE(record.BytesRead, qint64(contents.size()));
    QVERIFY(ReadFile(target) == contents);
    QCOMPARE(Proof(record), QStringLiteral("Same"));
    struct stat before, after;
    QCOMPARE(::stat(source.constData(), &before), 0);
    QCOMPARE(::stat(target.constData(), &after), 0);
    if (!sparse || !contents.contains(QByteArray(4096, '\0')))
        return; // no holes to keep
    if (qint64(before.st_blocks) * 512 >= contents.size() && !contents.isEmpty())
        QSKIP("this file system keeps no holes");
    // Only the data was read, and the copy takes no more room than the source.
    QCOMPARE_LE(bytesRead, qint64(before.st_blocks) * 512);
    QCOMPARE_LE(after.st_blocks, before.st_blocks + 8);
}

void tst_CheckedCopy::proofCatchesChange_data()
{
    QTest::addColumn<QByteArray>("change"); // "copy ..." on the copy, else on the source
    QTest::addColumn<bool>("duringCopy");
    QTest::addColumn<QString>("result");
    const QString differs("CopyDiffers"), changed("SourceChanged");
    QTest::newRow("copy: data changed") << QByteArray("copy write 70000") << false << differs;
    QTest::newRow("copy: data in the hole") << QByteArray("copy write 1100000") << false << differs;
    QTest::newRow("copy: zero byte appended") << QByteArray("copy extend") << false << differs;
    QTest::newRow("copy: removed") << QByteArray("copy remove") << false << differs;
    QTest::newRow("copy: a folder in its place") << QByteArray("copy folder") << false << differs;
    QTest::newRow("rewritten during the copy") << QByteArray("write 0") << true << changed;
    // Only what the copy saw at its end tells this one.
    QTest::newRow("grows during the copy, put back")
        << QByteArray("append, put back") << true << changed;
    QTest::newRow("grows after the copy, same time") << QByteArray("append") << false << changed;
    QTest::newRow("time one nanosecond later") << QByteArray("touch") << false << changed;
    QTest::newRow("replaced by an equal file") << QByteArray("replace") << false << changed;
    QTest::newRow("source removed") << QByteArray("remove") << false << changed;
    QTest::newRow("stopped") << QByteArray("stop") << false << QString("stopped");
}

void tst_CheckedCopy::proofCatchesChange()
{
    QFETCH(QByteArray, change);
    QFETCH(bool, duringCopy);
    QFETCH(QString, result);
    // 1 MiB of data, a hole of 64 KiB, then data to 2,100,000 bytes.
    const QByteArray contents =
        Pattern(1 << 20, 'p') + QByteArray(65536, '\0') + Pattern(2100000 - (1 << 20) - 65536, 'q');
    const QByteArray source = m_src + "f.dat";
    QVERIFY(WriteLaidOut(source, contents));
    QVERIFY(SetOldTime(source));
    const bool onCopy = change.startsWith("copy ");
    const QByteArray path = onCopy ? m_dst + "f.dat" : source;
    const QByteArray what = onCopy ? change.mid(5) : change;
    const auto act = [&] {
        if (what == "extend") {
            QCOMPARE(::truncate(path.constData(), contents.size() + 1), 0);
        } else if (what == "remove" || what == "folder") {
            QCOMPARE(::unlink(path.constData()), 0);
            if (what == "folder")
                QCOMPARE(::mkdir(path.constData(), 0755), 0);
        } else if (what == "touch") {
            const FileTime times[2] = {{0, UTIME_OMIT}, {1600000000, 501}};
            QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
        } else if (what == "replace") {
            QVERIFY(WriteFile(m_src + "new", contents));
            QVERIFY(SetOldTime(m_src + "new"));
            QCOMPARE(::rename(QByteArray(m_src + "new").constData(), path.constData()), 0);
        } else if (what != "stop") { // "write AT" or "append"
            const int append = what.startsWith("append") ? O_APPEND : 0;
            const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC | append);
            QCOMPARE(::pwrite(fd, "more", 4, append ? 0 : what.mid(6).toLongLong()), 4);
            QCOMPARE(::close(fd), 0);
        }
    };
    PlannedIo planned(size_t(-1), -1, -1,
                      [&](int call) { return duringCopy && call == 1 ? act() : void(); });
    CheckedCopyRecord record;
    qint64 told = 0;
    const CheckedCopyOptions options{nullptr, [&](qint64 done) { told = done; }, false};
    QCOMPARE(CopyInto(source, m_dst, record, options), QString());
    QCOMPARE(told, record.BytesRead);
    QCOMPARE(record.SourceChangedWhileCopying, duringCopy);
    if (!duringCopy)
        act();
    if (what == "append, put back")
        QCOMPARE(::truncate(path.constData(), contents.size()), 0);
    if (what.startsWith("append"))
        QVERIFY(SetOldTime(path)); // only the size tells, or nothing at all
    QVERIFY(FlushFolder(m_dst));
    const std::atomic<bool> stop = what == "stop";
    QCOMPARE(Proof(record, &stop), result);
    // A change of the source still leaves a whole copy of what was read.
    if (!onCopy)
        QCOMPARE(ContentChecksum(record.Target), record.Checksum);
}

void tst_CheckedCopy::failureKeepsPreviousCopy_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("readFailAt");
    QTest::addColumn<int>("writeFailAt");
    QTest::addColumn<int>("stopAfterChunks"); // -1: never
    QTest::addColumn<QString>("expected");
    const QByteArray file("f.dat");
    QTest::newRow("missing source")
        << QByteArray("missing") << -1 << -1 << -1 << QString("Cannot open file ");
    QTest::newRow("a later read fails") << file << 1 << -1 << -1 << QString("Stream read error");
    QTest::newRow("a write fails") << file << -1 << 1 << -1 << QString("Stream write error");
    QTest::newRow("stopped before the first chunk") << file << -1 << -1 << 0 << QString("stopped");
    QTest::newRow("stopped after the first chunk") << file << -1 << -1 << 1 << QString("stopped");
}

void tst_CheckedCopy::failureKeepsPreviousCopy()
{
    QFETCH(QByteArray, source);
    QFETCH(int, readFailAt);
    QFETCH(int, writeFailAt);
    QFETCH(int, stopAfterChunks);
    QFETCH(QString, expected);
    QVERIFY(WriteFile(m_src + "f.dat", Pattern(3 << 20)));
    QVERIFY(WriteFile(m_dst + source, "the previous copy"));
    const int descriptors = OpenDescriptorCount();
    std::atomic<bool> stop = stopAfterChunks == 0;
    int told = 0;
    const CheckedCopyOptions options{&stop, [&](qint64) { stop = ++told == stopAfterChunks; },
                                     false};
    PlannedIo planned(size_t(-1), readFailAt, writeFailAt);
    CheckedCopyRecord record;
    const QString outcome = CopyInto(m_src + source, m_dst, record, options);
    if (source == "missing")
        expected += QFile::decodeName(m_src + source);
    QCOMPARE(outcome, expected);
    if (stopAfterChunks >= 0)
        QCOMPARE(told, stopAfterChunks); // stopped within the current chunk
    QCOMPARE(ReadFile(m_dst + source), QByteArray("the previous copy"));
    QCOMPARE(ListFolder(m_dst), QByteArrayList{source});
    QCOMPARE(OpenDescriptorCount(), descriptors);
}

void tst_CheckedCopy::ownerKeptAsRoot_data()
{
    QTest::addColumn<bool>("keepOwner");
    QTest::addColumn<int>("mode"); // the source's
    QTest::addColumn<int>("expectedMode");
    QTest::newRow("kept: sticky, never set-user or set-group") << true << 07751 << 01751;
    QTest::newRow("kept: read-only, others may write") << true << 0466 << 0466;
    QTest::newRow("not kept: read and write added, umask") << false << 0444 << 0644;
    QTest::newRow("not kept: no special bits") << false << 04751 << 0751;
}

void tst_CheckedCopy::ownerKeptAsRoot()
{
    if (::geteuid() != 0)
        QSKIP("giving files away needs root");
    QFETCH(bool, keepOwner);
    QFETCH(int, mode);
    QFETCH(int, expectedMode);
    const QByteArray source = m_src + "f.dat";
    QVERIFY(WriteFile(source, Pattern(9000)));
    QCOMPARE(::chown(source.constData(), 12345, 23456), 0);
    QCOMPARE(::chmod(source.constData(), mode_t(mode)), 0);
    CheckedCopyRecord record;
    QCOMPARE(CopyInto(source, m_dst, record, {nullptr, {}, keepOwner}), QString());
    struct stat copied;
    QCOMPARE(::stat(record.Target.constData(), &copied), 0);
    QCOMPARE(QList<uint>({copied.st_uid, copied.st_gid, copied.st_mode & 07777}),
             QList<uint>({keepOwner ? 12345u : ::geteuid(), keepOwner ? 23456u : ::getegid(),
                          uint(expectedMode)}));
}

void tst_CheckedCopy::readsAsTheOwner_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("copied");
    QTest::newRow("the owner's own private file") << QByteArray("own.dat") << true;
    QTest::newRow("a link to a file only root may read") << QByteArray("link.dat") << false;
}

void tst_CheckedCopy::readsAsTheOwner()
{
    if (::geteuid() != 0)
        QSKIP("reading as another user needs root");
    QFETCH(QByteArray, name);
    QFETCH(bool, copied);
    // The scratch folder is root's; the user must be able to pass through.
    QCOMPARE(::chmod(m_src.chopped(1).constData(), 0755), 0);
    const FsIdentity nobody{65534, 65534, {}};
    QVERIFY(WriteFile(m_src + "own.dat", "the owner's mail"));
    QCOMPARE(::chown(QByteArray(m_src + "own.dat").constData(), nobody.Uid, nobody.Gid), 0);
    QCOMPARE(::chmod(QByteArray(m_src + "own.dat").constData(), 0600), 0);
    QVERIFY(WriteFile(m_src + "secret", "root's secret"));
    QCOMPARE(::chmod(QByteArray(m_src + "secret").constData(), 0600), 0);
    QCOMPARE(::symlink("secret", QByteArray(m_src + "link.dat").constData()), 0);
    gid_t groupsBefore[64];
    const int countBefore = ::getgroups(64, groupsBefore);

    CheckedCopyRecord record;
    CheckedCopyOptions options;
    options.ReadAs = &nobody;
    const QString raised = CopyInto(m_src + name, m_dst, record, options);
    if (copied) {
        QCOMPARE(raised, QString());
        QCOMPARE(ReadFile(m_dst + name), QByteArray("the owner's mail"));
    } else {
        QCOMPARE(raised, "Cannot open file " + QFile::decodeName(m_src + name));
        QCOMPARE(ListFolder(m_dst), QByteArrayList());
    }
    // The thread is root again, with its own groups.
    QCOMPARE(::setfsuid(uid_t(-1)), 0);
    QCOMPARE(::setfsgid(gid_t(-1)), 0);
    gid_t groupsAfter[64];
    QCOMPARE(::getgroups(64, groupsAfter), countBefore);
    QVERIFY(std::equal(groupsBefore, groupsBefore + qMax(countBefore, 0), groupsAfter));
}

QTEST_GUILESS_MAIN(tst_CheckedCopy)
#include "tst_CheckedCopy.moc"
