#include "wizard/move/DatabaseMove.h"

#include "fileutil/EStreamError.h"
#include "fileutil/Exception.h"
#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"
#include "fileutil/FlagScope.h"
#include "fileutil/Parallel.h"
#include "fileutil/PrivateProfile.h"
#include "fileutil/SafeFile.h"
#include "wizard/move/MoveJournal.h"
#include "wizard/move/MoveLock.h"
#include "wizard/settings/Installation.h"
#include "wizard/settings/TIniFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScopeGuard>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Progress within a large file reaches the view at most this often.
constexpr qint64 ProgressIntervalMs = 100;
// Reads of the proof in flight at once: enough to keep a disk's queue busy,
// few enough that a Cancel is waited for only as long as one read each.
constexpr int ProofThreads = 8;
// Calls for the view that may wait for its thread before the copy waits too.
constexpr size_t MaxQueuedCalls = 4096;

// record names its files by their names alone (see RecordOf).
QString ProofFailure(FileUtil::ProofResult result, const FileUtil::CheckedCopyRecord &record,
                     const QByteArray &sourcePrefix, const QByteArray &target)
{
    const QByteArray source = sourcePrefix + record.Source;
    const QByteArray copy = FileUtil::AppendFolderSeparator(target) + record.Target;
    if (result == FileUtil::ProofResult::SourceChanged)
        return QStringLiteral("%1 changed while it was copied: is Quillbox still running? "
                              "Close Quillbox and start the move again")
            .arg(PathText(source));
    return QStringLiteral("The copy %1 does not hold what was read from %2: the new location "
                          "may be failing. Choose another location and start the move again")
        .arg(PathText(copy), PathText(source));
}

QString CopyFailureDetails(const EStreamError &failure, const QByteArray &source,
                           const MovePlan &plan)
{
    const QString reason = failure.SystemError() != 0 ? SystemErrorText(failure.SystemError())
                                                      : QStringLiteral("no reason given");
    QString what;
    if (dynamic_cast<const EFOpenError *>(&failure) || dynamic_cast<const EReadError *>(&failure))
        what = QStringLiteral("Reading %1 failed: %2. Check the disk of the current location, "
                              "then start the move again.")
                   .arg(PathText(source), reason);
    else
        what = QStringLiteral("Writing its copy into %1 failed: %2. Make room there (or lift a "
                              "file size limit, ulimit -f), then start the move again.")
                   .arg(PathText(plan.Target), reason);
    return what + QStringLiteral(" The files copied so far stay in %1, and Quillbox.ini is "
                                 "unchanged; a move started again into it goes on with them.")
                      .arg(PathText(plan.Target));
}

// Run as root, a new folder gets the data folder's owner, group and mode,
// set through the open folder so that a link swapped in meanwhile is never
// followed.
void TakeOwnerOf(int folder, const struct stat &source)
{
    if (::fchown(folder, source.st_uid, source.st_gid) == 0)
        ::fchmod(folder, source.st_mode & 07777);
}

// The settings file as it is now must still say what the front end read
// when the move was planned: a change made meanwhile by another move, or by
// hand, is never overwritten.
void ThrowIfSettingsChanged(const MovePlan &plan, const QByteArray &now)
{
    if (!plan.Loaded)
        return;
    const QString change = Installation::DescribeChange(*plan.Loaded, Installation::SnapshotOf(now),
                                                        plan.SettingsFile);
    if (!change.isEmpty())
        throw Exception(change);
}

// The new folder's name must still lead to folder, the one the copies are
// in.
void ThrowIfTargetReplaced(const MovePlan &plan, int folder)
{
    struct stat named, held;
    if (::stat(plan.Target.constData(), &named) != 0 || ::fstat(folder, &held) != 0 ||
        named.st_dev != held.st_dev || named.st_ino != held.st_ino)
        throw Exception(QStringLiteral("%1 no longer leads to the folder the database was "
                                       "copied into: someone replaced it during the move. "
                                       "Quillbox still uses %2; move the database again")
                            .arg(PathText(plan.Target), PathText(plan.Source)));
}

