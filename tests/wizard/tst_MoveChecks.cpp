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

// A passed check for an empty refusal, else a text holding the refusal.
bool Matches(const QString &text, const QString &refusal)
{
    return refusal.isEmpty() ? text.isEmpty() : text.contains(refusal);
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

// Runs body in a child with a file system of the given kind ("" for none)
// mounted at the new folder target: the body's text or "SKIP: " and why.
QByteArray InMounted(const QByteArray &kind, const QByteArray &target, const QByteArray &image,
                     const std::function<QByteArray()> &body)
{
    if (::mkdir(target.constData(), 0755) != 0)
        return "cannot create " + target;
    return FileTest::RunInChild(!kind.isEmpty(), [&]() -> QByteArray {
        if (kind == "tmpfs" && ::mount("tmpfs", target.constData(), "tmpfs", 0, "size=1m") != 0)
            return "SKIP: tmpfs cannot be mounted here";
        // vfat through FUSE: the only case-insensitive file system a kernel
        // without Unicode folding offers.
        if (kind == "vfat" && ::geteuid() != 0)
            return "SKIP: a FUSE mount in a private namespace needs root";
        const QString mount = QStringLiteral(
            "PATH=$PATH:/usr/sbin:/sbin; test -w /dev/fuse && mkfs.vfat -C \"$0\" 2048 >/dev/null "
            "&& fusefat -o rw+ \"$0\" \"$1\" >/dev/null");
        if (kind == "vfat" &&
            QProcess::execute(QStringLiteral("sh"),
                              {QStringLiteral("-c"), mount, QFile::decodeName(image),
                               QFile::decodeName(target)}) != 0)
            return "SKIP: no vfat here (needs /dev/fuse, mkfs.vfat and fusefat)";
        const QByteArray result = body();
        // The FUSE server ends by itself with its mount.
        if (!kind.isEmpty() && ::umount2(target.constData(), 0) != 0)
            ::umount2(target.constData(), MNT_DETACH);
        return result;
    });
}

} // namespace

class tst_MoveChecks : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_scratch.reset(); }

    void targetText_data();
    void targetText();
    void targetProbe_data();
    void targetProbe();
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

void tst_MoveChecks::targetText_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("refusal"); // a part of the text; "" when accepted

    QTest::newRow("inner blanks") << QByteArray("/srv/my mail\tdata") << QString();
    QTest::newRow("not valid UTF-8") << QByteArray("/srv/\xff\xfe") << QString();
    QTest::newRow("2047 bytes") << "/" + QByteArray(2046, 'x') << QString();
    QTest::newRow("blanks only") << QByteArray("  ") << QString("enter the new location");
    QTest::newRow("relative") << QByteArray("srv/mail") << QString("not a full path");
    QTest::newRow("leading space") << QByteArray(" /srv/mail") << QString("starts or ends");
    QTest::newRow("trailing tab") << QByteArray("/srv/mail\t") << QString("starts or ends");
    QTest::newRow("line break") << QByteArray("/srv/a\nb") << QString("line break");
    QTest::newRow("NUL") << QByteArray("/srv/a\0b", 8) << QString("NUL");
    QTest::newRow("2048 bytes") << "/" + QByteArray(2047, 'x') << QString("2048 bytes long");
}

void tst_MoveChecks::targetText()
{
    QFETCH(QByteArray, target);
    QFETCH(QString, refusal);
    const QString text = MoveChecks::CheckTargetText(target);
    QVERIFY2(Matches(text, refusal), qPrintable(text));
}

