#include "MoveChecks.h"

#include "FileTestSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using MoveChecks::SourceFile;

namespace {

constexpr qint64 KiB = 1024;
constexpr qint64 MiB = 1024 * KiB;
constexpr qint64 GiB = 1024 * MiB;

QList<SourceFile> Files(const QByteArrayList &names, qint64 size = 0)
{
    QList<SourceFile> files;
    for (const QByteArray &name : names)
        files.append({name, size, size});
    return files;
}

// "" for a passed check, otherwise "refused: " and the text, so that a
// result crossing from a child process keeps both apart.
QByteArray Outcome(const QString &text)
{
    return text.isEmpty() ? QByteArray() : "refused: " + text.toUtf8();
}

// Every entry below folder, recursively, as paths relative to it.
QByteArrayList Tree(const QByteArray &folder, const QByteArray &prefix = QByteArray())
{
    QByteArrayList all;
    for (const QByteArray &name : FileTest::ListFolder(folder + prefix)) {
        all.append(prefix + name);
        struct stat st;
        if (::lstat((folder + prefix + name).constData(), &st) == 0 && S_ISDIR(st.st_mode))
            all += Tree(folder, prefix + name + '/');
    }
    return all;
}

// Runs a program to its end; its exit code, or -1 when it did not run.
int Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Mounts a small file system of the given kind at mountPoint in the calling
// (private) mount namespace: "" on success, otherwise "SKIP: " and why.
QByteArray MountSmall(const QByteArray &kind, const QByteArray &mountPoint, const QByteArray &image)
{
    if (kind == "tmpfs")
        return ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m") == 0
                   ? QByteArray()
                   : QByteArrayLiteral("SKIP: tmpfs cannot be mounted here");
    // vfat through FUSE: the only case-insensitive file system a kernel
    // without Unicode folding offers.
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return QByteArrayLiteral("SKIP: no /dev/fuse");
    const QString mkfs = QStandardPaths::findExecutable(
        QStringLiteral("mkfs.vfat"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    const QString fusefat = QStandardPaths::findExecutable(QStringLiteral("fusefat"));
    if (mkfs.isEmpty() || fusefat.isEmpty())
        return QByteArrayLiteral("SKIP: mkfs.vfat (dosfstools) or fusefat is not installed");
    if (Run(mkfs, {QStringLiteral("-C"), QFile::decodeName(image), QStringLiteral("2048")}) != 0)
        return QByteArrayLiteral("SKIP: mkfs.vfat failed");
    if (Run(fusefat, {QStringLiteral("-o"), QStringLiteral("rw+"), QFile::decodeName(image),
                      QFile::decodeName(mountPoint)}) != 0)
        return QByteArrayLiteral("SKIP: fusefat cannot mount here");
    return QByteArray();
}

// Ends the mount; the FUSE server then ends by itself.
void Unmount(const QByteArray &mountPoint)
{
    if (::umount2(mountPoint.constData(), 0) != 0)
        ::umount2(mountPoint.constData(), MNT_DETACH);
}

} // namespace

class tst_MoveChecks : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void targetText_data();
    void targetText();
    void targetProbe_data();
    void targetProbe();
    void writeAccess_data();
    void writeAccess();
    void spaceVerdict_data();
    void spaceVerdict();
    void spaceOnSmallFileSystem_data();
    void spaceOnSmallFileSystem();
    void createEveryName_data();
    void createEveryName();
    void nameClashes_data();
    void nameClashes();
    void writers_data();
    void writers();
    void foreignFiles_data();
    void foreignFiles();
    void settingsFile_data();
    void settingsFile();

private:
    std::unique_ptr<FileTest::ScratchFolder> m_scratch;
    QByteArray m_root; // the scratch folder, ending in "/"
};

void tst_MoveChecks::init()
{
    m_scratch = std::make_unique<FileTest::ScratchFolder>();
    QVERIFY(m_scratch->IsValid());
    m_root = m_scratch->Path();
}

void tst_MoveChecks::cleanup()
{
    m_scratch.reset();
}

void tst_MoveChecks::targetText_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("refusal"); // a part of the text; "" when accepted

