// CopyFileChecked / ProveCopy: the checksum's independence of holes, sparse
// copies, what the proof catches, stopping, and the owner kept as root.
#include "CheckedCopy.h"
#include "CopyIo.h"
#include "EStreamError.h"
#include "FileTestSupport.h"
#include "FileUtil.h"

#include <QFile>
#include <QTest>

#include <xxhash.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FileUtil;
using namespace FileTest;

namespace {

// What the substitute read and write calls do.
struct IoPlan
{
    size_t maxRead = size_t(-1);
    int readFailAt = -1;
    int writeFailAt = -1;
    std::function<void(int call)> beforeRead; // told the number of the read
    int reads = 0;
    int writes = 0;
    qint64 bytesRead = 0;
};
IoPlan io;

ssize_t PlannedRead(int fd, void *buffer, size_t count)
{
    const int call = io.reads++;
    if (io.beforeRead)
        io.beforeRead(call);
    if (call == io.readFailAt) {
        errno = EIO;
        return -1;
    }
    const ssize_t got = ::read(fd, buffer, qMin(count, io.maxRead));
    if (got > 0)
        io.bytesRead += got;
    return got;
}

ssize_t PlannedWrite(int fd, const void *buffer, size_t count)
{
    if (io.writes++ == io.writeFailAt) {
        errno = ENOSPC;
        return -1;
    }
    return ::write(fd, buffer, count);
}

// Puts the planned calls in place for one scope.
class PlannedIo
{
public:
    explicit PlannedIo(IoPlan plan) : m_saved(CurrentCopyIo())
    {
        io = std::move(plan);
        CurrentCopyIo() = CopyIo{&PlannedRead, &PlannedWrite};
    }
    ~PlannedIo()
    {
        CurrentCopyIo() = m_saved;
        io.beforeRead = nullptr;
    }

private:
    CopyIo m_saved;
};

// The checksum as its definition states it, built in one piece.
quint64 ReferenceChecksum(const QByteArray &contents)
{
    const auto number = [](qint64 value) {
        QByteArray bytes(8, '\0');
        for (int i = 0; i < 8; ++i)
            bytes[i] = char(quint64(value) >> (8 * i));
        return bytes;
    };
    QByteArray stream;
    for (qint64 at = 0; at < contents.size(); at += 4096) {
        QByteArray block = contents.mid(at, 4096);
        block.append(QByteArray(4096 - block.size(), '\0'));
        if (block.count('\0') != block.size())
            stream += number(at) + block;
    }
    stream += number(contents.size());
    return XXH3_64bits(stream.constData(), size_t(stream.size()));
}

// Writes the contents as a file of their length. Sparse: blocks of zeros
// are left as holes; otherwise every byte is written.
bool WriteLaidOut(const QByteArray &path, const QByteArray &contents, bool sparse)
{
    if (!sparse)
        return WriteFile(path, contents);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, contents.size()) == 0;
    for (qint64 at = 0; ok && at < contents.size(); at += 4096) {
        const QByteArray block = contents.mid(at, 4096);
        if (block.count('\0') != block.size())
            ok = ::pwrite(fd, block.constData(), size_t(block.size()), at) == block.size();
    }
    return ::close(fd) == 0 && ok;
}

// Data pieces at offsets of a sparse file of the given size.
using Pieces = QList<QPair<qint64, QByteArray>>;

bool WriteSparse(const QByteArray &path, qint64 size, const Pieces &pieces)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, size) == 0;
    for (const auto &piece : pieces)
        ok = ok && ::pwrite(fd, piece.second.constData(), size_t(piece.second.size()),
                            piece.first) == piece.second.size();
    return ::close(fd) == 0 && ok;
}

QByteArray ReadAt(const QByteArray &path, qint64 offset, qsizetype count)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    QByteArray data(count, '\0');
    const bool ok = fd >= 0 && ::pread(fd, data.data(), size_t(count), offset) == count;
    if (fd >= 0)
        ::close(fd);
    return ok ? data : QByteArray();
}