// Swaps changed in for the settings file, only while it still holds before
// (nullopt: while there is none).
void ReplaceSettings(const MovePlan &plan, const QByteArray &changed,
                     const std::optional<QByteArray> &before)
{
    const QByteArray &file = plan.SettingsFile;
    if (SafeFile::Replace(file, changed, before))
        return;
    const int error = errno;
    if (error == ECANCELED)
        throw Exception(QStringLiteral("%1 was changed by another program while Flitto wrote "
                                       "it, and keeps that program's change. Quillbox still "
                                       "uses %2; move the database again")
                            .arg(PathText(file), PathText(plan.Source)));
    throw EIniFileException(
        QStringLiteral("Unable to write to %1: %2").arg(PathText(file), SystemErrorText(error)));
}

// What Quillbox will read is what counts: a value that does not come back
// whole through the same reader would point it elsewhere. The old bytes,
// before, then go back when there were any.
void ThrowUnlessReadBack(const MovePlan &plan, const QByteArray &changed,
                         const std::optional<QByteArray> &before)
{
    const QByteArray &file = plan.SettingsFile;
    const TIniFile settings(file);
    if (settings.ReadString(Installation::SettingsSection, Installation::DataDirectoryKey,
                            QByteArray()) == plan.Target)
        return;
    if (before && SafeFile::Replace(file, *before, changed))
        throw EIniFileException(
            QStringLiteral("Unable to write to %1: the new folder did not read back, so the old "
                           "settings were put back. Quillbox still uses %2")
                .arg(PathText(file), PathText(plan.Source)));
    // Say what the file holds now: the user must know which folder Quillbox
    // will open.
    const QByteArray now = settings.ReadString(Installation::SettingsSection,
                                               Installation::DataDirectoryKey, QByteArray());
    throw EIniFileException(
        QStringLiteral("Unable to write to %1: the new folder did not read back, and the old "
                       "settings could not be put back. It now gives %2 as the data folder; "
                       "correct it by hand")
            .arg(PathText(file), PathText(now)));
}

} // namespace

DatabaseMove::DatabaseMove(Plan plan, MoveView *view, QObject *parent)
    : QObject(parent), m_plan(std::move(plan)),
      m_sourcePrefix(FileUtil::WithTrailingSeparator(m_plan.Source)), m_view(view),
      m_lock(std::make_unique<MoveLock>())
{
    m_log.Folders(m_sourcePrefix, m_plan.Target);
}

DatabaseMove::~DatabaseMove()
{
    // The worker uses this object to its end: it must be over before it goes.
    m_stop = true;
    if (m_worker)
        m_worker->wait();
}

bool DatabaseMove::Check(Checking checking)
{
    const bool dryRun = checking == Checking::DryRun;
    m_writersClear = false;
    MoveCheckList::Context context{m_plan, m_sourcePrefix, *m_lock, m_dataFolder,
                                   {},     m_newFolder,    {},      dryRun};
    Verdict verdict = Verdict::Passed;
    QString refusal;
    for (const MoveCheckList::Check &check : MoveCheckList::Checks()) {
        if (check.LocalOnly && m_plan.Mode != ConnectionMode::Local)
            continue;
        // Made once, for the first check that looks into it, and kept: the
        // copy goes into the very folder the checks looked at.
        if (check.InNewFolder && !m_newFolder)
            m_newFolder = std::make_unique<MoveChecks::NewFolder>(m_plan.Target, RootsTrust());
        // A dry run reports every finding, but a check cannot look into a
        // new folder that could not be made: that one finding says it.
        if (check.InNewFolder && m_newFolder->Get() < 0 && verdict != Verdict::Passed)
            continue;
        QString text;
        const Verdict found = Passes(check, context, &text);
        if (found == Verdict::Passed)
            continue;
        if (verdict == Verdict::Passed) {
            verdict = found;
            refusal = text;
        }
        if (!dryRun)
            break;
    }
    m_files = context.Files;
    if (verdict != Verdict::Passed) {
        if (verdict == Verdict::Refused)
            m_log.Write(QStringLiteral("refused"), refusal);
        else
            m_log.Write(QStringLiteral("cancelled"));
        return false;
    }
    Reached(Stage::Checked);
    return true;
}

QList<MoveChecks::LeftBehind> DatabaseMove::EntriesLeftBehind() const
{
    return m_dataFolder.IsValid() ? MoveChecks::EntriesLeftBehind(m_dataFolder.Get())
                                  : QList<MoveChecks::LeftBehind>();
}

std::optional<MoveChecks::SpaceReport> DatabaseMove::Space() const
{
    return MoveChecks::SpaceFor(m_plan.Target, m_files);
}

