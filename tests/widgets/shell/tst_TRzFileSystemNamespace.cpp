#include "ModalAnswer.h"
#include "widgets/shell/TRzFileSystemNamespace.h"
#include "widgets/shell/TRzShellCommands.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TRzShellListFlags)
Q_DECLARE_METATYPE(TRzShellAttributes)

class TestTRzFileSystemNamespace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void parsePath_data();
    void parsePath();
    void listChildren_data();
    void listChildren();
    void listingThatCannotStart_data();
    void listingThatCannotStart();
    void itemAttributes_data();
    void itemAttributes();
    void compareItems_data();
    void compareItems();
    void renameItem_data();
    void renameItem();
    void bytesSurvive();
    void commands_data();
    void commands();
    void moveToTrash_data();
    void moveToTrash();

private:
    QByteArray T() const { return QFile::encodeName(m_temp->path()); }
    TRzShellAbsId Id(const QByteArray &path) { return *m_ns.ParsePath(path); }

    TRzFileSystemNamespace m_ns;
    std::unique_ptr<QTemporaryDir> m_temp;
    QTemporaryDir m_home; // without ~/.local/share, as on a fresh account
    QTemporaryDir m_current;
};

void TestTRzFileSystemNamespace::initTestCase()
{
    QVERIFY(m_home.isValid() && m_current.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qunsetenv("XDG_DATA_HOME");
    QVERIFY(QDir::setCurrent(m_current.path()));
}

void TestTRzFileSystemNamespace::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    QDir top(m_temp->path());
    QVERIFY(top.mkpath(QStringLiteral("a/b")));
    QVERIFY(top.mkdir(QStringLiteral(".hid")));
    QVERIFY(top.mkdir(QStringLiteral("Zed")));
    QFile file(top.filePath(QStringLiteral("f.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(top.filePath(QStringLiteral("a")), top.filePath(QStringLiteral("link"))));
    QVERIFY(
        QFile::link(top.filePath(QStringLiteral("f.txt")), top.filePath(QStringLiteral("flink"))));
    QCOMPARE(::mkfifo(QByteArray(T() + "/pipe").constData(), 0600), 0);
}

void TestTRzFileSystemNamespace::parsePath_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("expected"); // empty: no item

    QTest::newRow("plain") << QByteArray("$T/a/b") << QByteArray("$T/a/b");
    QTest::newRow("trailing slash") << QByteArray("$T/a/b/") << QByteArray("$T/a/b");
    QTest::newRow("dots and doubled slashes") << QByteArray("$T/./a//b") << QByteArray("$T/a/b");
    QTest::newRow("parent step") << QByteArray("$T/a/b/../b") << QByteArray("$T/a/b");
    QTest::newRow("relative to the current folder") << QByteArray("a/b") << QByteArray("$T/a/b");
    QTest::newRow("file") << QByteArray("$T/f.txt") << QByteArray("$T/f.txt");
    QTest::newRow("root") << QByteArray("/") << QByteArray("/");
    QTest::newRow("missing") << QByteArray("$T/zzz") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("too long") << (QByteArray("$T/") + QByteArray(5000, 'x')) << QByteArray();
}

void TestTRzFileSystemNamespace::parsePath()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, expected);
    const QByteArray previous = QFile::encodeName(QDir::currentPath());
    QVERIFY(QDir::setCurrent(m_temp->path()));
    const std::optional<TRzShellAbsId> item = m_ns.ParsePath(path.replace("$T", T()));
    QVERIFY(QDir::setCurrent(QFile::decodeName(previous)));
    QCOMPARE(item.has_value(), !expected.isEmpty());
    if (item)
        QCOMPARE(m_ns.ItemPath(*item), expected.replace("$T", T()));
}

void TestTRzFileSystemNamespace::listChildren_data()
{
    QTest::addColumn<TRzShellListFlags>("request");
    QTest::addColumn<QByteArrayList>("children");

    QTest::newRow("folders, links to folders included")
        << TRzShellListFlags(slFolders) << QByteArrayList{"Zed", "a", "link"};
    QTest::newRow("hidden too") << TRzShellListFlags(slHidden)
                                << QByteArrayList{".hid", "Zed", "a", "link"};
    QTest::newRow("non-folders too")
        << TRzShellListFlags(slNonFolders)
        << QByteArrayList{"Zed", "a", "f.txt", "flink", "link", "pipe"};
}

