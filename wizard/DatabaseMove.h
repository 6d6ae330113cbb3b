#pragma once

#include "fileutil/CheckedCopy.h"
#include "wizard/ConnectionMode.h"
#include "wizard/MoveChecks.h"
#include "wizard/MoveLog.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QString>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class MoveLock;
class QThread;

// A copy that does not read back as what was read from its source: the
// copy itself went through, so the caller can tell it from a failed copy.
class EProofFailed : public Exception
{
public:
    using Exception::Exception;
};

// What a move shows and asks while it runs: the wizard's Move page, or the
// command line. Every call comes on the thread that runs the move.
class MoveView
{
public:
    virtual ~MoveView() = default;

    enum class WritersAnswer
    {
        Retry,
        Ignore,
        Cancel,
    };

    // A check refused the move; the text says why and what to do.
    virtual void Refuse(const QString &text) = 0;
    // Other programs write to files of the data folder.
    virtual WritersAnswer AskWriters(const QString &text) = 0;
    // The new folder holds files that are not part of the database; true
    // goes on.
    virtual bool AskForeignFiles(const QString &text) = 0;

    // The run begins: the folders as the copy uses them.
    virtual void Starting(const QByteArray &sourcePrefix, const QByteArray &target) = 0;
    // The files to copy, in the order they will be copied.
    virtual void Listed(const QByteArrayList &names, qint64 totalBytes) = 0;
    virtual void Copying(int index, const QByteArray &name) = 0;
    // Bytes done in all, now and then while a large file is copied.
    virtual void Progress(qint64 bytesDone) { Q_UNUSED(bytesDone); }
    virtual void Copied(int index) = 0;
    virtual void Checking(const QByteArray &name) = 0;
};

// One move of a database folder: the checks before anything is written, the
// copy with its proof, the settings change and the log entry. The window and
// the command line drive it alike.
class DatabaseMove : public QObject
{
    Q_OBJECT

public:
    struct Plan
    {
        QByteArray Source;       // the data folder
        QByteArray Target;       // the new folder, as the user gave it
        QByteArray SettingsFile; // Quillbox.ini
        // Local: the settings file gets the new folder.
        ConnectionMode Mode = ConnectionMode::Local;

        bool operator==(const Plan &) const = default;
    };

    enum class Outcome
    {
        Proven,  // every file copied, flushed and read back equal
        Stopped, // stopped on request: superseded, cancelled, interrupted
    };

    DatabaseMove(Plan plan, MoveView *view, QObject *parent = nullptr);
    // Stops a copy that still runs and writes the log entry of a move that
    // never got to write one.
    ~DatabaseMove() override;

    const Plan &GetPlan() const { return m_plan; }
    // The view that the next calls go to; the checks and the run may have
    // different ones.
    void SetView(MoveView *view) { m_view = view; }
    // The last Run() copied, flushed and proved every file.
    bool Proven() const { return m_proven; }
    QString LogPath() const { return m_log.Path(); }

    // The checks. False when one refused or the user chose not to go on;
    // nothing is left behind either way. Passing takes the move's locks.
    bool Check();

    // Creates the new folder, lists and copies every file on a worker thread,
    // flushes the copies and proves each one. Waits in an event loop, so the
    // caller's window stays responsive. Raises the failure's error, after the
    // log entry is written.
    Outcome Run();

    // Asks a running copy to stop within the current file and waits until it
    // has: its half-written file is gone when this returns. A nested call
    // from the waiting event loop is safe.
    void Stop();
    bool IsRunning() const { return m_running; }

    // Local mode: writes the new folder into the settings file and reads it
    // back with the same reader; the old bytes come back when the value does
    // not. Only for a proven run.
    void WriteSettings();

    // Every entry directly in the folder that is a regular file or a link to
    // one, in the order the listing returns them. betweenEntries runs after
    // each entry but the first.
    static QList<MoveChecks::SourceFile>
    ListSourceFiles(const QByteArray &sourcePrefix,
                    const std::function<void()> &betweenEntries = {});

    // A new move must not meet one that runs in another Flitto.
    static QString LockRefusal(const QByteArray &what);

private:
    void Post(std::function<void()> call);
    void CopyAll(); // on the worker thread
    bool TakeLocks(QString *refusal);
    void CreateTarget();
    // Every file copied so far, with its size and checksum, into the log.
    void LogCopies();
    [[noreturn]] void Fail(const std::exception_ptr &error);

    Plan m_plan;
    QByteArray m_sourcePrefix;
    MoveView *m_view;
    MoveLog m_log;
    std::unique_ptr<MoveLock> m_lock;
    QList<MoveChecks::SourceFile> m_files;
    QList<FileUtil::CheckedCopyRecord> m_records;
    std::atomic<bool> m_stop{false};
    std::exception_ptr m_workerError;
    std::unique_ptr<QThread> m_worker;
    bool m_running = false;
    bool m_proven = false;
    bool m_logged = false;
};