DatabaseMove::Verdict DatabaseMove::Passes(const MoveCheckList::Check &check,
                                           MoveCheckList::Context &context, QString *refusal)
{
    for (;;) {
        const MoveCheckList::Finding finding = check.Test(context);
        if (!context.LeftoversRemoved.isEmpty()) {
            QStringList names;
            for (const QByteArray &name : std::as_const(context.LeftoversRemoved))
                names << PathText(name);
            m_log.Check(check.Name, (context.DryRun ? QStringLiteral("would remove %1")
                                                    : QStringLiteral("removed %1"))
                                        .arg(names.join(QLatin1Char(' '))));
            context.LeftoversRemoved.clear();
        }
        if (finding.Text.isEmpty()) {
            if (check.Asks == MoveCheckList::Answer::RetryIgnoreCancel)
                m_writersClear = true;
            m_log.Check(check.Name, QStringLiteral("passed"));
            return Verdict::Passed;
        }
        const QString logged = finding.LogText.isEmpty() ? finding.Text : finding.LogText;
        switch (check.Asks) {
        case MoveCheckList::Answer::None:
            m_log.Check(check.Name, finding.Text);
            m_view->Refuse(finding.Text);
            *refusal = finding.Text;
            return Verdict::Refused;
        case MoveCheckList::Answer::GoOnOrBack:
            if ((m_view->*check.GoOn)(finding.Text)) {
                m_log.Check(check.Name, logged + QStringLiteral(" (go on)"));
                return Verdict::Passed;
            }
            m_log.Check(check.Name, logged + QStringLiteral(" (go back)"));
            return Verdict::Cancelled;
        case MoveCheckList::Answer::RetryIgnoreCancel:
            switch (m_view->AskWriters(finding.Text)) {
            case MoveView::WritersAnswer::Retry:
                m_log.Check(check.Name, logged + QStringLiteral(" (retry)"));
                continue;
            case MoveView::WritersAnswer::Ignore:
                m_writersIgnored = true;
                m_log.Check(check.Name, logged + QStringLiteral(" (ignored)"));
                return Verdict::Passed;
            case MoveView::WritersAnswer::Cancel:
                m_log.Check(check.Name, logged + QStringLiteral(" (cancel)"));
                return Verdict::Cancelled;
            }
            break;
        }
        return Verdict::Cancelled;
    }
}

bool DatabaseMove::DataFolderInfo(struct stat *info) const
{
    // Through the folder the checks opened, never its name again: whoever
    // may change the name could otherwise lend the move another owner.
    return m_dataFolder.IsValid() && ::fstat(m_dataFolder.Get(), info) == 0;
}

std::optional<uid_t> DatabaseMove::RootsTrust() const
{
    // Run as root, the new folder is reached only through folders that
    // nobody but root and the data folder's owner can change.
    if (::geteuid() != 0)
        return std::nullopt;
    struct stat source;
    return DataFolderInfo(&source) ? source.st_uid : uid_t(0);
}

void DatabaseMove::CreateTarget()
{
    const QByteArray &target = m_plan.Target;
    // Made by the checks as a rule; a run without them makes it now.
    if (!m_newFolder)
        m_newFolder = std::make_unique<MoveChecks::NewFolder>(target, RootsTrust());
    // A folder that could not be made must stop the move here, even when
    // there is no file to copy: "Copy completed." would otherwise lead to a
    // settings file that points at a folder that does not exist.
    if (!m_newFolder->Error().isEmpty())
        throw Exception(m_newFolder->Error());
    struct stat source;
    if (::geteuid() == 0 && m_newFolder->FirstMade() >= 0 && DataFolderInfo(&source))
        TakeOwnerOf(m_newFolder->FirstMade(), source);
    if (m_lock->LockTarget(m_newFolder->Get(), target) != MoveLock::Taken::Yes)
        throw Exception(m_lock->Reason());
    // Before the first copy, and on the disk before it: whatever ends this
    // run, the next one knows the folder's files as its own unfinished move.
    // The copies an earlier run recorded stay in it until this run has
    // copied them again: a run that ends before it looked at them leaves
    // them for the next.
    const MoveJournal::Owner owner =
        MoveJournal::OwnerOf(m_dataFolder.Get(), m_plan.Source, m_plan.SettingsFile);
    m_earlier.clear();
    if (m_resume)
        if (std::optional<MoveJournal::Contents> earlier = MoveJournal::ReadAll(m_newFolder->Get());
            earlier && earlier->Of.SameMove(owner))
            m_earlier = std::move(earlier->Files);
    m_journal = MoveJournal::Write(m_newFolder->Get(), target, owner, m_earlier);
    m_journalPending.clear();
    m_journalLines = 0;
    m_journalBytes = 0;
    m_journalError = 0;
    m_journalWritten.start();
}