void TestTRzFileSystemNamespace::listChildren()
{
    QFETCH(TRzShellListFlags, request);
    QFETCH(QByteArrayList, children);
    TRzShellListing listing = m_ns.ListChildren(Id(T()), request);
    QCOMPARE(listing.outcome, TRzShellListing::Complete);
    std::sort(listing.children.begin(), listing.children.end());
    QCOMPARE(listing.children, children);
}

void TestTRzFileSystemNamespace::listingThatCannotStart_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("a file") << QByteArray("f.txt") << QStringLiteral("Not a directory");
    QTest::newRow("a FIFO, which must not block")
        << QByteArray("pipe") << QStringLiteral("Not a directory");
    QTest::newRow("a folder that vanished")
        << QByteArray("Zed") << QStringLiteral("No such file or directory");
}

void TestTRzFileSystemNamespace::listingThatCannotStart()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, message);
    const TRzShellAbsId item = Id(T() + '/' + path);
    QVERIFY(QDir(m_temp->path()).rmdir(QStringLiteral("Zed")));
    const TRzShellListing listing = m_ns.ListChildren(item, slNonFolders);
    QCOMPARE(listing.outcome, TRzShellListing::NotStarted);
    QCOMPARE(listing.message, message);
}

void TestTRzFileSystemNamespace::itemAttributes_data()
{
    QTest::addColumn<QByteArray>("child");      // below the temporary folder
    QTest::addColumn<QByteArray>("linkTarget"); // a link "ln" to it is put into the child
    QTest::addColumn<TRzShellAttributes>("expected");
    const TRzShellAttributes folder = saFileSystem | saFileSystemAncestor | saFolder | saCanRename;
    QTest::newRow("folder with a subfolder")
        << QByteArray("a") << QByteArray() << (folder | saHasSubfolders);
    QTest::newRow("hidden folder") << QByteArray(".hid") << QByteArray() << (folder | saHidden);
    QTest::newRow("link to a folder")
        << QByteArray("link") << QByteArray() << (folder | saLink | saHasSubfolders);
    QTest::newRow("file") << QByteArray("f.txt") << QByteArray() << (saFileSystem | saCanRename);
    QTest::newRow("link to a file")
        << QByteArray("flink") << QByteArray() << (saFileSystem | saLink | saCanRename);
    // On a file system that counts subfolders in the link count.
    QTest::newRow("empty folder") << QByteArray("a/b") << QByteArray() << folder;
    QTest::newRow("folder holding only a link to a folder")
        << QByteArray("a/b") << QByteArray("Zed") << (folder | saHasSubfolders);
    QTest::newRow("folder holding only a link to a file")
        << QByteArray("a/b") << QByteArray("f.txt") << folder;
}

void TestTRzFileSystemNamespace::itemAttributes()
{
    QFETCH(QByteArray, child);
    QFETCH(QByteArray, linkTarget);
    QFETCH(TRzShellAttributes, expected);
    if (!linkTarget.isEmpty())
        QCOMPARE(::symlink(QByteArray(T() + '/' + linkTarget).constData(),
                           QByteArray(T() + '/' + child + "/ln").constData()),
                 0);
    const qsizetype slash = child.lastIndexOf('/');
    const TRzShellAbsId folder = Id(slash < 0 ? T() : T() + '/' + child.left(slash));
    const std::optional<TRzShellAttributes> attributes =
        m_ns.ItemAttributes(folder, child.mid(slash + 1));
    QVERIFY(attributes);
    QCOMPARE(*attributes, expected);
    QVERIFY(!m_ns.ItemAttributes(Id(T()), "missing"));
}

void TestTRzFileSystemNamespace::compareItems_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("case ignored first") << QByteArray("apple") << QByteArray("Banana") << -1;
    QTest::newRow("then exact") << QByteArray("Data") << QByteArray("data") << -1;
    QTest::newRow("same item") << QByteArray("data") << QByteArray("data") << 0;
    QTest::newRow("longer after its prefix") << QByteArray("ab") << QByteArray("a") << 1;
}