// The class and message of what the call raised; "" when it returned.
QString Outcome(const std::function<void()> &call)
{
    try {
        call();
    } catch (const ECopyStopped &) {
        return QStringLiteral("ECopyStopped");
    } catch (const EFOpenError &error) {
        return QStringLiteral("EFOpenError: ") + error.message();
    } catch (const EReadError &error) {
        return QStringLiteral("EReadError: ") + error.message();
    } catch (const EWriteError &error) {
        return QStringLiteral("EWriteError: ") + error.message();
    } catch (const Exception &error) {
        return QStringLiteral("other: ") + error.message();
    }
    return QString();
}

const char *Name(ProofResult result)
{
    switch (result) {
    case ProofResult::Same:
        return "Same";
    case ProofResult::CopyDiffers:
        return "CopyDiffers";
    case ProofResult::SourceChanged:
        return "SourceChanged";
    }
    return "?";
}

// An old last-write time: a change made during a test is then always seen,
// however coarse the file system's clock.
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

    void checksumIgnoresLayout_data();
    void checksumIgnoresLayout();
    void sparseStaysSparse_data();
    void sparseStaysSparse();
    void proofCatchesAlteredCopy_data();
    void proofCatchesAlteredCopy();
    void proofCatchesChangedSource_data();
    void proofCatchesChangedSource();
    void stopRemovesPartialCopy_data();
    void stopRemovesPartialCopy();
    void ownerKeptAsRoot_data();
    void ownerKeptAsRoot();
    void failuresLikeCopyFileTo_data();
    void failuresLikeCopyFileTo();

private:
    std::unique_ptr<ScratchFolder> m_scratch;
    QByteArray m_src; // a source folder
    QByteArray m_dst; // an empty destination folder
};

void tst_CheckedCopy::init()
{
    m_scratch.reset();
    m_scratch = std::make_unique<ScratchFolder>();
    QVERIFY(m_scratch->IsValid());
    m_src = m_scratch->Path() + "src/";
    m_dst = m_scratch->Path() + "dst/";
    QCOMPARE(::mkdir(m_src.constData(), 0755), 0);
    QCOMPARE(::mkdir(m_dst.constData(), 0755), 0);
}

void tst_CheckedCopy::checksumIgnoresLayout_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("sparse");
    QTest::addColumn<int>("maxRead"); // -1: reads as long as asked
    const QByteArray zeros(3 * 4096, '\0');
    const QList<QPair<const char *, QByteArray>> contents = {
        {"empty", QByteArray()},
        {"one byte", QByteArray("x")},
        {"one block", Pattern(4096, 'c')},
        {"partial last block", Pattern(10000, 'd')},
        {"hole first", zeros + Pattern(100, 'e')},
        {"hole between", Pattern(4096, 'f') + QByteArray(1 << 20, '\0') + Pattern(5000, 'g')},
        {"hole last", Pattern(5000, 'h') + QByteArray(65536, '\0')},
        {"zeros only", zeros},
        {"zeros inside a block", Pattern(100) + QByteArray(200, '\0') + Pattern(4000, 'i')},
    };
    for (const auto &[name, bytes] : contents) {
        QTest::addRow("%s, dense", name) << bytes << false << -1;
        QTest::addRow("%s, holes", name) << bytes << true << -1;
        // Chunks that end off the blocks' bounds.
        QTest::addRow("%s, holes, short reads", name) << bytes << true << 1000;
        QTest::addRow("%s, dense, short reads", name) << bytes << false << 999;
    }
}

