// The Move page: what it shows while the engine copies, how it reports a
// failure, and what Previous, Cancel and a second run do to a copy that runs.
// What the copy writes and what the checks refuse are the engine's, tested
// in tests/wizard/move/.

#include "FileTestSupport.h"
#include "ModalAnswer.h"
#include "StagedInstall.h"
#include "TestDispatcherPlatform.h"
#include "diag/MessagePacket.h"
#include "diag/TCSObjectManager.h"
#include "fileutil/FileUtil.h"
#include "widgets/buttonedit/TRzButtonEdit.h"
#include "widgets/progressbar/TRzProgressBar.h"
#include "widgets/richtext/TRTFLabel.h"
#include "wizard/window/TfrmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file-size limit: writes beyond it fail as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old;
    sighandler_t m_oldHandler;
};

// A slow disk: every read takes a millisecond and brings at most 4 KiB, so
// a large file keeps the copy busy long enough for the user to act.
ssize_t SlowRead(int fd, void *buffer, size_t count)
{
    ::usleep(1000);
    return ::read(fd, buffer, qMin<size_t>(count, 4096));
}

} // namespace

class tst_CopyDatabaseFiles : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StagedInstall> m_install;
    std::unique_ptr<TfrmMain> m_window;
    QStringList m_statusAtSteps;
    // A running dispatcher that takes every record, in place of the desktop.
    std::shared_ptr<TestDispatcherPlatform> m_dispatcher;
    std::unique_ptr<QTemporaryDir> m_state;

    // The plain and list messages the dispatcher received, as kind, text,
    // details and type name (registrations and other control records left out).
    QList<TMessagePacketFields> Messages() const
    {
        QList<TMessagePacketFields> messages;
        for (const auto &record : m_dispatcher->Records) {
            const auto fields = MessagePacket::Parse(record.Bytes);
            if (fields && (fields->Kind == 0 || fields->Kind == 6))
                messages << *fields;
        }
        return messages;
    }

    QByteArray source() const { return m_install->dataFolder(); }
    QByteArray target() const { return m_install->root() + "New"; }
    QWidget *page() const { return m_window->pagScreens->currentWidget(); }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Walks to the Ready page with the given source and target texts.
    void toReadyPage(const QByteArray &sourceText, const QByteArray &targetText, int mode = 0)
    {
        m_install->writeSettings("[Settings]\nConnectionMode=" + QByteArray::number(mode) +
                                 "\nDataDirectory=" + sourceText + "\n");
        m_window = std::make_unique<TfrmMain>(m_install->programFolder());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        click(m_window->btnNext);
        click(m_window->btnNext);
        if (mode == 1)
            m_window->edtRemoteDir->setText(QFile::decodeName(sourceText));
        click(m_window->btnNext);
        QCOMPARE(page(), m_window->tabTarget);
        m_window->edtNewDir->setText(QFile::decodeName(targetText));
        click(m_window->btnNext);
        QCOMPARE(page(), m_window->tabReady);
        connect(m_window->barProgress, &TRzProgressBar::OnChange, this,
                [this] { m_statusAtSteps << m_window->lblStatus->text(); });
    }
    // Next on the Ready page, answering the error report if one comes.
    std::shared_ptr<SeenBox> runCopy()
    {
        auto box = AnswerNextBox(QStringLiteral("OK"));
        click(m_window->btnNext);
        box->cancelled = true;
        return box;
    }

private Q_SLOTS:
    void init();
    void cleanup();

    void copyShowsEachFileAndCompletes();
    void diagnosticsNameFoldersAndFiles();
    void secondRunCountsItsOwnSteps();
    void targetThatIsAFileIsRefused();
    void diskFullStopsTheMove();
    void danglingLinkIsReported();
    void previousAndNestedRunDuringCopy();
    void checksRunOffTheWindowThread();
    void confirmedCancelStopsTheCopy();
    void failedNestedRunLeavesNoMove();
};