void TestTRzFileSystemNamespace::compareItems()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, sign);
    const int order = m_ns.CompareItems({}, a, b);
    QCOMPARE((order > 0) - (order < 0), sign);
    QCOMPARE(m_ns.CompareIds({"x", a}, {"x", b}) == 0, sign == 0);
}

void TestTRzFileSystemNamespace::renameItem_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");

    QTest::newRow("free name") << QStringLiteral("fresh") << true << QString();
    QTest::newRow("slash") << QStringLiteral("x/y") << false
                           << QStringLiteral("\"x/y\" cannot be used as a name: a name must not "
                                             "contain \"/\" or a NUL character.");
    QTest::newRow("NUL") << (QStringLiteral("x") + QChar(0) + QStringLiteral("y")) << false
                         << (QStringLiteral("\"x") + QChar(0) +
                             QStringLiteral("y\" cannot be used as a name: a name must not "
                                            "contain \"/\" or a NUL character."));
    QTest::newRow("existing folder") << QStringLiteral("Zed") << false
                                     << QStringLiteral("\"Zed\" cannot be used as a name: a file "
                                                       "or folder with that name already exists "
                                                       "here.");
    QTest::newRow("existing dangling link") << QStringLiteral("dangling") << false
                                            << QStringLiteral("\"dangling\" cannot be used as a "
                                                              "name: a file or folder with that "
                                                              "name already exists here.");
    QTest::newRow("dot") << QStringLiteral(".") << false
                         << QStringLiteral("\".\" cannot be used as a name: it is reserved for the "
                                           "folder itself and its parent.");
    QTest::newRow("too long") << QString(300, QLatin1Char('n')) << false
                              << QStringLiteral("Unable to rename \"a\" to \"%1\".\n\nFile name "
                                                "too long")
                                     .arg(QString(300, QLatin1Char('n')));
}

void TestTRzFileSystemNamespace::renameItem()
{
    QFETCH(QString, newName);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QVERIFY(QFile::link(QStringLiteral("/nowhere"), m_temp->filePath(QStringLiteral("dangling"))));
    const TRzShellRenameResult result = m_ns.RenameItem(Id(T()), "a", newName);
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.message, message);
    QCOMPARE(QFileInfo(m_temp->filePath(QStringLiteral("a/b"))).isDir(), !ok);
    if (ok) {
        QCOMPARE(result.newId, std::optional<QByteArray>(QFile::encodeName(newName)));
        QVERIFY(QFileInfo(m_temp->filePath(newName + QStringLiteral("/b"))).isDir());
    }
    QVERIFY(QFileInfo(m_temp->filePath(QStringLiteral("Zed"))).isDir());
}

void TestTRzFileSystemNamespace::bytesSurvive()
{
    // A name that is not valid UTF-8 is listed and found byte for byte.
    const QByteArray odd("odd-\xff\xfe");
    QCOMPARE(::mkdir(QByteArray(T() + '/' + odd).constData(), 0700), 0);
    const TRzShellListing listing = m_ns.ListChildren(Id(T()), slFolders);
    QVERIFY(listing.children.contains(odd));
    const std::optional<TRzShellAbsId> item = m_ns.ParsePath(T() + '/' + odd);
    QVERIFY(item);
    QCOMPARE(item->last(), odd);
    QCOMPARE(::rmdir(QByteArray(T() + '/' + odd).constData()), 0);
}

void TestTRzFileSystemNamespace::commands_data()
{
    QTest::addColumn<bool>("offerRename");
    QTest::addColumn<QStringList>("verbs");
    QTest::newRow("with rename") << true
                                 << QStringList{QStringLiteral("open"), QStringLiteral("copypath"),
                                                QStringLiteral("rename"), QStringLiteral("delete")};
    QTest::newRow("read-only tree")
        << false
        << QStringList{QStringLiteral("open"), QStringLiteral("copypath"),
                       QStringLiteral("delete")};
}