    QTest::newRow("absolute") << QByteArray("/srv/mail") << QString();
    QTest::newRow("root") << QByteArray("/") << QString();
    QTest::newRow("inner blanks") << QByteArray("/srv/my mail\tdata") << QString();
    QTest::newRow("not valid UTF-8") << QByteArray("/srv/\xff\xfe") << QString();
    QTest::newRow("empty") << QByteArray() << QString("enter the new location");
    QTest::newRow("blanks only") << QByteArray("  ") << QString("enter the new location");
    QTest::newRow("relative") << QByteArray("srv/mail") << QString("not a full path");
    QTest::newRow("dot relative") << QByteArray("./mail") << QString("not a full path");
    QTest::newRow("leading space") << QByteArray(" /srv/mail") << QString("starts or ends");
    QTest::newRow("trailing space") << QByteArray("/srv/mail ") << QString("starts or ends");
    QTest::newRow("trailing tab") << QByteArray("/srv/mail\t") << QString("starts or ends");
    QTest::newRow("line break") << QByteArray("/srv/a\nb") << QString("line break");
    QTest::newRow("NUL") << QByteArray("/srv/a\0b", 8) << QString("NUL");
    QTest::newRow("2047 bytes") << "/" + QByteArray(2046, 'x') << QString();
    QTest::newRow("2048 bytes") << "/" + QByteArray(2047, 'x') << QString("2048 bytes long");
}

void tst_MoveChecks::targetText()
{
    QFETCH(QByteArray, target);
    QFETCH(QString, refusal);
    const QString text = MoveChecks::CheckTargetText(target);
    if (refusal.isEmpty())
        QCOMPARE(text, QString());
    else
        QVERIFY2(text.contains(refusal, Qt::CaseInsensitive), qPrintable(text));
}

void tst_MoveChecks::targetProbe_data()
{
    QTest::addColumn<QByteArray>("existing");   // folders made before, "" for none
    QTest::addColumn<QByteArray>("target");     // below the scratch folder
    QTest::addColumn<QByteArray>("fileInside"); // put into this level meanwhile
    QTest::addColumn<QString>("error");
    QTest::addColumn<QByteArrayList>("leftAfter");

    QTest::newRow("existing") << QByteArray("a") << QByteArray("a") << QByteArray() << QString()
                              << QByteArrayList{"a"};
    QTest::newRow("two levels missing") << QByteArray("a") << QByteArray("a/b/c/") << QByteArray()
                                        << QString() << QByteArrayList{"a"};
    QTest::newRow("doubled slashes")
        << QByteArray() << QByteArray("a//b") << QByteArray() << QString() << QByteArrayList{};
    QTest::newRow("a level gains a file")
        << QByteArray() << QByteArray("a/b/c") << QByteArray("a/b") << QString()
        << QByteArrayList{"a", "a/b", "a/b/file"};
    QTest::newRow("a level cannot be made")
        << QByteArray() << QByteArray("/proc/self/flitto/b") << QByteArray()
        << QString("Cannot create the folder /proc/self/flitto (") << QByteArrayList{};
    QTest::newRow("the target is a file")
        << QByteArray("<file>") << QByteArray("f/") << QByteArray()
        << QString("f/ is a file, not a folder") << QByteArrayList{"f"};
    QTest::newRow("a level is a file") << QByteArray("<file>") << QByteArray("f/b") << QByteArray()
                                       << QString("cannot be created: ") << QByteArrayList{"f"};
}

void tst_MoveChecks::targetProbe()
{
    QFETCH(QByteArray, existing);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, fileInside);
    QFETCH(QString, error);
    QFETCH(QByteArrayList, leftAfter);

    if (existing == "<file>")
        QVERIFY(FileTest::WriteFile(m_root + "f", "x"));
    else if (!existing.isEmpty())
        QCOMPARE(::mkdir((m_root + existing).constData(), 0755), 0);
    {
        if (!target.startsWith('/'))
            target.prepend(m_root);
        const MoveChecks::TargetProbe probe(target);
        if (!error.isEmpty()) {
            QVERIFY2(probe.Error().contains(error), qPrintable(probe.Error()));
        } else {
            QCOMPARE(probe.Error(), QString());
            struct stat st;
            QCOMPARE(::stat(target.constData(), &st), 0);
            QVERIFY(S_ISDIR(st.st_mode));
        }
        if (!fileInside.isEmpty())
            QVERIFY(FileTest::WriteFile(m_root + fileInside + "/file", "x"));
    }
    QCOMPARE(Tree(m_root), leftAfter);
}