void tst_CopyDatabaseFiles::init()
{
    m_state = std::make_unique<QTemporaryDir>();
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_state->path()));
    m_dispatcher = std::make_shared<TestDispatcherPlatform>();
    m_dispatcher->RunningWindow = 0x1234;
    ObjectManager()->SetPlatform(m_dispatcher);
    m_install = std::make_unique<StagedInstall>();
    QVERIFY(m_install->isValid());
    m_install->writeFile(source() + "Messages.dat", QByteArray(20000, 'm'));
    m_install->writeFile(source() + "Folders.dat", "folders");
    m_install->writeFile(source() + ".hidden", "hidden");
    m_install->writeFile(source() + "README", "no dot in the name");
    m_install->writeFile(source() + "Locked.dat", "read-only");
    QVERIFY(::chmod(QByteArray(source() + "Locked.dat").constData(), 0444) == 0);
    QVERIFY(::mkdir(QByteArray(source() + "Archive").constData(), 0755) == 0);
    m_install->writeFile(source() + "Archive/old.dat", "old");
    m_statusAtSteps.clear();
}

void tst_CopyDatabaseFiles::cleanup()
{
    m_window.reset();
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    m_install.reset();
    QVERIFY(OnlyTheseWindowsOpen({}));
}

void tst_CopyDatabaseFiles::copyShowsEachFileAndCompletes()
{
    toReadyPage(source().chopped(1), target());
    const auto box = runCopy();
    QVERIFY2(!box->seen, qPrintable(box->text));

    QCOMPARE(page(), m_window->tabMove);
    QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Copy completed."));
    QVERIFY(m_window->lblStatus->updatesEnabled());
    QVERIFY(m_window->lblContinue->isVisible());
    QVERIFY(m_window->btnNext->isEnabled());
    QVERIFY(!m_window->btnExit->isEnabled());
    QCOMPARE(QApplication::focusWidget(), m_window->btnNext);
    QCOMPARE(m_window->barProgress->TotalParts(), 5);
    QCOMPARE(m_window->barProgress->PartsComplete(), 5);
    QCOMPARE(m_window->barProgress->Percent(), 100);
    // One step per file, each shown while its file was copied.
    QCOMPARE(m_statusAtSteps.size(), 5);
    QVERIFY(m_statusAtSteps.contains(QStringLiteral("Copying Messages.dat...")));
    for (const QString &status : std::as_const(m_statusAtSteps))
        QVERIFY2(status.startsWith(QStringLiteral("Copying ")) && status.endsWith(u"..."),
                 qPrintable(status));
}

void tst_CopyDatabaseFiles::diagnosticsNameFoldersAndFiles()
{
    m_install->writeFile(source() + "caf\xe9.dat", "latin-1 name");
    toReadyPage(source().chopped(1), target());
    QVERIFY(!runCopy()->seen);

    const QList<TMessagePacketFields> messages = Messages();
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages.at(0).Kind, 0);
    QCOMPARE(messages.at(0).Text, "SourceDir = '" + source() + "'");
    QCOMPARE(messages.at(1).Text, "TargetDir = '" + target() + "'");
    QCOMPARE(messages.at(2).Kind, 6);
    QCOMPARE(messages.at(2).Text, QByteArray("FileList"));
    QCOMPARE(messages.at(2).TypeName, QByteArray("TStringList"));
    // Every copied name, byte for byte, each on a line of its own.
    QByteArrayList listed = messages.at(2).Details.split('\n');
    QCOMPARE(listed.takeLast(), QByteArray());
    for (QByteArray &line : listed) {
        QVERIFY(line.endsWith('\r'));
        line.chop(1);
    }
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, (QByteArrayList{".hidden", "Folders.dat", "Locked.dat", "Messages.dat",
                                     "README", "caf\xe9.dat"}));
}

void tst_CopyDatabaseFiles::secondRunCountsItsOwnSteps()
{
    toReadyPage(source(), target());
    runCopy();
    click(m_window->btnPrevious);
    QCOMPARE(page(), m_window->tabReady);
    m_statusAtSteps.clear();
    QVERIFY(!runCopy()->seen);
    QCOMPARE(m_window->barProgress->PartsComplete(), 5);
    // Nothing changed in between: the first run's copies are taken after
    // their read-back, and the page says so before it completes.
    QCOMPARE(m_statusAtSteps.count(QStringLiteral("5 of 5 files already copied and proven.")), 5);
    for (const QString &status : std::as_const(m_statusAtSteps))
        QVERIFY2(!status.startsWith(u"Copying"), qPrintable(status));
    QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Copy completed."));
}