void TestTRzFileSystemNamespace::commands()
{
    QFETCH(bool, offerRename);
    QFETCH(QStringList, verbs);
    std::unique_ptr<TRzShellCommands> commands =
        m_ns.ItemCommands(Id(T()), "a", offerRename, nullptr);
    QVERIFY(commands);
    QStringList listed;
    for (const TRzShellCommand &command : commands->Commands())
        listed << command.verb;
    QCOMPARE(listed, verbs);
    QVERIFY(commands->Find(QStringLiteral("Delete")));
    QCOMPARE(commands->Invoke(QStringLiteral("format"), nullptr),
             TRzShellCommands::Outcome::Unknown);
    // A disabled command is never carried out, whatever is asked.
    commands->Disable(QStringLiteral("delete"));
    QCOMPARE(commands->Invoke(QStringLiteral("delete"), nullptr),
             TRzShellCommands::Outcome::Declined);
    QVERIFY(QFileInfo(m_temp->filePath(QStringLiteral("a"))).isDir());

    QString error;
    QVERIFY(!m_ns.ItemCommands(Id(T()), "missing", true, &error));
    QVERIFY(error.contains(QStringLiteral("No such file or directory")));
}

void TestTRzFileSystemNamespace::moveToTrash_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("vanishes"); // removed before the command runs
    QTest::newRow("folder") << QByteArray("a") << false;
    QTest::newRow("name that is not valid UTF-8") << QByteArray("odd-\xff\xfe") << false;
    QTest::newRow("link to a folder, not its target") << QByteArray("link") << false;
    QTest::newRow("folder that vanished") << QByteArray("Zed") << true;
}

void TestTRzFileSystemNamespace::moveToTrash()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, vanishes);
    const QByteArray path = T() + '/' + name;
    if (name.startsWith("odd"))
        QCOMPARE(::mkdir(path.constData(), 0700), 0); // the others are made by init
    std::unique_ptr<TRzShellCommands> commands = m_ns.ItemCommands(Id(T()), name, false, nullptr);
    QVERIFY(commands);
    if (vanishes)
        QCOMPARE(::rmdir(path.constData()), 0);
    auto confirm = AnswerNextBox(QStringLiteral("&Yes"));
    auto failure = vanishes ? AnswerNextBox(QStringLiteral("OK")) : nullptr;
    QCOMPARE(commands->Invoke(QStringLiteral("delete"), nullptr),
             vanishes ? TRzShellCommands::Outcome::Failed : TRzShellCommands::Outcome::Done);
    QVERIFY(confirm->seen);
    const QByteArray trash = QFile::encodeName(m_home.path()) + "/.local/share/Trash";
    struct stat info;
    QVERIFY(!QFileInfo::exists(m_current.filePath(QStringLiteral("files"))));
    if (vanishes) {
        QTRY_VERIFY(failure->seen);
        QVERIFY2(failure->text.startsWith(QStringLiteral("Unable to move")) &&
                     failure->text.contains(QStringLiteral("No such file or directory")),
                 qPrintable(failure->text));
        QVERIFY(::lstat(QByteArray(trash + "/files/" + name).constData(), &info) != 0);
        return;
    }
    QVERIFY(::lstat(path.constData(), &info) != 0);
    QCOMPARE(::lstat(QByteArray(trash + "/files/" + name).constData(), &info), 0);
    QCOMPARE(S_ISLNK(info.st_mode), name == "link");
    QVERIFY(QFileInfo(m_temp->filePath(QStringLiteral("a/b"))).isDir() || name == "a");
    QCOMPARE(::stat(trash.constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0700u);
    // Read and removed as bytes: the odd name has no text form.
    std::ifstream record(QByteArray(trash + "/info/" + name + ".trashinfo").toStdString());
    const std::string text{std::istreambuf_iterator<char>(record), {}};
    QVERIFY2(text.find("\nPath=" + path.toPercentEncoding("/").toStdString() + '\n') !=
                 std::string::npos,
             text.c_str());
    std::filesystem::remove_all(
        QFile::encodeName(m_home.filePath(QStringLiteral(".local"))).toStdString());
}

QTEST_MAIN(TestTRzFileSystemNamespace)
#include "tst_TRzFileSystemNamespace.moc"