void tst_MoveChecks::writeAccess_data()
{
    QTest::addColumn<QByteArray>("target"); // "<scratch>" for a fresh folder
    QTest::addColumn<bool>("accepted");

    QTest::newRow("own folder") << QByteArray("<scratch>") << true;
    QTest::newRow("own folder with slash") << QByteArray("<scratch>/") << true;
    // /proc/self takes no new files, whoever asks (root included).
    QTest::newRow("proc") << QByteArray("/proc/self") << false;
    QTest::newRow("missing") << QByteArray("<scratch>/missing") << false;
}

void tst_MoveChecks::writeAccess()
{
    QFETCH(QByteArray, target);
    QFETCH(bool, accepted);
    target.replace("<scratch>/", m_root).replace("<scratch>", m_root.chopped(1));
    const QString text = MoveChecks::CheckWriteAccess(target);
    if (accepted) {
        QCOMPARE(text, QString());
    } else {
        QVERIFY2(text.contains(QFile::decodeName(target)), qPrintable(text));
    }
    QCOMPARE(Tree(m_root), QByteArrayList{}); // the probe is gone
}

void tst_MoveChecks::spaceVerdict_data()
{
    QTest::addColumn<QList<SourceFile>>("files");
    QTest::addColumn<QList<qint64>>("replaced");
    QTest::addColumn<qint64>("blockSize");
    QTest::addColumn<qint64>("available");
    QTest::addColumn<long>("fileSizeBits"); // pathconf's answer; -1 for none
    QTest::addColumn<qint64>("needed");
    QTest::addColumn<QString>("refusal");

    const QList<qint64> none;
    QTest::newRow("nothing") << QList<SourceFile>{} << none << 4096LL << 0LL << -1L << 0LL
                             << QString();
    QTest::newRow("fits exactly") << QList<SourceFile>{{"a", 4096, 4096}, {"b", 8192, 8192}} << none
                                  << 4096LL << 12288LL << 64L << 12288LL << QString();
    QTest::newRow("one block short")
        << QList<SourceFile>{{"a", 4096, 4096}, {"b", 8192, 8192}} << none << 4096LL << 8192LL
        << 64L << 12288LL << QString("not enough free space");
    QTest::newRow("rounded up to the target's clusters")
        << QList<SourceFile>{{"a", 100, 4096}, {"b", 5000, 8192}} << none << 32768LL << 65535LL
        << 32L << 65536LL << QString("not enough free space");
    QTest::newRow("sparse file by its blocks")
        << QList<SourceFile>{{"sparse", 10 * GiB, 4096}} << none << 4096LL << 8192LL << 64L
        << 4096LL << QString();
    QTest::newRow("no blocks reported: by size")
        << QList<SourceFile>{{"a", 10000, 0}} << none << 4096LL << 8192LL << 64L << 12288LL
        << QString("not enough free space");
    QTest::newRow("empty file") << QList<SourceFile>{{"a", 0, 0}} << none << 4096LL << 0LL << 64L
                                << 0LL << QString();
    // Replacing frees the old file only after the copy is written: the
    // largest replaced part stays needed on top.
    QTest::newRow("replaced files credited")
        << QList<SourceFile>{{"a", 8 * MiB, 8 * MiB}, {"b", 2 * MiB, 2 * MiB}}
        << QList<qint64>{8 * MiB, 2 * MiB} << 4096LL << 8 * MiB << 64L << 8 * MiB << QString();
    QTest::newRow("largest replaced file still needs room")
        << QList<SourceFile>{{"a", 8 * MiB, 8 * MiB}, {"b", 2 * MiB, 2 * MiB}}
        << QList<qint64>{8 * MiB, 2 * MiB} << 4096LL << 8 * MiB - 4096 << 64L << 8 * MiB
        << QString("not enough free space");
    QTest::newRow("smaller copy of a larger file")
        << QList<SourceFile>{{"a", 1 * MiB, 1 * MiB}, {"b", 1 * MiB, 1 * MiB}}
        << QList<qint64>{5 * MiB, 0} << 4096LL << 2 * MiB << 64L << 2 * MiB << QString();
    QTest::newRow("vfat holds 4 GiB less one byte")
        << QList<SourceFile>{{"big.db", 4 * GiB - 1, 4 * GiB}} << none << 32768LL << 8 * GiB << 32L
        << 4 * GiB << QString();
    QTest::newRow("vfat refuses 4 GiB")
        << QList<SourceFile>{{"small", 1, 4096}, {"big.db", 4 * GiB, 4 * GiB}} << none << 32768LL
        << 8 * GiB << 32L << 4 * GiB + 32768 << QString("big.db");
    QTest::newRow("no size limit reported")
        << QList<SourceFile>{{"big.db", 100 * GiB, 100 * GiB}} << none << 4096LL << 200 * GiB << -1L
        << 100 * GiB << QString();
}