void tst_MoveChecks::targetProbe_data()
{
    QTest::addColumn<QByteArray>("target");     // below the scratch folder, which holds a/ and f
    QTest::addColumn<QByteArray>("fileInside"); // put into this level meanwhile
    QTest::addColumn<QString>("error");         // the probe's; "" when the folder is there
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QByteArray>("leftAfter");

    const QByteArray none;
    QTest::newRow("existing") << QByteArray("a") << none << QString() << true << QByteArray("a f");
    QTest::newRow("two levels missing, slash")
        << QByteArray("a/b/c/") << none << QString() << true << QByteArray("a f");
    QTest::newRow("doubled slashes")
        << QByteArray("b//c") << none << QString() << true << QByteArray("a f");
    QTest::newRow("a level gains a file") << QByteArray("a/b/c") << QByteArray("a/b") << QString()
                                          << true << QByteArray("a a/b a/b/file f");
    // /proc/self takes no new files, whoever asks (root included).
    QTest::newRow("not writable") << QByteArray("/proc/self") << none << QString() << false
                                  << QByteArray("a f");
    QTest::newRow("a level cannot be made")
        << QByteArray("/proc/self/flitto/b") << none
        << QString("Cannot create the folder /proc/self/flitto (") << false << QByteArray("a f");
    QTest::newRow("the target is a file")
        << QByteArray("f/") << none << QString("f/ is a file, not a folder") << false
        << QByteArray("a f");
    QTest::newRow("a level is a file")
        << QByteArray("f/b") << none << QString("cannot be created: ") << false
        << QByteArray("a f");
}

void tst_MoveChecks::targetProbe()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, fileInside);
    QFETCH(QString, error);
    QFETCH(bool, writable);
    QFETCH(QByteArray, leftAfter);

    QVERIFY(FileTest::WriteFile(m_root + "f", "x"));
    QCOMPARE(::mkdir((m_root + "a").constData(), 0755), 0);
    if (!target.startsWith('/'))
        target.prepend(m_root);
    {
        const MoveChecks::TargetProbe probe(target);
        QVERIFY2(Matches(probe.Error(), error), qPrintable(probe.Error()));
        const QString access = MoveChecks::CheckWriteAccess(target);
        QVERIFY2(writable ? access.isEmpty() : access.contains(QFile::decodeName(target)),
                 qPrintable(access));
        if (!fileInside.isEmpty())
            QVERIFY(FileTest::WriteFile(m_root + fileInside + "/file", "x"));
    }
    QCOMPARE(Tree(m_root).join(' '), leftAfter); // what the probes made is gone
}

void tst_MoveChecks::spaceVerdict_data()
{
    QTest::addColumn<QList<SourceFile>>("files");
    QTest::addColumn<QList<qint64>>("replaced");
    QTest::addColumn<qint64>("blockSize");
    QTest::addColumn<long>("fileSizeBits"); // pathconf's answer; -1 for none
    QTest::addColumn<qint64>("needed");
    QTest::addColumn<QString>("tooLarge"); // the file refused whatever the space

    const QList<qint64> none;
    QTest::newRow("whole blocks") << QList<SourceFile>{{"a", 4096, 4096}, {"b", 8192, 8192}} << none
                                  << 4096LL << 64L << 12288LL << QString();
    QTest::newRow("rounded up to the target's clusters")
        << QList<SourceFile>{{"a", 100, 4096}, {"b", 5000, 8192}} << none << 32768LL << 32L
        << 65536LL << QString();
    QTest::newRow("sparse file by its blocks") << QList<SourceFile>{{"sparse", 10 * GiB, 4096}}
                                               << none << 4096LL << 64L << 4096LL << QString();
    QTest::newRow("no blocks reported: by size")
        << QList<SourceFile>{{"a", 10000, 0}} << none << 4096LL << 64L << 12288LL << QString();
    // Replacing frees the old file only after the copy is written: the
    // largest replaced part stays needed on top.
    QTest::newRow("replaced files credited")
        << QList<SourceFile>{{"a", 8 * MiB, 8 * MiB}, {"b", 2 * MiB, 2 * MiB}}
        << QList<qint64>{8 * MiB, 2 * MiB} << 4096LL << 64L << 8 * MiB << QString();
    QTest::newRow("smaller copy of a larger file")
        << QList<SourceFile>{{"a", 1 * MiB, 1 * MiB}, {"b", 1 * MiB, 1 * MiB}}
        << QList<qint64>{5 * MiB, 0} << 4096LL << 64L << 2 * MiB << QString();
    QTest::newRow("vfat holds 4 GiB less one byte")
        << QList<SourceFile>{{"big.db", 4 * GiB - 1, 4 * GiB}} << none << 32768LL << 32L << 4 * GiB
        << QString();
    QTest::newRow("vfat refuses 4 GiB")
        << QList<SourceFile>{{"small", 1, 4096}, {"big.db", 4 * GiB, 4 * GiB}} << none << 32768LL
        << 32L << 4 * GiB + 32768 << QString("big.db");
    QTest::newRow("no size limit reported") << QList<SourceFile>{{"big.db", 100 * GiB, 100 * GiB}}
                                            << none << 4096LL << -1L << 100 * GiB << QString();
}

