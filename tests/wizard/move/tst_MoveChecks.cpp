#include "wizard/move/MoveChecks.h"

#include "FileTestSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

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
        if (::lstat(QByteArray(folder + prefix + name).constData(), &st) == 0 &&
            S_ISDIR(st.st_mode))
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
        const QString mount = QStringLiteral(
            "PATH=$PATH:/usr/sbin:/sbin; test -w /dev/fuse && mkfs.vfat -C \"$0\" 2048 >/dev/null "
            "&& fusefat -o rw+ \"$0\" \"$1\" >/dev/null");
        if (kind == "vfat" &&
            (::geteuid() != 0 ||
             QProcess::execute(QStringLiteral("sh"),
                               {QStringLiteral("-c"), mount, QFile::decodeName(image),
                                QFile::decodeName(target)}) != 0))
            return "SKIP: a FUSE mount here needs root, /dev/fuse, mkfs.vfat and fusefat";
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
private Q_SLOTS:
    void init();
    void cleanup() { m_scratch.reset(); }
    void target_data();
    void target();
    void spaceVerdict_data();
    void spaceVerdict();
    void spaceOnSmallFileSystem_data();
    void spaceOnSmallFileSystem();
    void nameClashes_data();
    void nameClashes();
    void writers_data();
    void writers();
    void foreignFiles_data();
    void foreignFiles();
    void scratchSwappedForALink();
    void targetOwners_data();
    void targetOwners();
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

void tst_MoveChecks::target_data()
{
    QTest::addColumn<QByteArray>("target");     // "~/" for the scratch folder, which holds a/ and f
    QTest::addColumn<QByteArray>("fileInside"); // put into this level meanwhile
    QTest::addColumn<QString>("refusal");       // a part of the first refusal; "" when accepted
    QTest::addColumn<QByteArray>("leftAfter");
    const auto row = [](const char *name, const QByteArray &target, const QString &refusal,
                        const char *fileInside = "", const char *left = "a f") {
        QTest::newRow(name) << target << QByteArray(fileInside) << refusal << QByteArray(left);
    };
    // The text.
    row("blanks only", "  ", "enter the new location");
    row("relative", "srv/mail", "not a full path");
    row("leading space", " ~/a", "starts or ends");
    row("trailing tab", "~/a\t", "starts or ends");
    row("trailing vertical tab", "~/a\v", "starts or ends");
    row("escape character", "~/a\x1b[2J", "control character");
    row("line break", "~/a\nb", "line break");
    row("NUL", QByteArray("~/a\0b", 6), "NUL");
    row("2047 bytes: too long a name", "/" + QByteArray(2046, 'x'), "Cannot create the folder");
    row("2048 bytes", "/" + QByteArray(2047, 'x'), "2048 bytes long");
    // The folder made for the checks, then the write check.
    row("inner blanks", "~/my mail\tdata", QString());
    row("existing", "~/a", QString());
    row("two levels missing, slash", "~/a/b/c/", QString());
    row("doubled slashes", "~/b//c", QString());
    row("a level gains a file", "~/a/b/c", QString(), "a/b", "a a/b a/b/file f");
    row("a level cannot be made", "/proc/self/flitto/b",
        "Cannot create the folder /proc/self/flitto (");
    row("the target is a file", "~/f/", "f/ is a file, not a folder");
    row("a level is a file", "~/f/b", "cannot be created: ");
    // /proc/self takes no new files, whoever asks (root included).
    row("not writable", "/proc/self", "Cannot create files in the folder /proc/self (");
}