void tst_CheckedCopy::checksumIgnoresLayout()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, sparse);
    QFETCH(int, maxRead);
    const QByteArray source = m_src + "f.dat";
    QVERIFY(WriteLaidOut(source, contents, sparse));
    const quint64 expected = ReferenceChecksum(contents);
    IoPlan plan;
    plan.maxRead = maxRead < 0 ? size_t(-1) : size_t(maxRead);
    PlannedIo planned(plan);
    QCOMPARE(ContentChecksum(source), expected);
    CheckedCopyRecord record;
    QCOMPARE(Outcome([&] { record = CopyFileChecked(source, m_dst); }), QString());
    QCOMPARE(record.Checksum, expected);
    QCOMPARE(record.BytesRead, qint64(contents.size()));
    QVERIFY(ReadFile(m_dst + "f.dat") == contents);
    QCOMPARE(ContentChecksum(m_dst + "f.dat"), expected);
    QCOMPARE(Name(ProveCopy(record)), "Same");
}

void tst_CheckedCopy::sparseStaysSparse_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<Pieces>("pieces");
    const qint64 mib = 1 << 20;
    QTest::newRow("nothing but a hole") << 64 * mib << Pieces{};
    QTest::newRow("4 KiB at the start") << 64 * mib << Pieces{{0, Pattern(4096)}};
    QTest::newRow("at both ends") << 64 * mib
                                  << Pieces{{0, Pattern(4096, 'b')},
                                            {64 * mib - 4096, Pattern(4096, 'c')}};
    QTest::newRow("islands, unaligned") << 40 * mib
                                        << Pieces{{5000, Pattern(300, 'd')},
                                                  {9 * mib + 1, Pattern(70000, 'e')},
                                                  {20 * mib, Pattern(3 * mib, 'f')}};
    QTest::newRow("1 GiB, data at the end")
        << 1024 * mib << Pieces{{1024 * mib - 100, Pattern(100, 'g')}};
}

void tst_CheckedCopy::sparseStaysSparse()
{
    QFETCH(qint64, size);
    QFETCH(Pieces, pieces);
    const QByteArray source = m_src + "sparse.dat";
    const QByteArray target = m_dst + "sparse.dat";
    QVERIFY(WriteSparse(source, size, pieces));
    struct stat before;
    QCOMPARE(::stat(source.constData(), &before), 0);
    if (qint64(before.st_blocks) * 512 >= size && size > 0)
        QSKIP("this file system keeps no holes");

    PlannedIo planned(IoPlan{});
    CheckedCopyRecord record;
    QCOMPARE(Outcome([&] { record = CopyFileChecked(source, m_dst); }), QString());
    // Only the data was read, and the copy takes no more room than the source.
    QVERIFY2(io.bytesRead <= qint64(before.st_blocks) * 512,
             qPrintable(QString::number(io.bytesRead)));
    struct stat after;
    QCOMPARE(::stat(target.constData(), &after), 0);
    QCOMPARE(qint64(after.st_size), size);
    QVERIFY2(
        after.st_blocks <= before.st_blocks + 8,
        qPrintable(
            QStringLiteral("%1 blocks, source %2").arg(after.st_blocks).arg(before.st_blocks)));
    for (const auto &piece : pieces)
        QCOMPARE(ReadAt(target, piece.first, piece.second.size()), piece.second);
    QCOMPARE(record.BytesRead, size);
    QCOMPARE(record.Checksum, ContentChecksum(source));
    QCOMPARE(Name(ProveCopy(record)), "Same");
}

void tst_CheckedCopy::proofCatchesAlteredCopy_data()
{
    QTest::addColumn<QByteArray>("change"); // what is done to the copy
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("untouched") << QByteArray("none") << QByteArray("Same");
    QTest::newRow("one byte changed") << QByteArray("byte 70000") << QByteArray("CopyDiffers");
    QTest::newRow("first byte changed") << QByteArray("byte 0") << QByteArray("CopyDiffers");
    QTest::newRow("last byte changed") << QByteArray("byte 2099999") << QByteArray("CopyDiffers");
    QTest::newRow("data written into the hole")
        << QByteArray("byte 1100000") << QByteArray("CopyDiffers");
    QTest::newRow("truncated by one byte") << QByteArray("truncate") << QByteArray("CopyDiffers");
    QTest::newRow("one zero byte appended") << QByteArray("extend") << QByteArray("CopyDiffers");
    QTest::newRow("removed") << QByteArray("remove") << QByteArray("CopyDiffers");
    QTest::newRow("a folder in its place") << QByteArray("folder") << QByteArray("CopyDiffers");
}