void tst_MoveChecks::spaceVerdict()
{
    QFETCH(QList<SourceFile>, files);
    QFETCH(QList<qint64>, replaced);
    QFETCH(qint64, blockSize);
    QFETCH(long, fileSizeBits);
    QFETCH(qint64, needed);
    QFETCH(QString, tooLarge);

    QCOMPARE(MoveChecks::SpaceNeeded(files, replaced, blockSize), needed);
    // Exactly the space needed is enough; one block less is not.
    for (const qint64 available : {needed, needed - blockSize}) {
        const QString refusal = !tooLarge.isEmpty()   ? tooLarge
                                : available == needed ? QString()
                                                      : QStringLiteral("not enough free space");
        const QString text = MoveChecks::SpaceVerdict(
            "/mnt/new", files, replaced,
            {available, blockSize, MoveChecks::MaxFileSizeOfBits(fileSizeBits)});
        QVERIFY2(Matches(text, refusal) && (refusal.isEmpty() || text.contains("/mnt/new")),
                 qPrintable(text));
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
    const QList<SourceFile> twoFiles = Files({"a.db", "b.db"}, 300 * KiB);
    const QString full("not enough free space");
    QTest::newRow("too much") << QByteArray("tmpfs") << Files({"a.db", "b.db"}, 600 * KiB)
                              << QByteArrayList{} << false << full;
    QTest::newRow("replaced files make room")
        << QByteArray("tmpfs") << twoFiles << QByteArrayList{"a.db", "b.db"} << false << QString();
    QTest::newRow("hard-linked file frees nothing")
        << QByteArray("tmpfs") << twoFiles << QByteArrayList{"a.db", "b.db"} << true << full;
    QTest::newRow("other names free nothing")
        << QByteArray("tmpfs") << twoFiles << QByteArrayList{"c.db", "d.db"} << false << full;
    QTest::newRow("vfat: 4 GiB file")
        << QByteArray("vfat") << QList<SourceFile>{{"huge.db", 4 * GiB, 4096}} << QByteArrayList{}
        << false << QString("huge.db");
}

void tst_MoveChecks::spaceOnSmallFileSystem()
{
    QFETCH(QByteArray, kind);
    QFETCH(QList<SourceFile>, files);
    QFETCH(QByteArrayList, existing);
    QFETCH(bool, firstHardLinked);
    QFETCH(QString, refusal);

    const QByteArray target = m_root + "mnt";
    const QByteArray result = InMounted(kind, target, m_root + "image", [&]() -> QByteArray {
        for (const QByteArray &name : std::as_const(existing))
            if (!FileTest::WriteFile(target + '/' + name, FileTest::Pattern(300 * KiB)))
                return "cannot write " + name;
        if (firstHardLinked)
            ::link((target + '/' + existing.at(0)).constData(), (target + "/link").constData());
        return MoveChecks::CheckSpace(target, files).toUtf8();
    });
    if (result.startsWith("SKIP:"))
        QSKIP(result.constData());
    QVERIFY2(Matches(QString::fromUtf8(result), refusal), result.constData());
}

void tst_MoveChecks::createEveryName_data()
{
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<QStringList>("named"); // in the refusal; empty when accepted

    QTest::newRow("distinct") << QByteArrayList{"mail.db", "mail.idx", "Mail.db"} << QStringList{};
    QTest::newRow("same name twice") << QByteArrayList{"a.db", "mail.db", "b.db", "mail.db"}
                                     << QStringList{"mail.db and mail.db", "/mnt/new"};
    QTest::newRow("name too long") << QByteArrayList{"a.db", QByteArray(300, 'n')}
                                   << QStringList{"cannot be created", QString(300, 'n')};
}

void tst_MoveChecks::createEveryName()
{
    QFETCH(QByteArrayList, names);
    QFETCH(QStringList, named);
    const QString text = MoveChecks::CreateEveryName(m_root.chopped(1), "/mnt/new", Files(names));
    QCOMPARE(text.isEmpty(), named.isEmpty());
    for (const QString &part : std::as_const(named))
        QVERIFY2(text.contains(part), qPrintable(text));
}

void tst_MoveChecks::nameClashes_data()
{
    QTest::addColumn<QByteArray>("kind"); // "" for the scratch folder's own
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<QByteArray>("expected"); // folding, then a part of the refusal

    const QByteArrayList caseTwins{"Inbox.db", "inbox.db", "Sent.db"};
    QTest::newRow("byte-exact: case twins") << QByteArray() << caseTwins << QByteArray("exact\n");
    QTest::newRow("vfat: case twins")
        << QByteArray("vfat") << caseTwins << QByteArray("folds\nThe files Inbox.db and inbox.db");
    QTest::newRow("vfat: distinct")
        << QByteArray("vfat") << QByteArrayList{"Inbox.db", "Sent.db"} << QByteArray("folds\n");
}

void tst_MoveChecks::nameClashes()
{
    QFETCH(QByteArray, kind);
    QFETCH(QByteArrayList, names);
    QFETCH(QByteArray, expected);

    const QByteArray target = m_root + "target";
    const QByteArray result = InMounted(kind, target, m_root + "image", [&] {
        QByteArray outcome = MoveChecks::FoldsNames(target) ? "folds\n" : "exact\n";
        outcome += MoveChecks::CheckNameClashes(target, Files(names)).toUtf8();
        return outcome + "\nleft:" + FileTest::ListFolder(target).join(' ');
    });
    if (result.startsWith("SKIP:"))
        QSKIP(result.constData());
    QVERIFY2(result.startsWith(expected) && result.endsWith("\nleft:"), result.constData());
    QCOMPARE(result.count('\n'), 2); // the refusal, if any, is the line in between
}

void tst_MoveChecks::writers_data()
{
    QTest::addColumn<QString>("redirection"); // how the other process opens the file
    QTest::addColumn<bool>("inFolder");       // the file is in the source folder
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("found");

    QTest::newRow("appending") << QString("3>>") << true << QString("sleep") << true;
    QTest::newRow("Quillbox reading and writing")
        << QString("3<>") << true << QString("quillbox") << true;
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
    const int ownFd = redirection == "<self>" ? ::open(held.constData(), O_WRONLY | O_CLOEXEC) : -1;
    if (ownFd < 0) {
        // The program's name is the name it was started under: a link to
        // sleep named like the program.
        const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
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

    QCOMPARE(writers.size(), found ? 1 : 0);
    QCOMPARE(description.isEmpty(), !found);
    if (!found)
        return;
    QCOMPARE(writers.at(0).Pid, pid);
    QCOMPARE(writers.at(0).Program, program);
    QCOMPARE(writers.at(0).File, QByteArray("mail.db"));
    QCOMPARE(description.contains("Quillbox seems to be still running"), program == "quillbox");
    for (const QString &part : {QString::number(pid), program, QFile::decodeName(source)})
        QVERIFY2(description.contains(part), qPrintable(description));
}

void tst_MoveChecks::foreignFiles_data()
{
    QTest::addColumn<QByteArrayList>("inTarget"); // "<none>": no target folder
    QTest::addColumn<QByteArrayList>("foreign");
    QTest::addColumn<QString>("more"); // the list's tail; "" when all are shown

    QTest::newRow("no folder yet") << QByteArrayList{"<none>"} << QByteArrayList{} << QString();
    QTest::newRow("another database")
        << QByteArrayList{"old.db", "mail.db", ".hidden", "Mail.idx", "mail.idx"}
        << QByteArrayList{".hidden", "Mail.idx", "old.db"} << QString();
    QByteArrayList many;
    for (int i = 10; i < 22; ++i)
        many.append("f" + QByteArray::number(i));
    QTest::newRow("twelve others") << many << many << QString("and 2 more");
}

void tst_MoveChecks::foreignFiles()
{
    QFETCH(QByteArrayList, inTarget);
    QFETCH(QByteArrayList, foreign);
    QFETCH(QString, more);

    const QByteArray target = m_root + "target";
    if (inTarget != QByteArrayList{"<none>"}) {
        QCOMPARE(::mkdir(target.constData(), 0755), 0);
        for (const QByteArray &name : std::as_const(inTarget))
            QVERIFY(FileTest::WriteFile(target + '/' + name, "x"));
    }
    const QByteArrayList found = MoveChecks::ForeignFiles(target, Files({"mail.db", "mail.idx"}));
    QCOMPARE(found, foreign);
    const QString text = MoveChecks::DescribeForeignFiles(target, found);
    QCOMPARE(text.isEmpty(), foreign.isEmpty());
    QVERIFY2(foreign.isEmpty() || text.contains(QFile::decodeName(target)), qPrintable(text));
    for (qsizetype i = 0; i < foreign.size(); ++i)
        QCOMPARE(text.contains("\n    " + QFile::decodeName(foreign.at(i)) + "\n"), i < 10);
    QCOMPARE(text.contains("more"), !more.isEmpty());
    QVERIFY2(text.contains(more), qPrintable(text));
}

void tst_MoveChecks::settingsFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("refusal"); // "" when accepted

    const QByteArray ini("[Settings]\r\nDataDirectory=/srv/mail\r\n");
    QTest::newRow("CR LF") << ini << "file" << QString();
    QTest::newRow("UTF-8 mark") << "\xef\xbb\xbf" + ini << "file" << QString();
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
    // Links, made as root: the link's owner, then "chain" for a link to it
    // made by root (the rule's own table is in the settings writer's tests).
    QTest::newRow("link by the file's owner") << ini << "link 1000" << QString();
    QTest::newRow("link by a stranger") << ini << "link 1001" << QString("symbolic link");
    QTest::newRow("stranger's link in a chain")
        << ini << "link 1001 chain" << QString("symbolic link");
}

void tst_MoveChecks::settingsFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, setup);
    QFETCH(QString, refusal);

    const QByteArray file = m_root + "real/Quillbox.ini";
    const QByteArray checked = setup.startsWith("l") ? m_root + "install/Quillbox.ini" : file;
    QCOMPARE(::mkdir((m_root + "real").constData(), 0755), 0);
    QCOMPARE(::mkdir((m_root + "install").constData(), 0755), 0);
    if (setup == "folder")
        QCOMPARE(::mkdir(file.constData(), 0755), 0);
    else if (setup == "loop")
        QCOMPARE(::symlink("Quillbox.ini", checked.constData()), 0);
    else
        QVERIFY(FileTest::WriteFile(file, contents));
    if (setup == "hardlink")
        QCOMPARE(::link(file.constData(), (m_root + "real/Second.ini").constData()), 0);
    if (setup == "readonly")
        QCOMPARE(::chmod(file.constData(), 0444), 0);
    if (setup.startsWith("link ")) {
        if (::geteuid() != 0)
            QSKIP("only root may give links and files to other users");
        const uid_t owner = setup.section(' ', 1, 1).toUInt();
        const QByteArray first = setup.endsWith("chain") ? m_root + "install/middle" : checked;
        QCOMPARE(::chown(file.constData(), 1000, 1000), 0);
        QCOMPARE(::symlink(file.constData(), first.constData()), 0);
        QCOMPARE(::lchown(first.constData(), owner, owner), 0);
        if (first != checked) // root's own link to the stranger's
            QCOMPARE(::symlink("middle", checked.constData()), 0);
    }

    const QByteArrayList before = Tree(m_root);
    const QString text = MoveChecks::CheckSettingsFile(checked);
    QCOMPARE(Tree(m_root), before); // the probe is gone
    QVERIFY2(Matches(text, refusal) &&
                 (refusal.isEmpty() || text.contains(QFile::decodeName(checked))),
             qPrintable(text));
}

QTEST_GUILESS_MAIN(tst_MoveChecks)
#include "tst_MoveChecks.moc"