// As the wizard runs them: the text, the folder made for the checks, the
// write check; the first refusal counts.
void tst_MoveChecks::target()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, fileInside);
    QFETCH(QString, refusal);
    QFETCH(QByteArray, leftAfter);
    QVERIFY(FileTest::WriteFile(m_root + "f", "x"));
    QCOMPARE(::mkdir(QByteArray(m_root + "a").constData(), 0755), 0);
    target.replace("~/", m_root);
    QString text = MoveChecks::CheckTargetText(target);
    if (text.isEmpty()) {
        const MoveChecks::NewFolder made(target);
        text = made.Error().isEmpty() ? MoveChecks::CheckWriteAccess(target) : made.Error();
        if (!fileInside.isEmpty())
            QVERIFY(FileTest::WriteFile(m_root + fileInside + "/file", "x"));
    }
    QVERIFY2(Matches(text, refusal), qPrintable(text));
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
    const auto row = [](const char *name, const QList<SourceFile> &files,
                        const QList<qint64> &replaced, qint64 blockSize, long bits, qint64 needed,
                        const QString &tooLarge = QString()) {
        QTest::newRow(name) << files << replaced << blockSize << bits << needed << tooLarge;
    };
    row("whole blocks", {{"a", 4096, 4096}, {"b", 8192, 8192}}, {}, 4096, 64, 12288);
    row("rounded up to the clusters", {{"a", 100, 4096}, {"b", 5000, 8192}}, {}, 32768, 32, 65536);
    row("sparse file by its blocks", {{"sparse", 10 * GiB, 4096}}, {}, 4096, 64, 4096);
    row("no blocks reported: by size", {{"a", 10000, 0}}, {}, 4096, 64, 12288);
    // Replacing frees the old file only after the copy is written: the
    // largest replaced part stays needed on top.
    row("replaced files credited", {{"a", 8 * MiB, 8 * MiB}, {"b", 2 * MiB, 2 * MiB}},
        {8 * MiB, 2 * MiB}, 4096, 64, 8 * MiB);
    row("smaller copy of a larger file", {{"a", 1 * MiB, 1 * MiB}, {"b", 1 * MiB, 1 * MiB}},
        {5 * MiB, 0}, 4096, 64, 2 * MiB);
    row("vfat holds 4 GiB less one byte", {{"big.db", 4 * GiB - 1, 4 * GiB}}, {}, 32768, 32,
        4 * GiB);
    row("vfat refuses 4 GiB", {{"small", 1, 4096}, {"big.db", 4 * GiB, 4 * GiB}}, {}, 32768, 32,
        4 * GiB + 32768, "big.db");
    row("no size limit reported", {{"big.db", 100 * GiB, 100 * GiB}}, {}, 4096, -1, 100 * GiB);
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
    const auto row = [](const char *name, const char *kind, const QList<SourceFile> &files,
                        const QByteArrayList &existing, bool firstHardLinked,
                        const QString &refusal) {
        QTest::newRow(name) << QByteArray(kind) << files << existing << firstHardLinked << refusal;
    };
    // The file system holds 1 MiB.
    const QList<SourceFile> two = Files({"a.db", "b.db"}, 300 * KiB);
    const QString full("not enough free space");
    row("too much", "tmpfs", Files({"a.db", "b.db"}, 600 * KiB), {}, false, full);
    row("replaced files make room", "tmpfs", two, {"a.db", "b.db"}, false, QString());
    row("hard-linked file frees nothing", "tmpfs", two, {"a.db", "b.db"}, true, full);
    row("other names free nothing", "tmpfs", two, {"c.db", "d.db"}, false, full);
    row("vfat: 4 GiB file", "vfat", {{"huge.db", 4 * GiB, 4096}}, {}, false, "huge.db");
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
            ::link(QByteArray(target + '/' + existing.at(0)).constData(),
                   QByteArray(target + "/link").constData());
        return MoveChecks::CheckSpace(target, files).toUtf8();
    });
    if (result.startsWith("SKIP:"))
        QSKIP(result.constData());
    QVERIFY2(Matches(QString::fromUtf8(result), refusal), result.constData());
}

void tst_MoveChecks::nameClashes_data()
{
    QTest::addColumn<QByteArray>("kind"); // vfat, the scratch folder's own (exact), or "direct"
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<QByteArray>("expected"); // how the result starts
    const auto row = [](const char *name, const char *kind, const QByteArrayList &names,
                        const QByteArray &expected) {
        QTest::newRow(name) << QByteArray(kind) << names << expected;
    };
    const QByteArrayList twins{"Inbox.db", "inbox.db", "Sent.db"};
    row("byte-exact: case twins", "exact", twins, "exact\n\nleft:");
    row("vfat: case twins", "vfat", twins, "folds\nThe files Inbox.db and inbox.db");
    row("vfat: distinct", "vfat", {"Inbox.db", "Sent.db"}, "folds\n\nleft:");
    // CreateEveryName on its own, in a byte-exact folder.
    row("created: distinct", "direct", {"mail.db", "mail.idx", "Mail.db"}, "direct\n\nleft:");
    row("created: same name twice", "direct", {"a.db", "mail.db", "b.db", "mail.db"},
        "direct\nThe files mail.db and mail.db would become one file in /mnt/new");
    row("created: name too long", "direct", {"a.db", QByteArray(300, 'n')},
        "direct\nThe file " + QByteArray(300, 'n') + " cannot be created in /mnt/new");
}