void tst_MoveChecks::spaceVerdict()
{
    QFETCH(QList<SourceFile>, files);
    QFETCH(QList<qint64>, replaced);
    QFETCH(qint64, blockSize);
    QFETCH(qint64, available);
    QFETCH(long, fileSizeBits);
    QFETCH(qint64, needed);
    QFETCH(QString, refusal);

    QCOMPARE(MoveChecks::SpaceNeeded(files, replaced, blockSize), needed);
    MoveChecks::SpaceFigures figures;
    figures.Available = available;
    figures.BlockSize = blockSize;
    figures.MaxFileSize = MoveChecks::MaxFileSizeOfBits(fileSizeBits);
    const QString text = MoveChecks::SpaceVerdict("/mnt/new", files, replaced, figures);
    if (refusal.isEmpty()) {
        QCOMPARE(text, QString());
    } else {
        QVERIFY2(text.contains(refusal), qPrintable(text));
        QVERIFY2(text.contains("/mnt/new"), qPrintable(text));
    }
}

void tst_MoveChecks::spaceOnSmallFileSystem_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QList<SourceFile>>("files");
    QTest::addColumn<QByteArrayList>("existing"); // 300 KiB each, on the target already
    QTest::addColumn<bool>("firstHardLinked");
    QTest::addColumn<QString>("refusal");

    // The file system holds 1 MiB.
    const QList<SourceFile> twoFiles{{"a.db", 300 * KiB, 300 * KiB},
                                     {"b.db", 300 * KiB, 300 * KiB}};
    QTest::newRow("fits") << QByteArray("tmpfs") << twoFiles << QByteArrayList{} << false
                          << QString();
    QTest::newRow("too much") << QByteArray("tmpfs")
                              << QList<SourceFile>{{"a.db", 600 * KiB, 600 * KiB},
                                                   {"b.db", 600 * KiB, 600 * KiB}}
                              << QByteArrayList{} << false << QString("not enough free space");
    QTest::newRow("replaced files make room")
        << QByteArray("tmpfs") << twoFiles << QByteArrayList{"a.db", "b.db"} << false << QString();
    QTest::newRow("hard-linked file frees nothing")
        << QByteArray("tmpfs") << twoFiles << QByteArrayList{"a.db", "b.db"} << true
        << QString("not enough free space");
    QTest::newRow("other names free nothing")
        << QByteArray("tmpfs") << twoFiles << QByteArrayList{"c.db", "d.db"} << false
        << QString("not enough free space");
    QTest::newRow("vfat: 4 GiB file")
        << QByteArray("vfat") << QList<SourceFile>{{"huge.db", 4 * GiB, 4096}} << QByteArrayList{}
        << false << QString("huge.db");
    QTest::newRow("vfat: fits") << QByteArray("vfat")
                                << QList<SourceFile>{{"a.db", 100 * KiB, 100 * KiB}}
                                << QByteArrayList{} << false << QString();
}