void tst_CopyDatabaseFiles::targetThatIsAFileIsRefused()
{
    m_install->writeFile(m_install->root() + "Taken", "someone's file");
    toReadyPage(source(), m_install->root() + "Taken");
    const auto box = runCopy();
    QVERIFY(box->seen);
    QCOMPARE(box->title, QStringLiteral("Error"));
    QCOMPARE(box->text, QStringLiteral("The new location ") +
                            QFile::decodeName(m_install->root() + "Taken") +
                            QStringLiteral(" is a file, not a folder. Choose a folder for the "
                                           "database."));
    QCOMPARE(StagedInstall::readFile(m_install->root() + "Taken"), QByteArray("someone's file"));
    // Refused before anything was written: the user stays on the Ready page.
    QCOMPARE(page(), m_window->tabReady);
    QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Ready."));
    QVERIFY(!m_window->lblContinue->isVisible());
}

void tst_CopyDatabaseFiles::diskFullStopsTheMove()
{
    m_install->writeFile(source() + "Messages.dat", QByteArray(300000, 'm'));
    const QByteArray settingsBefore;
    toReadyPage(source(), target());
    const QByteArray settings = StagedInstall::readFile(m_install->settingsFile());
    std::shared_ptr<SeenBox> box;
    {
        FileSizeLimit limit(100000);
        box = runCopy();
    }
    QVERIFY(box->seen);
    QCOMPARE(box->text, QStringLiteral("Stream write error."));
    QCOMPARE(page(), m_window->tabMove);
    QVERIFY(!m_window->btnNext->isEnabled());
    QCOMPARE(StagedInstall::readFile(m_install->settingsFile()), settings);
    // Nothing half-written stands under the database's name.
    QVERIFY(StagedInstall::readFile(target() + "/Messages.dat").isEmpty());
}

void tst_CopyDatabaseFiles::danglingLinkIsReported()
{
    QVERIFY(::symlink("gone.dat", QByteArray(source() + "Dangling.dat").constData()) == 0);
    toReadyPage(source(), target());
    const auto box = runCopy();
    QVERIFY(box->seen);
    QCOMPARE(box->text, QStringLiteral("Cannot open file ") +
                            QFile::decodeName(source() + "Dangling.dat") + QLatin1Char('.'));
    QVERIFY(!m_window->btnNext->isEnabled());
    // The failed file's name stands in the status line, drawn.
    QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Copying Dangling.dat..."));
    QVERIFY(m_window->lblStatus->updatesEnabled());
}

void tst_CopyDatabaseFiles::previousAndNestedRunDuringCopy()
{
    toReadyPage(source(), target());
    bool pressed = false;
    connect(m_window->barProgress, &TRzProgressBar::OnChange, this, [this, &pressed] {
        if (pressed || m_window->barProgress->PartsComplete() != 1)
            return;
        pressed = true;
        // The user goes back while the copy runs, then starts it again.
        click(m_window->btnPrevious);
        QCOMPARE(page(), m_window->tabReady);
        click(m_window->btnNext);
    });
    const auto box = runCopy();
    QVERIFY2(!box->seen, qPrintable(box->text));
    QVERIFY(pressed);
    QVERIFY(m_window->btnNext->isEnabled());
    QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Copy completed."));
    for (const QByteArray name : {"Messages.dat", "Folders.dat", ".hidden", "README"})
        QCOMPARE(StagedInstall::readFile(target() + "/" + name),
                 StagedInstall::readFile(source() + name));
}

void tst_CopyDatabaseFiles::checksRunOffTheWindowThread()
{
    toReadyPage(source(), target());
    std::mutex mutex;
    std::condition_variable ticked;
    bool windowTicked = false;
    bool onWindowThread = true;
    bool heldMeanwhile = false;
    // The checks' last step waits until the window's thread has answered a
    // timer: checks on that thread would wait for themselves.
    m_window->SetBetweenStages([&](DatabaseMove::Stage stage) {
        if (stage != DatabaseMove::Stage::Checked)
            return;
        std::unique_lock lock(mutex);
        onWindowThread = QThread::currentThread() == qApp->thread();
        ticked.wait_for(lock, std::chrono::seconds(10), [&] { return windowTicked; });
    });
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        const std::lock_guard lock(mutex);
        if (windowTicked || page() != m_window->tabReady)
            return;
        windowTicked = true;
        const QCursor *pointer = QGuiApplication::overrideCursor();
        heldMeanwhile = !m_window->btnNext->isEnabled() && !m_window->btnPrevious->isEnabled() &&
                        pointer && pointer->shape() == Qt::WaitCursor;
        ticked.notify_all();
    });
    tick.start(1);
    const auto box = runCopy();
    QVERIFY2(!box->seen, qPrintable(box->text));
    QVERIFY(!onWindowThread);
    QVERIFY(windowTicked);
    QVERIFY(heldMeanwhile);
    // The move came back to the window's thread: its run reports there.
    QCOMPARE(page(), m_window->tabMove);
    QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Copy completed."));
}

