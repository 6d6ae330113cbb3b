#pragma once

#include "fileutil/CheckedCopy.h"
#include "wizard/move/MoveCheckList.h"
#include "wizard/move/MoveChecks.h"
#include "wizard/move/MoveJournal.h"
#include "wizard/move/MoveLog.h"
#include "wizard/move/MovePlan.h"
#include "wizard/move/MoveView.h"
#include "wizard/settings/ConnectionMode.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class MoveLock;
class QThread;

// A copy that does not read back as what was read from its source: the
// copy itself went through, so the caller can tell it from a failed copy.
class EProofFailed : public Exception
{
public:
    using Exception::Exception;
};

// One move of a database folder: the checks before anything is written, the
// copy with its proof, the settings change and the log entry. The window and
// the command line drive it alike.
class DatabaseMove : public QObject
{
    Q_OBJECT

public:
    using Plan = MovePlan;

    enum class Outcome
    {
        Proven,  // every file copied, flushed and read back equal
        Stopped, // stopped on request: superseded, cancelled, interrupted
    };

    // The points between the stages of a move, where tests change the world
    // under it: after the checks, after the copy, after the proof, and
    // before the settings write. Copied and Proven come on the copy's
    // thread.
    enum class Stage
    {
        Checked,
        Copied,
        Proven,
        WritingSettings,
    };

    DatabaseMove(Plan plan, MoveView *view, QObject *parent = nullptr);
    // A test seam: called at each stage.
    void SetBetweenStages(std::function<void(Stage)> call) { m_betweenStages = std::move(call); }
    // Stops a copy that still runs and writes the log entry of a move that
    // never got to write one.
    ~DatabaseMove() override;

    const Plan &GetPlan() const { return m_plan; }
    // A run into a folder that holds this move's unfinished copies takes
    // each one that reads back as its source instead of copying it again;
    // false copies every file again.
    void SetResume(bool resume) { m_resume = resume; }
    // What the run says when an earlier run's copies were taken.
    static QString ResumedText(int proven, int files);
    // How many files the last run took from an earlier run.
    int Resumed() const { return m_resumed; }
    // The view that the next calls go to; the checks and the run may have
    // different ones.
    void SetView(MoveView *view) { m_view = view; }
    // The last Run() copied, flushed and proved every file.
    bool Proven() const { return m_proven; }
    QString LogPath() const { return m_log.Path(); }
    const MoveLog &Log() const { return m_log; }
    // A dry run whose checks passed ends here: its entry goes into the log.
    void LogDryRun() { m_log.Write(QStringLiteral("checks passed (dry run)")); }

    // The checks. False when one refused or the user chose not to go on;
    // nothing is left behind either way. Passing takes the move's locks.
    // A dry run (the command line's --check) removes no leftovers: it only
    // says which it would. It goes on past a finding, so that the user
    // learns every one at once.
    enum class Checking
    {
        ForMove,
        DryRun,
    };
    bool Check(Checking checking = Checking::ForMove);

    // Creates the new folder, lists and copies every file on a worker thread,
    // flushes the copies and proves each one. Waits in an event loop, so the
    // caller's window stays responsive. Raises the failure's error, after the
    // log entry is written.
    Outcome Run();

    // Asks a running copy to stop within the current file and waits, in an
    // event loop, until it has: its half-written file is then gone. A nested
    // call from the waiting event loop is safe. False when the wait ended
    // first because the application quits: the copy may be stuck in a read
    // on a file system that stopped answering, and cannot be joined.
    bool Stop();
    // The process is about to end without waiting for a copy that does not
    // stop: the log says so.
    void Abandon();
    bool IsRunning() const { return m_running; }

    // The data folder's files as last listed: by the checks, then by the
    // run.
    const QList<MoveChecks::SourceFile> &Files() const { return m_files; }
    // For a dry run's report: the data folder's entries that stay behind or
    // are followed, and the new folder's room.
    QList<MoveChecks::LeftBehind> EntriesLeftBehind() const;
    std::optional<MoveChecks::SpaceReport> Space() const;

    // Local mode: writes the plan's new folder into the settings file and
    // reads it back with the same reader; the old bytes come back when the
    // value does not. Only when lastRun, the most recent run, has ended
    // proven with exactly this plan; otherwise raises NotProven.
    static void WriteSettings(DatabaseMove *lastRun, const MovePlan &plan);
    static Exception NotProven(const MovePlan &plan);
    // Remote mode, where the settings stay as they are: the same end check
    // the settings write makes (the data folder still lists as the copy
    // found it), before the user is told the database has moved. Raises
    // what it finds, or NotProven as WriteSettings does.
    static void ConfirmMove(DatabaseMove *lastRun, const MovePlan &plan);