void tst_MoveChecks::spaceOnSmallFileSystem()
{
    QFETCH(QByteArray, kind);
    QFETCH(QList<SourceFile>, files);
    QFETCH(QByteArrayList, existing);
    QFETCH(bool, firstHardLinked);
    QFETCH(QString, refusal);

    const QByteArray target = m_root + "mnt";
    QCOMPARE(::mkdir(target.constData(), 0755), 0);
    const QByteArray result = FileTest::RunInChild(true, [&]() -> QByteArray {
        if (kind == "vfat" && ::geteuid() != 0)
            return QByteArrayLiteral("SKIP: a FUSE mount in a private namespace needs root");
        if (const QByteArray skip = MountSmall(kind, target, m_root + "image"); !skip.isEmpty())
            return skip;
        for (const QByteArray &name : std::as_const(existing))
            if (!FileTest::WriteFile(target + '/' + name, FileTest::Pattern(300 * KiB)))
                return QByteArrayLiteral("cannot write ") + name;
        if (firstHardLinked)
            ::link((target + '/' + existing.at(0)).constData(), (target + "/link").constData());
        const QByteArray outcome = Outcome(MoveChecks::CheckSpace(target, files));
        Unmount(target);
        return outcome;
    });
    if (result.startsWith("SKIP:"))
        QSKIP(result.constData());
    if (refusal.isEmpty()) {
        QCOMPARE(result, QByteArray());
    } else {
        QVERIFY2(result.startsWith("refused: ") && result.contains(refusal.toUtf8()),
                 result.constData());
    }
}

void tst_MoveChecks::createEveryName_data()
{
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<QStringList>("named"); // in the refusal; empty when accepted

    QTest::newRow("distinct") << QByteArrayList{"mail.db", "mail.idx", "Mail.db"} << QStringList{};
    QTest::newRow("same name twice") << QByteArrayList{"a.db", "mail.db", "b.db", "mail.db"}
                                     << QStringList{"mail.db and mail.db"};
    QTest::newRow("name too long") << QByteArrayList{"a.db", QByteArray(300, 'n')}
                                   << QStringList{"cannot be created", QString(300, 'n')};
}

void tst_MoveChecks::createEveryName()
{
    QFETCH(QByteArrayList, names);
    QFETCH(QStringList, named);
    const QString text = MoveChecks::CreateEveryName(m_root.chopped(1), "/mnt/new", Files(names));
    if (named.isEmpty()) {
        QCOMPARE(text, QString());
    } else {
        for (const QString &part : std::as_const(named))
            QVERIFY2(text.contains(part), qPrintable(text));
        QVERIFY2(text.contains("/mnt/new"), qPrintable(text));
    }
}

void tst_MoveChecks::nameClashes_data()
{
    QTest::addColumn<QByteArray>("kind"); // "" for the scratch folder's own
    QTest::addColumn<bool>("folds");
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<QStringList>("named"); // in the refusal; empty when accepted

    const QByteArrayList caseTwins{"Inbox.db", "inbox.db", "Sent.db"};
    QTest::newRow("byte-exact: case twins") << QByteArray() << false << caseTwins << QStringList{};
    QTest::newRow("byte-exact: Unicode forms")
        << QByteArray() << false << QByteArrayList{"caf\xc3\xa9.db", "cafe\xcc\x81.db"}
        << QStringList{};
    QTest::newRow("vfat: case twins")
        << QByteArray("vfat") << true << caseTwins << QStringList{"Inbox.db", "inbox.db"};
    QTest::newRow("vfat: distinct")
        << QByteArray("vfat") << true << QByteArrayList{"Inbox.db", "Sent.db"} << QStringList{};
}