void tst_CopyDatabaseFiles::confirmedCancelStopsTheCopy()
{
    m_install->writeFile(source() + "Messages.dat", QByteArray(16 << 20, 'm'));
    toReadyPage(source(), target());
    const QByteArray settings = StagedInstall::readFile(m_install->settingsFile());
    std::shared_ptr<SeenBox> confirm;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [this, &confirm] {
        if (confirm || !m_window->lblStatus->text().startsWith(QStringLiteral("Copying ")))
            return;
        confirm = AnswerNextBox(QStringLiteral("&Yes"));
        click(m_window->btnCancel);
    });
    watch.start(5);
    {
        const FileTest::ReadSwap slow(&SlowRead);
        runCopy();
    }
    QVERIFY(confirm && confirm->seen);
    QCOMPARE(confirm->title, QStringLiteral("Confirm"));
    // The window is closed, and the copy stopped with it: the file it was in
    // is not there, half or whole, and the settings are as they were.
    QVERIFY(!m_window->isVisible());
    QVERIFY(FileTest::ListFolder(FileUtil::WithTrailingSeparator(target())).size() < 5);
    QCOMPARE(FileTest::PartialCopies(target()), QByteArrayList());
    QVERIFY(QFileInfo(QFile::decodeName(target() + "/Messages.dat")).size() != 16 << 20);
    QCOMPARE(StagedInstall::readFile(m_install->settingsFile()), settings);
}

void tst_CopyDatabaseFiles::failedNestedRunLeavesNoMove()
{
    // During a copy to New the user goes back, picks Other, and that run
    // fails: the run into New was superseded and must not enable Next either.
    m_install->writeFile(source() + "Messages.dat", QByteArray(16 << 20, 'm'));
    toReadyPage(source(), target());
    const QByteArray settings = StagedInstall::readFile(m_install->settingsFile());
    const QByteArray other = m_install->root() + "Other";
    bool pressed = false;
    // Each box watcher looks for whichever box comes first, so only one may
    // look at a time: the first run's watcher would otherwise take the
    // nested run's report as its own, whichever polls first.
    const auto beforeNested = AnswerNextBox(QStringLiteral("OK"));
    std::shared_ptr<SeenBox> failure;
    std::shared_ptr<SeenBox> afterNested;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (pressed || !m_window->lblStatus->text().startsWith(QStringLiteral("Copying ")))
            return;
        pressed = true;
        click(m_window->btnPrevious);
        click(m_window->btnPrevious);
        QCOMPARE(page(), m_window->tabTarget);
        m_window->edtNewDir->setText(QFile::decodeName(other));
        click(m_window->btnNext);
        QCOMPARE(page(), m_window->tabReady);
        beforeNested->cancelled = true;
        FileSizeLimit limit(100000);
        failure = AnswerNextBox(QStringLiteral("OK"));
        click(m_window->btnNext);
        failure->cancelled = true;
        afterNested = AnswerNextBox(QStringLiteral("OK"));
    });
    watch.start(5);
    {
        const FileTest::ReadSwap slow(&SlowRead);
        click(m_window->btnNext);
    }
    beforeNested->cancelled = true;
    QVERIFY2(!beforeNested->seen, qPrintable(beforeNested->text));
    QVERIFY(pressed);
    // The superseded run reports nothing once the nested one has failed.
    QVERIFY(afterNested);
    afterNested->cancelled = true;
    QVERIFY2(!afterNested->seen, qPrintable(afterNested->text));
    QVERIFY(failure && failure->seen);
    QCOMPARE(failure->text, QStringLiteral("Stream write error."));
    QCOMPARE(page(), m_window->tabMove);
    QVERIFY(!m_window->btnNext->isEnabled());
    QVERIFY(!m_window->lblContinue->isVisible());
    QCOMPARE(FileTest::PartialCopies(target()), QByteArrayList());
    QCOMPARE(FileTest::PartialCopies(other), QByteArrayList());
    // Even asked directly, the settings file does not get either folder.
    QVERIFY_THROWS_EXCEPTION(Exception, m_window->SaveLocalSettings());
    QCOMPARE(StagedInstall::readFile(m_install->settingsFile()), settings);
}

QTEST_MAIN(tst_CopyDatabaseFiles)
#include "tst_CopyDatabaseFiles.moc"