void tst_MoveChecks::nameClashes()
{
    QFETCH(QByteArray, kind);
    QFETCH(QByteArrayList, names);
    QFETCH(QByteArray, expected);
    const QByteArray target = m_root + "target";
    const QByteArray mount = kind == "vfat" ? kind : QByteArray();
    const QByteArray result = InMounted(mount, target, m_root + "image", [&]() -> QByteArray {
        if (kind == "direct") // the files it made stay
            return "direct\n" +
                   MoveChecks::CreateEveryName(target, "/mnt/new", Files(names)).toUtf8() +
                   "\nleft:";
        QByteArray outcome = MoveChecks::FoldsNames(target) ? "folds\n" : "exact\n";
        outcome += MoveChecks::CheckNameClashes(target, Files(names)).toUtf8();
        return outcome + "\nleft:" + FileTest::ListFolder(target).join(' ');
    });
    if (result.startsWith("SKIP:"))
        QSKIP(result.constData());
    // Nothing is left behind; the refusal, if any, is the line in between.
    QVERIFY2(result.startsWith(expected) && result.endsWith("\nleft:"), result.constData());
    QCOMPARE(result.count('\n'), 2);
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
    // A store into a dirty shared page changes neither size nor time: only
    // the mapping tells.
    QTest::newRow("mapped shared, no descriptor left")
        << QString("map") << true << QString("python3") << true;
}

void tst_MoveChecks::writers()
{
    QFETCH(QString, redirection);
    QFETCH(bool, inFolder);
    QFETCH(QString, program);
    QFETCH(bool, found);
    const QByteArray source = m_root + "source";
    QCOMPARE(::mkdir(source.constData(), 0755), 0);
    QVERIFY(FileTest::WriteFile(source + "/mail.db", "data"));
    QVERIFY(FileTest::WriteFile(m_root + "mail.db", "data"));
    const QByteArray held = (inFolder ? source + '/' : m_root) + "mail.db";
    // This process writing is never reported.
    const int ownFd =
        ::open(QByteArray(source + "/mail.idx").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(ownFd >= 0);
    // The program's name is the name it was started under: a link to sleep.
    const QByteArray started = m_root + program.toUtf8();
    const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
    QCOMPARE(::symlink(QFile::encodeName(sleep).constData(), started.constData()), 0);
    QProcess holder;
    const bool mapped = redirection == u"map";
    if (mapped)
        holder.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"),
                      // Through libc itself: Python's own mmap keeps a descriptor.
                      QStringLiteral("import ctypes, os, sys, time\n"
                                     "libc = ctypes.CDLL(None)\n"
                                     "libc.mmap.restype = ctypes.c_void_p\n"
                                     "libc.mmap.argtypes = [ctypes.c_void_p, ctypes.c_size_t, "
                                     "ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_long]\n"
                                     "fd = os.open(sys.argv[1], os.O_RDWR)\n"
                                     "page = libc.mmap(None, 4096, 3, 1, fd, 0)\n"
                                     "os.close(fd)\n"
                                     "ctypes.memset(page, ord('D'), 1)\n"
                                     "print('mapped', flush=True)\n"
                                     "time.sleep(30)\n"),
                      QFile::decodeName(held)});
    else
        holder.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("exec %1\"$1\"; exec \"$2\" 30").arg(redirection),
                      QStringLiteral("sh"), QFile::decodeName(held), QFile::decodeName(started)});
    QVERIFY(holder.waitForStarted());
    const QByteArray proc = "/proc/" + QByteArray::number(holder.processId());
    // Ready once the shell has opened the file and become the sleeper, or
    // the mapping is written.
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (mapped)
                return holder.readAllStandardOutput().contains("mapped") ||
                       FileTest::ReadFile(m_root + "source/mail.db") == "Data";
            return FileTest::ReadFile(proc + "/comm") == program.toUtf8() + '\n' &&
                   ::access(QByteArray(proc + "/fd/3").constData(), F_OK) == 0;
        },
        10000));
    const qint64 pid = holder.processId();
    const MoveChecks::WriterScan scan = MoveChecks::FindWriters(source);
    const QList<MoveChecks::Writer> &writers = scan.Writers;
    const QString description = MoveChecks::DescribeWriters(source, scan);
    ::close(ownFd);
    holder.kill();
    holder.waitForFinished();
    QCOMPARE(scan.NotInspected.size(), 0);
    QCOMPARE(writers.size(), found ? 1 : 0);
    QCOMPARE(description.isEmpty(), !found);
    if (!found)
        return;
    const MoveChecks::Writer &writer = writers.at(0);
    QCOMPARE(QStringList({QString::number(writer.Pid), writer.Program, writer.File}),
             QStringList({QString::number(pid), program, "mail.db"}));
    QCOMPARE(description.contains("Quillbox seems to be still running"), program == "quillbox");
    for (const QString &part : {QString::number(pid), program, QFile::decodeName(source)})
        QVERIFY2(description.contains(part), qPrintable(description));
}