void tst_MoveChecks::nameClashes()
{
    QFETCH(QByteArray, kind);
    QFETCH(bool, folds);
    QFETCH(QByteArrayList, names);
    QFETCH(QStringList, named);

    QByteArray target = m_root + "target";
    QCOMPARE(::mkdir(target.constData(), 0755), 0);
    const QByteArray result = FileTest::RunInChild(!kind.isEmpty(), [&]() -> QByteArray {
        if (!kind.isEmpty() && ::geteuid() != 0)
            return QByteArrayLiteral("SKIP: a FUSE mount in a private namespace needs root");
        if (!kind.isEmpty())
            if (const QByteArray skip = MountSmall(kind, target, m_root + "image"); !skip.isEmpty())
                return skip;
        QByteArray outcome = MoveChecks::FoldsNames(target) ? "folds\n" : "exact\n";
        outcome += Outcome(MoveChecks::CheckNameClashes(target, Files(names)));
        outcome += "\nleft: " + FileTest::ListFolder(target).join(' ');
        if (!kind.isEmpty())
            Unmount(target);
        return outcome;
    });
    if (result.startsWith("SKIP:"))
        QSKIP(result.constData());
    const QByteArrayList lines = result.split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), folds ? QByteArray("folds") : QByteArray("exact"));
    QCOMPARE(lines.at(2), QByteArray("left: ")); // nothing left behind
    if (named.isEmpty()) {
        QCOMPARE(lines.at(1), QByteArray());
    } else {
        for (const QString &part : std::as_const(named))
            QVERIFY2(lines.at(1).contains(part.toUtf8()), lines.at(1).constData());
    }
}

void tst_MoveChecks::writers_data()
{
    QTest::addColumn<QString>("redirection"); // how the other process opens the file
    QTest::addColumn<bool>("inFolder");       // the file is in the source folder
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("found");

    QTest::newRow("appending") << QString("3>>") << true << QString("sleep") << true;
    QTest::newRow("truncating") << QString("3>") << true << QString("sleep") << true;
    QTest::newRow("reading and writing") << QString("3<>") << true << QString("sleep") << true;
    QTest::newRow("Quillbox writing") << QString("3<>") << true << QString("quillbox") << true;
    QTest::newRow("reading only") << QString("3<") << true << QString("sleep") << false;
    QTest::newRow("writing elsewhere") << QString("3>>") << false << QString("sleep") << false;
    QTest::newRow("this process writing") << QString("<self>") << true << QString() << false;
}

void tst_MoveChecks::writers()
{
    QFETCH(QString, redirection);
    QFETCH(bool, inFolder);
    QFETCH(QString, program);
    QFETCH(bool, found);

    const QByteArray source = m_root + "source";
    QCOMPARE(::mkdir(source.constData(), 0755), 0);
    QCOMPARE(::mkdir((m_root + "other").constData(), 0755), 0);
    QVERIFY(FileTest::WriteFile(source + "/mail.db", "data"));
    QVERIFY(FileTest::WriteFile(source + "/mail.idx", "index"));
    QVERIFY(FileTest::WriteFile(m_root + "other/mail.db", "data"));
    const QByteArray held = (inFolder ? source : m_root + "other") + "/mail.db";

    QProcess holder;
    int ownFd = -1;
    if (redirection == "<self>") {
        ownFd = ::open(held.constData(), O_WRONLY | O_CLOEXEC);
        QVERIFY(ownFd >= 0);
    } else {
        // The program's name is the name it was started under: a link to
        // sleep named like the program.
        const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
        QVERIFY(!sleep.isEmpty());
        const QByteArray started = m_root + program.toUtf8();
        QCOMPARE(::symlink(QFile::encodeName(sleep).constData(), started.constData()), 0);
        holder.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("exec %1\"$1\"; exec \"$2\" 30").arg(redirection),
                      QStringLiteral("sh"), QFile::decodeName(held), QFile::decodeName(started)});
        QVERIFY(holder.waitForStarted());
        const QByteArray proc = "/proc/" + QByteArray::number(holder.processId());
        // Ready once the shell has opened the file and become the sleeper.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return FileTest::ReadFile(proc + "/comm") == program.toUtf8() + '\n' &&
                       ::access((proc + "/fd/3").constData(), F_OK) == 0;
            },
            10000));
    }

    const qint64 pid = holder.processId();
    const QList<MoveChecks::Writer> writers = MoveChecks::FindWriters(source);
    const QString description = MoveChecks::DescribeWriters(source, writers);
    if (ownFd >= 0)
        ::close(ownFd);
    holder.kill();
    holder.waitForFinished();

    if (!found) {
        QCOMPARE(writers.size(), 0);
        QCOMPARE(description, QString());
        return;
    }
    QCOMPARE(writers.size(), 1);
    QCOMPARE(writers.at(0).Pid, pid);
    QCOMPARE(writers.at(0).Program, program);
    QCOMPARE(writers.at(0).File, QByteArray("mail.db"));
    QCOMPARE(description.contains("Quillbox seems to be still running"), program == "quillbox");
    for (const QString &part :
         {QString::number(pid), program, QString("mail.db"), QFile::decodeName(source)})
        QVERIFY2(description.contains(part), qPrintable(description));
}