void tst_CheckedCopy::proofCatchesAlteredCopy()
{
    QFETCH(QByteArray, change);
    QFETCH(QByteArray, result);
    // 1 MiB of data, a hole of 64 KiB, then data to 2,100,000 bytes.
    const QByteArray source = m_src + "f.dat";
    const qint64 size = 2100000;
    QVERIFY(WriteSparse(
        source, size,
        {{0, Pattern(1 << 20, 'p')}, {(1 << 20) + 65536, Pattern(size - (1 << 20) - 65536, 'q')}}));
    CheckedCopyRecord record;
    QCOMPARE(Outcome([&] { record = CopyFileChecked(source, m_dst); }), QString());
    const QByteArray copy = record.Target;
    QCOMPARE(copy, m_dst + "f.dat");

    if (change.startsWith("byte ")) {
        const qint64 at = change.mid(5).toLongLong();
        QByteArray byte = ReadAt(copy, at, 1);
        QCOMPARE(byte.size(), 1);
        byte[0] = char(byte[0] ^ 0x5a);
        const int fd = ::open(copy.constData(), O_WRONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        QCOMPARE(::pwrite(fd, byte.constData(), 1, at), ssize_t(1));
        QCOMPARE(::close(fd), 0);
    } else if (change == "truncate") {
        QCOMPARE(::truncate(copy.constData(), size - 1), 0);
    } else if (change == "extend") {
        QCOMPARE(::truncate(copy.constData(), size + 1), 0);
    } else if (change == "remove") {
        QCOMPARE(::unlink(copy.constData()), 0);
    } else if (change == "folder") {
        QCOMPARE(::unlink(copy.constData()), 0);
        QCOMPARE(::mkdir(copy.constData(), 0755), 0);
    }
    QVERIFY(FlushFolder(m_dst));
    QCOMPARE(Name(ProveCopy(record)), result.constData());
}

void tst_CheckedCopy::proofCatchesChangedSource_data()
{
    QTest::addColumn<QByteArray>("change"); // what happens to the source
    QTest::addColumn<bool>("duringCopy");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("left alone") << QByteArray("none") << false << QByteArray("Same");
    QTest::newRow("grows during the copy")
        << QByteArray("append") << true << QByteArray("SourceChanged");
    QTest::newRow("rewritten in place during the copy")
        << QByteArray("rewrite") << true << QByteArray("SourceChanged");
    // Only what the copy saw at its end tells this one.
    QTest::newRow("grows during the copy, then put back")
        << QByteArray("append, put back") << true << QByteArray("SourceChanged");
    QTest::newRow("grows after the copy")
        << QByteArray("append") << false << QByteArray("SourceChanged");
    QTest::newRow("rewritten in place after the copy")
        << QByteArray("rewrite") << false << QByteArray("SourceChanged");
    QTest::newRow("time one nanosecond later")
        << QByteArray("touch") << false << QByteArray("SourceChanged");
    QTest::newRow("replaced by an equal file")
        << QByteArray("replace") << false << QByteArray("SourceChanged");
    QTest::newRow("removed") << QByteArray("remove") << false << QByteArray("SourceChanged");
}

void tst_CheckedCopy::proofCatchesChangedSource()
{
    QFETCH(QByteArray, change);
    QFETCH(bool, duringCopy);
    QFETCH(QByteArray, result);
    const QByteArray source = m_src + "f.dat";
    const QByteArray contents = Pattern(5 * (1 << 20) / 2, 's'); // several chunks
    QVERIFY(WriteFile(source, contents));
    QVERIFY(SetOldTime(source));
    const auto act = [&] {
        if (change == "append" || change == "rewrite" || change == "append, put back") {
            const bool append = change.startsWith("append");
            const int fd =
                ::open(source.constData(), O_WRONLY | O_CLOEXEC | (append ? O_APPEND : 0));
            if (fd < 0 || ::pwrite(fd, "more", 4, 0) != 4)
                qFatal("cannot change the source");
            ::close(fd);
        } else if (change == "touch") {
            const FileTime times[2] = {{0, UTIME_OMIT}, {1600000000, 501}};
            QCOMPARE(::utimensat(AT_FDCWD, source.constData(), times, 0), 0);
        } else if (change == "replace") {
            QVERIFY(WriteFile(m_src + "new", contents));
            QVERIFY(SetOldTime(m_src + "new"));
            QCOMPARE(::rename((m_src + "new").constData(), source.constData()), 0);
        } else if (change == "remove") {
            QCOMPARE(::unlink(source.constData()), 0);
        }
    };

    IoPlan plan;
    if (duringCopy)
        plan.beforeRead = [&](int call) {
            if (call == 1)
                act();
        };
    CheckedCopyRecord record;
    {
        PlannedIo planned(plan);
        QCOMPARE(Outcome([&] { record = CopyFileChecked(source, m_dst); }), QString());
    }
    QCOMPARE(record.SourceChangedWhileCopying, duringCopy);
    if (!duringCopy)
        act();
    if (change == "append, put back") {
        QCOMPARE(::truncate(source.constData(), contents.size()), 0);
        QVERIFY(SetOldTime(source));
    }
    QVERIFY(FlushFolder(m_dst));
    QCOMPARE(Name(ProveCopy(record)), result.constData());
    // A change during the copy still leaves a whole copy of what was read.
    QCOMPARE(ContentChecksum(record.Target), record.Checksum);
}

void tst_CheckedCopy::stopRemovesPartialCopy_data()
{
    QTest::addColumn<int>("stopAfterChunks"); // -1: during the proof
    QTest::addColumn<int>("chunksTold");
    QTest::newRow("before the first chunk") << 0 << 0;
    QTest::newRow("after the first chunk") << 1 << 1;
    QTest::newRow("after the second chunk") << 2 << 2;
    QTest::newRow("during the proof") << -1 << 3;
}

void tst_CheckedCopy::stopRemovesPartialCopy()
{
    QFETCH(int, stopAfterChunks);
    QFETCH(int, chunksTold);
    const QByteArray source = m_src + "f.dat";
    const qint64 size = qint64(CheckedCopyBufferSize) * 2 + 10;
    QVERIFY(WriteFile(source, Pattern(size)));
    QVERIFY(WriteFile(m_dst + "f.dat", "the previous copy"));
    std::atomic<bool> stop = stopAfterChunks == 0;
    QList<qint64> told;
    CheckedCopyOptions options;
    options.Stop = &stop;
    options.Progress = [&](qint64 done) {
        told.append(done);
        if (told.size() == stopAfterChunks)
            stop = true;
    };
    CheckedCopyRecord record;
    const QString copied = Outcome([&] { record = CopyFileChecked(source, m_dst, options); });
    QCOMPARE(told.size(), chunksTold);
    if (stopAfterChunks >= 0) {
        QCOMPARE(copied, QStringLiteral("ECopyStopped"));
        QCOMPARE(ReadFile(m_dst + "f.dat"), QByteArray("the previous copy"));
    } else {
        QCOMPARE(copied, QString());
        QCOMPARE(told.last(), size);
        stop = true;
        QCOMPARE(Outcome([&] { ProveCopy(record, &stop); }), QStringLiteral("ECopyStopped"));
        QVERIFY(ReadFile(m_dst + "f.dat") == Pattern(size));
    }
    QCOMPARE(ListFolder(m_dst), QByteArrayList{"f.dat"});
}

void tst_CheckedCopy::ownerKeptAsRoot_data()
{
    QTest::addColumn<bool>("keepOwner");
    QTest::addColumn<int>("mode");         // the source's
    QTest::addColumn<bool>("owned");       // the copy gets the source's owner and group
    QTest::addColumn<int>("expectedMode"); // the umask is 022
    QTest::newRow("kept: owner, group, mode") << true << 0640 << true << 0640;
    QTest::newRow("kept: set-user and sticky bits") << true << 04751 << true << 04751;
    QTest::newRow("kept: read-only, others may write") << true << 0466 << true << 0466;
    QTest::newRow("not kept: read and write added, umask") << false << 0444 << false << 0644;
    QTest::newRow("not kept: no special bits") << false << 04751 << false << 0751;
}

void tst_CheckedCopy::ownerKeptAsRoot()
{
    if (::geteuid() != 0)
        QSKIP("giving files away needs root");
    QFETCH(bool, keepOwner);
    QFETCH(int, mode);
    QFETCH(bool, owned);
    QFETCH(int, expectedMode);
    const QByteArray source = m_src + "f.dat";
    QVERIFY(WriteFile(source, Pattern(9000)));
    const uid_t uid = 12345;
    const gid_t gid = 23456;
    QCOMPARE(::chown(source.constData(), uid, gid), 0);
    QCOMPARE(::chmod(source.constData(), mode_t(mode)), 0);
    CheckedCopyOptions options;
    options.KeepOwner = keepOwner;
    const mode_t savedMask = ::umask(022);
    const QString outcome = Outcome([&] { CopyFileChecked(source, m_dst, options); });
    ::umask(savedMask);
    QCOMPARE(outcome, QString());
    struct stat copied;
    QCOMPARE(::stat((m_dst + "f.dat").constData(), &copied), 0);
    QCOMPARE(copied.st_uid, owned ? uid : ::geteuid());
    QCOMPARE(copied.st_gid, owned ? gid : ::getegid());
    QCOMPARE(int(copied.st_mode & 07777), expectedMode);
}

void tst_CheckedCopy::failuresLikeCopyFileTo_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("readFailAt");
    QTest::addColumn<int>("writeFailAt");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing source")
        << QByteArray("missing") << -1 << -1 << QStringLiteral("EFOpenError: Cannot open file ");
    QTest::newRow("first read fails")
        << QByteArray("f.dat") << 0 << -1 << QStringLiteral("EReadError: Stream read error");
    QTest::newRow("a later read fails")
        << QByteArray("f.dat") << 1 << -1 << QStringLiteral("EReadError: Stream read error");
    QTest::newRow("a write fails")
        << QByteArray("f.dat") << -1 << 1 << QStringLiteral("EWriteError: Stream write error");
}

void tst_CheckedCopy::failuresLikeCopyFileTo()
{
    QFETCH(QByteArray, source);
    QFETCH(int, readFailAt);
    QFETCH(int, writeFailAt);
    QFETCH(QString, expected);
    QVERIFY(WriteFile(m_src + "f.dat", Pattern(3 << 20)));
    QVERIFY(WriteFile(m_dst + source, "the previous copy"));
    const int descriptors = OpenDescriptorCount();
    IoPlan plan;
    plan.readFailAt = readFailAt;
    plan.writeFailAt = writeFailAt;
    QString outcome;
    {
        PlannedIo planned(plan);
        outcome = Outcome([&] { CopyFileChecked(m_src + source, m_dst); });
    }
    if (expected.startsWith(QLatin1String("EFOpenError")))
        expected += QFile::decodeName(m_src + source);
    QCOMPARE(outcome, expected);
    QCOMPARE(ReadFile(m_dst + source), QByteArray("the previous copy"));
    QCOMPARE(ListFolder(m_dst), QByteArrayList{source});
    QCOMPARE(OpenDescriptorCount(), descriptors);
}

QTEST_GUILESS_MAIN(tst_CheckedCopy)
#include "tst_CheckedCopy.moc"