QString DatabaseMove::ResumedText(int proven, int files)
{
    return QStringLiteral("%1 of %2 files already copied and proven").arg(proven).arg(files);
}

int DatabaseMove::ReuseEarlierCopies(const FileUtil::CheckedCopyOptions &options, qint64 *done,
                                     QList<bool> *reused)
{
    reused->fill(false, m_files.size());
    if (m_earlier.isEmpty())
        return 0;
    // Copies of a run that was killed may still be in memory only: on the
    // disk first, in one pass, so that reading them back reads the disk.
    if (::syncfs(m_newFolder->Get()) != 0)
        throw EWriteError(errno);
    // A program that writes the data folder could change a file without
    // changing its size or time as the journal sees them: only a run that
    // found none, and was not told to ignore one, lets a recorded checksum
    // stand for reading the source again.
    const bool trusted = WritersClear();
    QList<int> recorded; // the files with a line, in listing order
    for (int index = 0; index < m_files.size(); ++index)
        if (m_earlier.contains(m_files.at(index).Name))
            recorded << index;
    std::vector<std::optional<FileUtil::CheckedCopyRecord>> taken(size_t(recorded.size()));
    // Not vector<bool>: its bits share bytes, and the threads write them at once.
    std::vector<char> stoodForSource(size_t(recorded.size()));
    // Read back as the proof reads: several copies in flight at once.
    FileUtil::ForEachInParallel(recorded.size(), ProofThreads, [&](qsizetype at) {
        const int index = recorded.at(at);
        const QByteArray &name = m_files.at(index).Name;
        const MoveJournal::Entry &entry = *m_earlier.constFind(name);
        Post([this, index, name] { m_view->Reusing(index, name); });
        FileUtil::EarlierCopy earlier = entry.Copy;
        earlier.MayStandForSource = earlier.MayStandForSource && trusted;
        stoodForSource[size_t(at)] = earlier.MayStandForSource;
        try {
            taken[size_t(at)] =
                FileUtil::ReuseCopy(m_sourcePrefix + name, m_plan.Target, earlier, options);
        } catch (EStreamError &failure) {
            failure.SetDetails(CopyFailureDetails(failure, m_sourcePrefix + name, m_plan));
            throw;
        }
    });
    int count = 0;
    for (qsizetype at = 0; at < recorded.size(); ++at) {
        const std::optional<FileUtil::CheckedCopyRecord> &record = taken[size_t(at)];
        if (!record)
            continue;
        m_records.append(Keep(recorded.at(at), *record));
        (*reused)[recorded.at(at)] = true;
        ++count;
        *done += record->BytesRead;
        // Read afresh, the source's record is this run's to vouch for.
        if (!stoodForSource[size_t(at)])
            Journal(*record);
    }
    m_earlier.clear();
    m_earlier.squeeze();
    return count;
}

void DatabaseMove::Journal(const FileUtil::CheckedCopyRecord &record)
{
    // A source that changed while it was read has no checksum worth keeping.
    if (record.SourceChangedWhileCopying)
        return;
    const MoveJournal::Entry entry{FileUtil::NameOfPath(record.Target),
                                   FileUtil::EarlierCopyOf(record, WritersClear())};
    m_journalPending += MoveJournal::EncodeEntry(entry);
    ++m_journalLines;
    m_journalBytes += record.BytesRead;
    // Written, not flushed: a killed run's lines are in the page cache and
    // reach the disk; the flush of the copies takes them along. Batched for
    // thousands of small files, at once for a large one, so that a run
    // killed anywhere loses at most a tenth of a second or a mebibyte of
    // copying.
    if (m_journalLines >= 256 || m_journalBytes >= (qint64(1) << 20) ||
        m_journalWritten.elapsed() >= 100)
        FlushJournal();
}

void DatabaseMove::FlushJournal()
{
    m_journalWritten.restart();
    if (m_journalPending.isEmpty())
        return;
    // A journal that cannot be written costs a later run only the copies it
    // then makes again; the move goes on, and the log says so.
    if (!MoveJournal::Append(m_journal.Get(), m_journalPending) && m_journalError == 0)
        m_journalError = errno != 0 ? errno : EIO;
    m_journalPending.clear();
    m_journalLines = 0;
    m_journalBytes = 0;
}