void tst_MoveChecks::foreignFiles_data()
{
    QTest::addColumn<QByteArrayList>("inTarget"); // "<none>": no target folder
    QTest::addColumn<QByteArrayList>("sourceNames");
    QTest::addColumn<QByteArrayList>("foreign");
    QTest::addColumn<QString>("more"); // the list's tail; "" when all are shown

    const QByteArrayList source{"mail.db", "mail.idx"};
    QTest::newRow("no folder yet")
        << QByteArrayList{"<none>"} << source << QByteArrayList{} << QString();
    QTest::newRow("empty") << QByteArrayList{} << source << QByteArrayList{} << QString();
    QTest::newRow("an earlier copy")
        << QByteArrayList{"mail.db", "mail.idx"} << source << QByteArrayList{} << QString();
    QTest::newRow("another database")
        << QByteArrayList{"old.db", "mail.db", ".hidden", "Mail.idx"} << source
        << QByteArrayList{".hidden", "Mail.idx", "old.db"} << QString();
    QByteArrayList many;
    for (int i = 10; i < 22; ++i)
        many.append("f" + QByteArray::number(i));
    QTest::newRow("twelve others") << many << source << many << QString("and 2 more");
}

void tst_MoveChecks::foreignFiles()
{
    QFETCH(QByteArrayList, inTarget);
    QFETCH(QByteArrayList, sourceNames);
    QFETCH(QByteArrayList, foreign);
    QFETCH(QString, more);

    const QByteArray target = m_root + "target";
    if (inTarget != QByteArrayList{"<none>"}) {
        QCOMPARE(::mkdir(target.constData(), 0755), 0);
        for (const QByteArray &name : std::as_const(inTarget))
            QVERIFY(FileTest::WriteFile(target + '/' + name, "x"));
    }
    const QByteArrayList found = MoveChecks::ForeignFiles(target, Files(sourceNames));
    QCOMPARE(found, foreign);
    const QString text = MoveChecks::DescribeForeignFiles(target, found);
    if (foreign.isEmpty()) {
        QCOMPARE(text, QString());
        return;
    }
    QVERIFY2(text.contains(QFile::decodeName(target)), qPrintable(text));
    for (qsizetype i = 0; i < foreign.size(); ++i)
        QCOMPARE(text.contains("\n    " + QFile::decodeName(foreign.at(i)) + "\n"), i < 10);
    QCOMPARE(more.isEmpty(), !text.contains("more"));
    if (!more.isEmpty())
        QVERIFY2(text.contains(more), qPrintable(text));
}