    // Remote mode: the program ends after a proven move that ConfirmMove
    // passed. Removes the journal that told later runs the new folder is an unfinished move;
    // until then a rerun into the same folder goes on with it. Local mode
    // does this once the settings are written.
    void Conclude();
    // Neither folder lies inside the other: deleting the old one cannot
    // touch the new.
    bool FoldersApart() const;

private:
    void Post(std::function<void()> call);
    // The steps of a run, on the worker thread: the listing, the copies an
    // earlier run left, the rest of the files, and the proof.
    void CopyAll();
    void ListForCopy();
    void TellListed();
    // owner holds the identity the options read as, and must outlive them.
    FileUtil::CheckedCopyOptions CopyOptions(FileUtil::FsIdentity *owner) const;
    void TakeEarlierCopies(const FileUtil::CheckedCopyOptions &options, qint64 *done,
                           QList<bool> *reused);
    // Copies every file not reused; done: the bytes already taken.
    void CopyTheRest(FileUtil::CheckedCopyOptions options, const QList<bool> &reused, qint64 done);
    void ProveCopies();
    // The copies an earlier run left that read back as their sources go
    // into m_records; the number of them. On the worker thread.
    int ReuseEarlierCopies(const FileUtil::CheckedCopyOptions &options, qint64 *done,
                           QList<bool> *reused);
    // The journal's line for a copy written or taken; written in batches.
    void Journal(const FileUtil::CheckedCopyRecord &record);
    void FlushJournal();
    // The writers check found nothing, and no one was told to be ignored:
    // a recorded checksum may stand for reading the source again.
    bool WritersClear() const { return m_writersClear && !m_writersIgnored; }
    enum class Verdict
    {
        Passed,    // or the user chose to go on
        Refused,   // *refusal says why
        Cancelled, // the user chose not to go on
    };
    Verdict Passes(const MoveCheckList::Check &check, MoveCheckList::Context &context,
                   QString *refusal);
    static void RequireProven(const DatabaseMove *lastRun, const MovePlan &plan,
                              ConnectionMode mode);
    void WriteProvenSettings();
    void WriteSettingsFile();
    // Fails the move, with the advice to close Quillbox, when the data
    // folder no longer lists as the copy found it.
    void ThrowIfDataFolderChanged() const;
    // The end check's look at other programs: fails the move when one
    // writes the data folder now, unless the user chose to go on with them.
    void ThrowIfWritten() const;
    // Before the user is told the database moved: both of the above.
    void EndCheck() const;
    void Reached(Stage stage);
    void CreateTarget();
    // The data folder as the checks opened it; false when it is not open.
    bool DataFolderInfo(struct stat *info) const;
    std::optional<uid_t> RootsTrust() const;
    // Every file copied so far, with its size and checksum, into the log.
    void LogCopies();
    [[noreturn]] void Fail(const std::exception_ptr &error);

    Plan m_plan;
    QByteArray m_sourcePrefix;
    MoveView *m_view;
    MoveLog m_log;
    // Before the lock: the lock's file in the new folder goes first, and
    // the levels made for the move can then go while they are empty.
    FileUtil::FileHandle m_dataFolder;
    std::unique_ptr<MoveChecks::NewFolder> m_newFolder;
    std::function<void(Stage)> m_betweenStages;
    std::unique_ptr<MoveLock> m_lock;
    QList<MoveChecks::SourceFile> m_files;
    // A copy as the run keeps it until its log entry, a few bytes a file:
    // the listing has the file's name and identity, RecordOf puts the two
    // together again for the proof.
    struct CopyKept
    {
        int File = 0; // in m_files
        bool SourceChanged = false;
        bool CopyProven = false;
        qint64 BytesRead = 0;
        quint64 Checksum = 0;
    };
    static CopyKept Keep(int file, const FileUtil::CheckedCopyRecord &record);
    FileUtil::CheckedCopyRecord RecordOf(const CopyKept &kept) const;
    QList<CopyKept> m_records;
    std::atomic<bool> m_stop{false};
    // The view's calls from the workers, waiting for the view's thread.
    std::mutex m_postGuard;
    std::condition_variable m_postTaken;
    std::vector<std::function<void()>> m_posted;
    bool m_postPending = false;
    std::exception_ptr m_workerError;
    std::unique_ptr<QThread> m_worker;
    bool m_running = false;
    bool m_proven = false;
    bool m_concluded = false;      // the journal is gone: the move is over
    bool m_confirmed = false;      // remote mode: ConfirmMove passed
    bool m_writersIgnored = false; // the user answered Ignore to the writers
    bool m_writersClear = false;   // the writers check found nothing
    bool m_resume = true;
    int m_resumed = 0;
    // The copies the unfinished move in the new folder recorded, until the
    // run has looked at them.
    QHash<QByteArray, MoveJournal::Entry> m_earlier;
    FileUtil::FileHandle m_journal; // open for appending
    QByteArray m_journalPending;
    qsizetype m_journalLines = 0;
    qint64 m_journalBytes = 0; // copied by the files of the pending lines
    QElapsedTimer m_journalWritten;
    int m_journalError = 0;
    bool m_logged = false;
};