void DatabaseMove::Post(std::function<void()> call)
{
    // Calls from the workers reach the view in order, on the view's thread;
    // once the run is stopped they are dropped, so a superseded run never
    // writes over the run that replaced it. Calls made while the view's
    // thread is still busy go together in one event: thousands of small
    // files would otherwise cost thousands of wake-ups of its event loop.
    std::unique_lock lock(m_postGuard);
    // A view that falls far behind holds the copy back: thousands of small
    // files must not pile up their calls in memory. The wait looks at the
    // stop request now and then, since a view's thread that quits never
    // takes them.
    while (m_posted.size() >= MaxQueuedCalls && !m_stop)
        m_postTaken.wait_for(lock, std::chrono::milliseconds(20));
    m_posted.push_back(std::move(call));
    if (m_postPending)
        return;
    m_postPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            std::vector<std::function<void()>> calls;
            {
                const std::lock_guard taken(m_postGuard);
                calls.swap(m_posted);
                m_postPending = false;
            }
            m_postTaken.notify_all();
            for (const std::function<void()> &posted : calls)
                if (!m_stop)
                    posted();
        },
        Qt::QueuedConnection);
}

void DatabaseMove::CopyAll()
{
    try {
        CreateTarget();
        Post([this] { m_view->Starting(m_sourcePrefix, m_plan.Target); });
        ListForCopy();
        if (m_stop)
            return;
        TellListed();
        FileUtil::FsIdentity owner;
        const FileUtil::CheckedCopyOptions options = CopyOptions(&owner);
        qint64 done = 0;
        QList<bool> reused;
        TakeEarlierCopies(options, &done, &reused);
        CopyTheRest(options, reused, done);
        FlushJournal();
        Reached(Stage::Copied);
        // The copies must be on the disk before they are read back, and
        // before "Copy completed." invites the user to rely on them.
        if (::syncfs(m_newFolder->Get()) != 0)
            throw EWriteError(errno);
        ProveCopies();
        // A file added, removed or touched after the listing is in no
        // record: only a second listing can tell the copy is still whole.
        ThrowIfDataFolderChanged();
        Reached(Stage::Proven);
    } catch (...) {
        m_workerError = std::current_exception();
    }
    // However the copy ended, the copies it made are worth a later run's
    // time.
    FlushJournal();
}

void DatabaseMove::ListForCopy()
{
    // The checks' listing goes before the run's own is made: a large
    // folder's list is held once at a time.
    const qsizetype expected = m_files.size();
    m_files = {};
    m_files = MoveChecks::ListSourceFiles(m_dataFolder.Get(), m_sourcePrefix, {},
                                          expected + expected / 16 + 16);
    // One record a file, without room to grow into.
    m_records.reserve(m_files.size());
}

void DatabaseMove::TellListed()
{
    QByteArrayList names;
    qint64 totalBytes = 0;
    for (const MoveChecks::SourceFile &file : std::as_const(m_files)) {
        names << file.Name;
        totalBytes += file.Size;
    }
    Post([this, names, totalBytes] { m_view->Listed(names, totalBytes); });
}

FileUtil::CheckedCopyOptions DatabaseMove::CopyOptions(FileUtil::FsIdentity *owner) const
{
    FileUtil::CheckedCopyOptions options;
    options.Stop = &m_stop;
    options.KeepOwner = ::geteuid() == 0;
    // Into the folder the checks looked at, whatever its name leads to
    // by now.
    options.TargetFolder = m_newFolder->Get();
    options.SourceFolder = m_dataFolder.Get();
    // Root reads each data file as the data folder's owner: a link in
    // the folder then reaches only what its owner could read anyway,
    // never another user's private file.
    struct stat folder;
    if (options.KeepOwner) {
        if (!DataFolderInfo(&folder))
            throw EFOpenError(m_sourcePrefix, errno);
        *owner = FileUtil::IdentityOfOwner(folder);
        options.ReadAs = owner;
    }
    return options;
}

void DatabaseMove::TakeEarlierCopies(const FileUtil::CheckedCopyOptions &options, qint64 *done,
                                     QList<bool> *reused)
{
    m_resumed = ReuseEarlierCopies(options, done, reused);
    if (m_resumed <= 0)
        return;
    const int resumed = m_resumed, files = int(m_files.size());
    const qint64 total = *done;
    Post([this, resumed, files, total, reused = *reused] {
        m_view->Resumed(resumed, files);
        m_view->Progress(total);
        for (int index = 0; index < reused.size(); ++index)
            if (reused.at(index))
                m_view->Copied(index);
    });
}