void tst_MoveChecks::settingsFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("refusal"); // "" when accepted

    const QByteArray ini("[Settings]\r\nDataDirectory=/srv/mail\r\n");
    QTest::newRow("CR LF") << ini << "file" << QString();
    QTest::newRow("LF") << QByteArray("[Settings]\nDataDirectory=/srv\n") << "file" << QString();
    QTest::newRow("UTF-8 mark") << "\xef\xbb\xbf" + ini << "file" << QString();
    QTest::newRow("high bytes") << QByteArray("[S]\nK=\xe9\xff\n") << "file" << QString();
    QTest::newRow("CR at the very end") << QByteArray("[S]\nK=v\r") << "file" << QString();
    QTest::newRow("empty") << QByteArray() << "file" << QString();
    QTest::newRow("UTF-16 LE") << QByteArray("\xff\xfe[\0S\0]\0", 8) << "file" << QString("UTF-16");
    QTest::newRow("UTF-16 BE") << QByteArray("\xfe\xff\0[\0S\0]", 8) << "file" << QString("UTF-16");
    QTest::newRow("UTF-32 LE") << QByteArray("\xff\xfe\0\0[\0\0\0", 8) << "file"
                               << QString("UTF-32");
    QTest::newRow("UTF-32 BE") << QByteArray("\0\0\xfe\xff\0\0\0[", 8) << "file"
                               << QString("UTF-32");
    QTest::newRow("NUL") << QByteArray("[S]\nK=a\0b\n", 10) << "file" << QString("NUL");
    QTest::newRow("CR alone") << QByteArray("[S]\rK=v\r") << "file"
                              << QString("carriage return alone");
    QTest::newRow("CR before CR LF")
        << QByteArray("[S]\r\r\nK=v\r\n") << "file" << QString("carriage return alone");
    QTest::newRow("two hard links") << ini << "hardlink" << QString("2 hard links");
    QTest::newRow("read-only") << ini << "readonly" << QString("read-only");
    QTest::newRow("a folder") << QByteArray() << "folder" << QString("Cannot read");
    QTest::newRow("link loop") << QByteArray() << "loop" << QString("loop");

    // Links: owner of the link, owner:group and mode of the file it leads to
    // (the rule's own table is in the settings writer's tests).
    QTest::newRow("link by root") << ini << "link 0:0 1000:1000 644" << QString();
    QTest::newRow("link by the file's owner") << ini << "link 1000:1000 1000:1000 644" << QString();
    QTest::newRow("link by a stranger")
        << ini << "link 1001:1001 1000:1000 644" << QString("symbolic link");
    QTest::newRow("group may not write")
        << ini << "link 1001:2000 1000:2000 644" << QString("symbolic link");
    QTest::newRow("stranger's link in a chain")
        << ini << "chain 1001:1001 1000:1000 644" << QString("symbolic link");
}

void tst_MoveChecks::settingsFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, setup);
    QFETCH(QString, refusal);

    const QByteArray real = m_root + "real/";
    const QByteArray install = m_root + "install/";
    QCOMPARE(::mkdir(real.constData(), 0755), 0);
    QCOMPARE(::mkdir(install.constData(), 0755), 0);
    const QByteArray file = real + "Quillbox.ini";
    QByteArray checked = file;

    const QStringList words = setup.split(' ');
    if (words.at(0) == "folder") {
        QCOMPARE(::mkdir(file.constData(), 0755), 0);
    } else if (words.at(0) == "loop") {
        checked = install + "Quillbox.ini";
        QCOMPARE(::symlink("Other.ini", checked.constData()), 0);
        QCOMPARE(::symlink("Quillbox.ini", (install + "Other.ini").constData()), 0);
    } else {
        QVERIFY(FileTest::WriteFile(file, contents));
    }
    if (words.at(0) == "hardlink")
        QCOMPARE(::link(file.constData(), (real + "Second.ini").constData()), 0);
    if (words.at(0) == "readonly")
        QCOMPARE(::chmod(file.constData(), 0444), 0);

    if (words.size() == 4) {
        if (::geteuid() != 0)
            QSKIP("only root may give links and files to other users");
        const QList<QByteArray> linkIds = words.at(1).toUtf8().split(':');
        const QList<QByteArray> fileIds = words.at(2).toUtf8().split(':');
        const mode_t mode = mode_t(words.at(3).toUInt(nullptr, 8));
        QCOMPARE(::chown(file.constData(), fileIds.at(0).toUInt(), fileIds.at(1).toUInt()), 0);
        QCOMPARE(::chmod(file.constData(), mode), 0);
        checked = install + "Quillbox.ini";
        QByteArray first = checked;
        if (words.at(0) == "chain") {
            // The outer link is root's own; the one in the middle is not.
            QCOMPARE(::symlink("middle", checked.constData()), 0);
            first = install + "middle";
        }
        QCOMPARE(::symlink(file.constData(), first.constData()), 0);
        QCOMPARE(::lchown(first.constData(), linkIds.at(0).toUInt(), linkIds.at(1).toUInt()), 0);
    }

    const QByteArrayList before = Tree(m_root);
    const QString text = MoveChecks::CheckSettingsFile(checked);
    QCOMPARE(Tree(m_root), before); // the probe is gone
    if (refusal.isEmpty()) {
        QCOMPARE(text, QString());
    } else {
        QVERIFY2(text.contains(refusal) && text.contains(QFile::decodeName(checked)),
                 qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(tst_MoveChecks)
#include "tst_MoveChecks.moc"