void tst_MoveChecks::foreignFiles_data()
{
    QTest::addColumn<QByteArrayList>("inTarget"); // "<none>": no target folder
    QTest::addColumn<QByteArrayList>("foreign");
    QTest::newRow("no folder yet") << QByteArrayList{"<none>"} << QByteArrayList{};
    QTest::newRow("another database")
        << QByteArrayList{"old.db", "mail.db", ".hidden", "Mail.idx", "mail.idx"}
        << QByteArrayList{".hidden", "Mail.idx", "old.db"};
    QByteArrayList many;
    for (int i = 10; i < 22; ++i)
        many.append("f" + QByteArray::number(i));
    QTest::newRow("twelve others: ten shown") << many << many;
}

void tst_MoveChecks::foreignFiles()
{
    QFETCH(QByteArrayList, inTarget);
    QFETCH(QByteArrayList, foreign);
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
    QCOMPARE(text.contains(QStringLiteral("and %1 more").arg(foreign.size() - 10)),
             foreign.size() > 10);
}

void tst_MoveChecks::scratchSwappedForALink()
{
    // Whoever may write the new folder swaps a scratch folder of the name
    // check for a link before it is emptied: nothing where the link leads
    // may go.
    const QByteArray elsewhere = m_root + "elsewhere";
    QCOMPARE(::mkdir(elsewhere.constData(), 0700), 0);
    QVERIFY(FileTest::WriteFile(elsewhere + "/Flitto-Probe", "someone else's"));
    const QByteArray target = m_root + "new";
    QCOMPARE(::mkdir(target.constData(), 0755), 0);
    int swapped = 0;
    MoveChecks::SetScratchSeam([&](int parent, const QByteArray &name) {
        const QByteArray aside = "aside" + QByteArray::number(swapped++);
        QCOMPARE(::renameat(parent, name.constData(), parent, aside.constData()), 0);
        QCOMPARE(::symlinkat(elsewhere.constData(), parent, name.constData()), 0);
    });
    MoveChecks::FoldsNames(target);
    MoveChecks::SetScratchSeam({});
    QVERIFY(swapped > 0);
    QCOMPARE(FileTest::ListFolder(elsewhere + '/'), QByteArrayList{"Flitto-Probe"});
}

void tst_MoveChecks::targetOwners_data()
{
    // Levels below the scratch folder: name, owner, mode.
    QTest::addColumn<QByteArray>("levels");
    QTest::addColumn<QByteArray>("target"); // below the scratch folder
    QTest::addColumn<QByteArray>("unsafe"); // the level named in the refusal; "" when accepted
    QTest::newRow("root's folders, new level missing")
        << QByteArray("a:0:755") << QByteArray("a/new") << QByteArray();
    QTest::newRow("the database owner's folder")
        << QByteArray("a:1234:700") << QByteArray("a") << QByteArray();
    QTest::newRow("sticky and open to all, as /tmp")
        << QByteArray("a:0:1777") << QByteArray("a/new") << QByteArray();
    QTest::newRow("another user's folder above")
        << QByteArray("a:65534:755") << QByteArray("a/new") << QByteArray("a");
    QTest::newRow("another user's folder in a sticky one")
        << QByteArray("a:0:1777 a/b:65534:700") << QByteArray("a/b") << QByteArray("a/b");
    QTest::newRow("open to the group")
        << QByteArray("a:0:775") << QByteArray("a/new") << QByteArray("a");
    QTest::newRow("through a link into another user's folder")
        << QByteArray("a:65534:755 l>a") << QByteArray("l/new") << QByteArray("a");
}