void DatabaseMove::CopyTheRest(FileUtil::CheckedCopyOptions options, const QList<bool> &reused,
                               qint64 done)
{
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    options.Progress = [this, &done, &sinceProgress](qint64 bytes) {
        if (sinceProgress.elapsed() < ProgressIntervalMs)
            return;
        sinceProgress.restart();
        const qint64 total = done + bytes;
        Post([this, total] { m_view->Progress(total); });
    };
    for (int index = 0; index < m_files.size(); ++index) {
        if (reused.at(index))
            continue;
        const QByteArray name = m_files.at(index).Name;
        Post([this, index, name] { m_view->Copying(index, name); });
        FileUtil::CheckedCopyRecord record;
        try {
            record = FileUtil::CopyFileChecked(m_sourcePrefix + name, m_plan.Target, options);
        } catch (EStreamError &failure) {
            // The message stays the short one the window shows; the file,
            // the system's reason and what to do go into the details.
            failure.SetDetails(CopyFailureDetails(failure, m_sourcePrefix + name, m_plan));
            throw;
        }
        m_records.append(Keep(index, record));
        Journal(record);
        done += record.BytesRead;
        const qint64 total = done;
        Post([this, index, total] {
            m_view->Progress(total);
            m_view->Copied(index);
        });
    }
}

void DatabaseMove::ProveCopies()
{
    // Each copy read back is a wait for the disk: several in flight at
    // once keep its queue full.
    FileUtil::ForEachInParallel(m_records.size(), ProofThreads, [this](qsizetype index) {
        const FileUtil::CheckedCopyRecord record = RecordOf(m_records.at(index));
        const QByteArray &name = record.Target;
        Post([this, name] { m_view->Checking(name); });
        const FileUtil::ProofResult result =
            FileUtil::ProveCopy(record, &m_stop, m_newFolder->Get(), m_dataFolder.Get());
        if (result != FileUtil::ProofResult::Same)
            throw EProofFailed(ProofFailure(result, record, m_sourcePrefix, m_plan.Target));
    });
}

DatabaseMove::Outcome DatabaseMove::Run()
{
    const FlagScope running(m_running); // however the run ends
    // The lock file inside the new folder guards the copy; once it is over
    // the folder must hold nothing but the database. The installation's lock
    // still keeps every other move away.
    const auto unlockTarget = qScopeGuard([this] { m_lock->UnlockTarget(); });
    m_stop = false;
    m_proven = false;
    m_concluded = false;
    m_confirmed = false;
    m_workerError = nullptr;
    m_records.clear();
    m_resumed = 0;
    try {
        // Opened by the checks as a rule: the copy reads the folder they
        // looked at, through its descriptor, whatever its name leads to now.
        if (!m_dataFolder.IsValid())
            m_dataFolder = MoveChecks::OpenDataFolder(m_sourcePrefix);
        // Even making the new folder and listing the old one can wait on
        // a disk that stopped answering: that happens on the worker, so
        // the caller's window and its Cancel stay alive.
        m_worker.reset(QThread::create([this] { CopyAll(); }));
        QEventLoop loop;
        connect(m_worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        m_worker->start();
        loop.exec();
        // The loop also ends when the application quits: the copy must
        // never go on unseen after the window has gone.
        if (!m_worker->isFinished()) {
            m_stop = true;
            m_worker->wait();
        }
        // Calls the worker posted before it ended belong to this run.
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        if (m_workerError && !m_stop)
            std::rethrow_exception(m_workerError);
    } catch (...) {
        Fail(std::current_exception());
    }
    LogCopies();
    if (m_stop) {
        m_log.Write(QStringLiteral("stopped"));
        return Outcome::Stopped;
    }
    m_proven = true;
    m_log.Write(QStringLiteral("proven"));
    return Outcome::Proven;
}

void DatabaseMove::ThrowIfDataFolderChanged() const
{
    const QString change = MoveChecks::ListingChange(m_dataFolder.Get(), m_sourcePrefix, m_files);
    if (!change.isEmpty())
        throw EProofFailed(change);
}

void DatabaseMove::EndCheck() const
{
    ThrowIfDataFolderChanged();
    ThrowIfWritten();
}

void DatabaseMove::ThrowIfWritten() const
{
    // The user chose to go on with them at the start: the same programs
    // do not stop the move now.
    if (m_writersIgnored)
        return;
    const MoveChecks::WriterScan scan = MoveChecks::FindWriters(m_sourcePrefix);
    if (scan.IsEmpty())
        return;
    // Whatever they wrote may have kept the files' sizes and times: a later
    // run reads every source again before it takes a copy this run made.
    MoveJournal::Append(m_journal.Get(), MoveJournal::Distrust());
    QString text = MoveChecks::DescribeWriters(m_sourcePrefix, scan);
    // The question's own advice ends in Retry or Ignore; here the answer is
    // to close them and go on again.
    text = text.left(text.lastIndexOf(QStringLiteral("\n\n")));
    throw Exception(QStringLiteral("Quillbox still uses %1, and since the copy:\n\n%2\n\nClose "
                                   "them, then go on again")
                        .arg(PathText(m_plan.Source), text));
}

void DatabaseMove::LogCopies()
{
    if (m_resumed > 0)
        m_log.Check(QStringLiteral("earlier copies"), ResumedText(m_resumed, int(m_files.size())));
    if (m_journalError != 0)
        m_log.Check(QStringLiteral("journal"),
                    QStringLiteral("not written: %1; a run started again copies more files again")
                        .arg(SystemErrorText(m_journalError)));
    // Read from the records when the entry is written or reported.
    m_log.Files(m_records.size(), [this](qsizetype index) {
        const CopyKept &kept = m_records.at(index);
        return MoveLog::CopiedFile{m_files.at(kept.File).Name, kept.BytesRead, kept.Checksum};
    });
}

DatabaseMove::CopyKept DatabaseMove::Keep(int file, const FileUtil::CheckedCopyRecord &record)
{
    return {file, record.SourceChangedWhileCopying, record.CopyProven, record.BytesRead,
            record.Checksum};
}

FileUtil::CheckedCopyRecord DatabaseMove::RecordOf(const CopyKept &kept) const
{
    // The source as the run listed it: a file that changed between the
    // listing and its copy then fails the proof too.
    const MoveChecks::SourceFile &file = m_files.at(kept.File);
    FileUtil::CheckedCopyRecord record;
    record.Source = file.Name;
    record.Target = file.Name;
    record.Device = file.Device;
    record.Inode = file.Inode;
    record.Size = file.Size;
    constexpr qint64 Billion = 1000000000;
    // Rounded down, so that a time before 1970 keeps its nanoseconds
    // between 0 and a billion, as the system gives them.
    record.MTimeSeconds = file.ModifiedNs / Billion - (file.ModifiedNs % Billion < 0 ? 1 : 0);
    record.MTimeNanoseconds = long(file.ModifiedNs - record.MTimeSeconds * Billion);
    record.BytesRead = kept.BytesRead;
    record.Checksum = kept.Checksum;
    record.SourceChangedWhileCopying = kept.SourceChanged;
    record.CopyProven = kept.CopyProven;
    return record;
}

void DatabaseMove::Fail(const std::exception_ptr &error)
{
    LogCopies();
    try {
        std::rethrow_exception(error);
    } catch (Exception &failure) {
        const QString why = failure.Details().isEmpty() ? failure.message() : failure.Details();
        const bool logged = m_log.Write(QStringLiteral("failed"), why);
        if (logged) {
            const QString log = QStringLiteral("The log of this move is in %1.").arg(m_log.Path());
            failure.SetDetails(
                failure.Details().isEmpty() ? log : failure.Details() + QLatin1Char('\n') + log);
        }
        throw;
    } catch (const std::exception &failure) {
        m_log.Write(QStringLiteral("failed"), QString::fromLocal8Bit(failure.what()));
        throw;
    }
}

bool DatabaseMove::Stop()
{
    m_stop = true;
    if (!m_worker)
        return true;
    // Not QThread::wait(): a copy stuck in a read on a file system that
    // stopped answering would freeze the window that asked, and the user
    // could no longer end the program. Connected before the test, so a
    // worker that ends in between still ends the loop.
    QEventLoop loop;
    connect(m_worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    if (m_worker->isRunning())
        loop.exec();
    if (m_worker->isRunning())
        return false;
    // Past its last use of this object: joining it now takes no time.
    m_worker->wait();
    return true;
}

void DatabaseMove::Abandon()
{
    // The worker never touches the log, so it can be written while the
    // worker still runs; the copies it made are not listed, since it may
    // still be adding to them.
    if (m_running)
        m_log.Write(QStringLiteral("abandoned"));
}

Exception DatabaseMove::NotProven(const MovePlan &plan)
{
    return Exception(QStringLiteral("The copy into %1 was not completed and checked. Go back "
                                    "and move the database again")
                         .arg(PathText(plan.Target)));
}

void DatabaseMove::RequireProven(const DatabaseMove *lastRun, const MovePlan &plan,
                                 ConnectionMode mode)
{
    // Only the most recent run, copied into exactly this folder and proven
    // there, may become Quillbox's database.
    if (!lastRun || lastRun->IsRunning() || !lastRun->Proven() || !(lastRun->GetPlan() == plan) ||
        plan.Mode != mode)
        throw NotProven(plan);
}

void DatabaseMove::WriteSettings(DatabaseMove *lastRun, const MovePlan &plan)
{
    RequireProven(lastRun, plan, ConnectionMode::Local);
    lastRun->WriteProvenSettings();
}

void DatabaseMove::ConfirmMove(DatabaseMove *lastRun, const MovePlan &plan)
{
    RequireProven(lastRun, plan, ConnectionMode::Remote);
    lastRun->EndCheck();
    lastRun->m_confirmed = true;
}

void DatabaseMove::Reached(Stage stage)
{
    if (m_betweenStages)
        m_betweenStages(stage);
}

void DatabaseMove::WriteProvenSettings()
{
    Reached(Stage::WritingSettings);
    MoveLog log;
    log.Folders(m_sourcePrefix, m_plan.Target);
    try {
        WriteSettingsFile();
    } catch (const Exception &error) {
        log.Check(QStringLiteral("settings file"), error.message());
        log.Write(QStringLiteral("settings not written"), error.message());
        throw;
    }
    log.Check(QStringLiteral("settings file"),
              QStringLiteral("DataDirectory written to %1").arg(PathText(m_plan.SettingsFile)));
    // Quillbox now uses the new folder: the move is over, and its journal
    // must not make the database look like an unfinished move. A journal
    // that stays is harmless: it names this very move.
    m_concluded = true;
    if (!MoveJournal::Remove(m_newFolder->Get()))
        log.Check(QStringLiteral("journal"),
                  QStringLiteral("not removed: %1").arg(SystemErrorText(errno)));
    log.Write(QStringLiteral("settings written"));
}

void DatabaseMove::WriteSettingsFile()
{
    const QByteArray &file = m_plan.SettingsFile;
    QByteArray before;
    const SafeFile::ReadStatus read = SafeFile::ReadAll(SafeFile::FinalTarget(file), &before);
    const bool hadFile = read == SafeFile::ReadStatus::Read;
    if (read == SafeFile::ReadStatus::Failed)
        throw EIniFileException(
            QStringLiteral("Unable to read %1: %2").arg(PathText(file), SystemErrorText(errno)));
    // Compare, then swap: the file must still say what the front end read,
    // the data folder must hold what was proven, and the new folder's name
    // must still lead to the folder the copies are in.
    ThrowIfSettingsChanged(m_plan, before);
    EndCheck();
    ThrowIfTargetReplaced(m_plan, m_newFolder->Get());

    // One key changes in the bytes as they are now; any other edit stays.
    const std::optional<QByteArray> changed = PrivateProfile::SetValue(
        before, Installation::SettingsSection, Installation::DataDirectoryKey, m_plan.Target);
    if (!changed)
        throw EIniFileException(QStringLiteral("Unable to write %1 into %2")
                                    .arg(PathText(m_plan.Target), PathText(file)));
    const std::optional<QByteArray> stillBefore =
        hadFile ? std::optional<QByteArray>(before) : std::nullopt;
    ReplaceSettings(m_plan, *changed, stillBefore);
    ThrowUnlessReadBack(m_plan, *changed, stillBefore);
}

void DatabaseMove::Conclude()
{
    if (!m_proven || !m_confirmed || m_concluded || !m_newFolder || m_newFolder->Get() < 0)
        return;
    m_concluded = true;
    MoveJournal::Remove(m_newFolder->Get());
}

bool DatabaseMove::FoldersApart() const
{
    return m_dataFolder.IsValid() &&
           MoveChecks::NestingOf(m_dataFolder.Get(), m_plan.Target) == MoveChecks::Nesting::Apart;
}