void tst_MoveChecks::targetOwners()
{
    if (::geteuid() != 0)
        QSKIP("as a normal user any folder the user can write will do");
    QFETCH(QByteArray, levels);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, unsafe);
    // The scratch folder is root's and private; the levels below it are the
    // rows'.
    QCOMPARE(::chmod(m_root.chopped(1).constData(), 0700), 0);
    for (const QByteArray &level : levels.split(' ')) {
        if (level.contains('>')) {
            const QByteArrayList link = level.split('>');
            QCOMPARE(::symlink(QByteArray(m_root + link[1]).constData(),
                               QByteArray(m_root + link[0]).constData()),
                     0);
            continue;
        }
        const QByteArrayList parts = level.split(':');
        const QByteArray path = m_root + parts[0];
        QCOMPARE(::mkdir(path.constData(), 0700), 0);
        QCOMPARE(::chown(path.constData(), uid_t(parts[1].toUInt()), 0), 0);
        QCOMPARE(::chmod(path.constData(), mode_t(parts[2].toUInt(nullptr, 8))), 0);
    }
    // The folder the move holds is reached only through levels checked on
    // their descriptors, so no level swapped meanwhile can lead root
    // elsewhere.
    const MoveChecks::NewFolder held(m_root + target, uid_t(1234));
    if (unsafe.isEmpty())
        QCOMPARE(held.Error(), QString());
    else
        QVERIFY2(
            held.Error().startsWith(QFile::decodeName(m_root + unsafe) + " can be changed by "),
            qPrintable(held.Error()));
}

void tst_MoveChecks::settingsFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("refusal"); // "" when accepted
    const auto row = [](const char *name, const QByteArray &contents, const QString &refusal,
                        const char *setup = "file") {
        QTest::newRow(name) << contents << QString(setup) << refusal;
    };
    const QByteArray ini("[Settings]\r\nDataDirectory=/srv/mail\r\n");
    row("CR LF", ini, QString());
    row("CR at the very end", "[S]\nK=v\r", QString());
    row("UTF-16 LE", QByteArray("\xff\xfe[\0S\0]\0", 8), "UTF-16");
    row("UTF-16 BE", QByteArray("\xfe\xff\0[\0S\0]", 8), "UTF-16");
    row("UTF-32 LE", QByteArray("\xff\xfe\0\0[\0\0\0", 8), "UTF-32");
    row("UTF-32 BE", QByteArray("\0\0\xfe\xff\0\0\0[", 8), "UTF-32");
    row("NUL", QByteArray("[S]\nK=a\0b\n", 10), "NUL");
    row("CR alone", "[S]\rK=v\r", "carriage return alone");
    row("CR before CR LF", "[S]\r\r\nK=v\r\n", "carriage return alone");
    row("two hard links", ini, "2 hard links", "hardlink");
    row("read-only", ini, "read-only", "readonly");
    row("a folder", QByteArray(), "Cannot read", "folder");
    row("link loop", QByteArray(), "loop", "loop");
    // Links, made as root: the link's owner, then "chain" for a link to it
    // made by root (the rule's own table is in the settings writer's tests).
    row("link by the file's owner", ini, QString(), "link 1000");
    row("link by a stranger", ini, "symbolic link", "link 1001");
    row("stranger's link in a chain", ini, "symbolic link", "link 1001 chain");
}

void tst_MoveChecks::settingsFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, setup);
    QFETCH(QString, refusal);
    const QByteArray file = m_root + "Quillbox.ini";
    const QByteArray checked = setup.startsWith("l") ? m_root + "install/Quillbox.ini" : file;
    QCOMPARE(::mkdir(QByteArray(m_root + "install").constData(), 0755), 0);
    if (setup == "folder")
        QCOMPARE(::mkdir(file.constData(), 0755), 0);
    else if (setup == "loop")
        QCOMPARE(::symlink("Quillbox.ini", checked.constData()), 0);
    else
        QVERIFY(FileTest::WriteFile(file, contents));
    if (setup == "hardlink")
        QCOMPARE(::link(file.constData(), QByteArray(m_root + "Second.ini").constData()), 0);
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
