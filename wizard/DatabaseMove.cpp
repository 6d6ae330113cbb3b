#include "wizard/DatabaseMove.h"

#include "fileutil/EStreamError.h"
#include "fileutil/Exception.h"
#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"
#include "fileutil/FlagScope.h"
#include "fileutil/SafeFile.h"
#include "wizard/MoveLock.h"
#include "wizard/TCustomIniFile.h"
#include "wizard/TIniFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray SettingsSection = QByteArrayLiteral("Settings");
const QByteArray DataDirectoryKey = QByteArrayLiteral("DataDirectory");

// Progress within a large file reaches the view at most this often.
constexpr qint64 ProgressIntervalMs = 100;

QString ProofFailure(FileUtil::ProofResult result, const FileUtil::CheckedCopyRecord &record)
{
    if (result == FileUtil::ProofResult::SourceChanged)
        return QStringLiteral("%1 changed while it was copied: is Quillbox still running? "
                              "Close Quillbox and start the move again")
            .arg(PathText(record.Source));
    return QStringLiteral("The copy %1 does not hold what was read from %2: the new location "
                          "may be failing. Choose another location and start the move again")
        .arg(PathText(record.Target), PathText(record.Source));
}

// The folders that do not exist yet, innermost first.
QByteArrayList MissingLevels(const QByteArray &folder)
{
    QByteArrayList missing;
    QByteArray path = folder;
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    struct stat st;
    while (!path.isEmpty() && path != "/" && ::lstat(path.constData(), &st) != 0 &&
           errno == ENOENT) {
        missing << path;
        const qsizetype slash = path.lastIndexOf('/');
        if (slash <= 0)
            break;
        path.truncate(slash);
    }
    return missing;
}

// Run as root, a new folder gets the data folder's owner, group and mode,
// set through the open folder so that a link swapped in meanwhile is never
// followed.
void TakeOwnerOf(const QByteArray &folder, const QByteArray &from)
{
    struct stat source;
    if (::stat(from.constData(), &source) != 0)
        return;
    const FileUtil::FileHandle fd(
        ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.IsValid())
        return;
    if (::fchown(fd.Get(), source.st_uid, source.st_gid) == 0)
        ::fchmod(fd.Get(), source.st_mode & 07777);
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
    Stop();
}

QString DatabaseMove::LockRefusal(const QByteArray &what)
{
    return QStringLiteral("Another Flitto is moving a database in %1. Wait until it has "
                          "finished, then try again.")
        .arg(PathText(what));
}

bool DatabaseMove::TakeLocks(QString *refusal)
{
    if (!m_lock->LockInstallation(m_plan.SettingsFile)) {
        *refusal = LockRefusal(FileUtil::FolderOfPath(m_plan.SettingsFile));
        return false;
    }
    if (FileUtil::IsExistingFolder(m_plan.Target) && !m_lock->LockTarget(m_plan.Target)) {
        *refusal = LockRefusal(m_plan.Target);
        return false;
    }
    return true;
}

bool DatabaseMove::Check()
{
    const auto refuse = [this](const QString &check, const QString &text) {
        m_log.Check(check, text);
        m_log.Write(QStringLiteral("refused"), text);
        m_view->Refuse(text);
        return false;
    };
    const auto passed = [this](const QString &check) {
        m_log.Check(check, QStringLiteral("passed"));
    };

    QString text = MoveChecks::CheckTargetText(m_plan.Target);
    if (!text.isEmpty())
        return refuse(QStringLiteral("new location"), text);
    // Copying every file onto one name would keep only the last one.
    if (FileUtil::IsExistingFile(m_plan.Target))
        return refuse(QStringLiteral("new location"),
                      QStringLiteral("The new location %1 is a file, not a folder. Choose a "
                                     "folder for the database.")
                          .arg(PathText(m_plan.Target)));
    // The folder itself under another name: the probes of the checks below
    // would already change the data folder, which a move never does.
    struct stat source, target;
    if (::stat(m_plan.Source.constData(), &source) == 0 &&
        ::stat(m_plan.Target.constData(), &target) == 0 && source.st_dev == target.st_dev &&
        source.st_ino == target.st_ino)
        return refuse(QStringLiteral("new location"),
                      QStringLiteral("The new location %1 is the current location of the "
                                     "database. Choose another folder.")
                          .arg(PathText(m_plan.Target)));
    passed(QStringLiteral("new location"));

    QList<MoveChecks::SourceFile> files;
    try {
        files = ListSourceFiles(m_sourcePrefix);
    } catch (const Exception &error) {
        return refuse(QStringLiteral("data folder"), error.message());
    }

    if (m_plan.Mode == ConnectionMode::Local) {
        text = MoveChecks::CheckSettingsFile(m_plan.SettingsFile);
        if (!text.isEmpty())
            return refuse(QStringLiteral("settings file"), text);
        passed(QStringLiteral("settings file"));
    }
    if (!TakeLocks(&text))
        return refuse(QStringLiteral("one move at a time"), text);

    {
        const MoveChecks::TargetProbe probe(m_plan.Target);
        if (!probe.Error().isEmpty())
            return refuse(QStringLiteral("new location"), probe.Error());
        if (text = MoveChecks::CheckWriteAccess(m_plan.Target); !text.isEmpty())
            return refuse(QStringLiteral("write access"), text);
        passed(QStringLiteral("write access"));
        if (text = MoveChecks::CheckSpace(m_plan.Target, files); !text.isEmpty())
            return refuse(QStringLiteral("free space"), text);
        passed(QStringLiteral("free space"));
        if (text = MoveChecks::CheckNameClashes(m_plan.Target, files); !text.isEmpty())
            return refuse(QStringLiteral("one file per name"), text);
        passed(QStringLiteral("one file per name"));

        // Only files count: Quillbox reads the files of its folder as one
        // database, and never looks into subfolders.
        QByteArrayList foreign;
        const QByteArray prefix = FileUtil::WithTrailingSeparator(m_plan.Target);
        for (const QByteArray &name : MoveChecks::ForeignFiles(m_plan.Target, files)) {
            if (!FileUtil::IsExistingFolder(prefix + name))
                foreign << name;
        }
        if (!foreign.isEmpty()) {
            const bool goOn =
                m_view->AskForeignFiles(MoveChecks::DescribeForeignFiles(m_plan.Target, foreign));
            m_log.Check(QStringLiteral("other files in the new location"),
                        QString::fromUtf8(foreign.join(' ')) +
                            (goOn ? QStringLiteral(" (go on)") : QStringLiteral(" (go back)")));
            if (!goOn) {
                m_log.Write(QStringLiteral("cancelled"));
                return false;
            }
        } else {
            passed(QStringLiteral("other files in the new location"));
        }
    }

    for (;;) {
        const QList<MoveChecks::Writer> writers = MoveChecks::FindWriters(m_sourcePrefix);
        if (writers.isEmpty()) {
            passed(QStringLiteral("files open for writing"));
            break;
        }
        const QString description = MoveChecks::DescribeWriters(m_sourcePrefix, writers);
        const MoveView::WritersAnswer answer = m_view->AskWriters(description);
        const QString check = QStringLiteral("files open for writing");
        if (answer == MoveView::WritersAnswer::Retry) {
            m_log.Check(check, description + QStringLiteral(" (retry)"));
            continue;
        }
        if (answer == MoveView::WritersAnswer::Ignore) {
            m_log.Check(check, description + QStringLiteral(" (ignored)"));
            break;
        }
        m_log.Check(check, description + QStringLiteral(" (cancel)"));
        m_log.Write(QStringLiteral("cancelled"));
        return false;
    }
    return true;
}

QList<MoveChecks::SourceFile>
DatabaseMove::ListSourceFiles(const QByteArray &sourcePrefix,
                              const std::function<void()> &betweenEntries)
{
    // A folder that cannot be read must fail the move: an empty list would
    // end in "Copy completed." and a settings file pointing at an empty
    // folder, with the user's mail left behind.
    const auto unreadable = [&sourcePrefix](int error) {
        return Exception(QStringLiteral("Cannot read the folder %1 (%2)")
                             .arg(PathText(sourcePrefix), QString::fromLocal8Bit(strerror(error))));
    };
    QList<MoveChecks::SourceFile> files;
    const FileUtil::FolderListing dir = FileUtil::ListFolder(sourcePrefix);
    if (!dir)
        throw unreadable(errno);
    bool first = true;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw unreadable(errno);
            break;
        }
        if (!first && betweenEntries)
            betweenEntries();
        first = false;
        MoveChecks::SourceFile file;
        file.Name = QByteArray(entry->d_name);
        // Folders are not database files, and neither are FIFOs, sockets or
        // devices: opening a FIFO for reading would block forever. A link is
        // judged by what it points to; a dangling one stays in the list, so
        // the copy reports it instead of silently leaving it behind.
        struct stat st;
        const QByteArray path = sourcePrefix + file.Name;
        if (::stat(path.constData(), &st) == 0) {
            if (!S_ISREG(st.st_mode))
                continue;
            file.Size = qint64(st.st_size);
            file.Allocated = qint64(st.st_blocks) * 512;
        } else if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            continue;
        }
        files.append(file);
    }
    return files;
}

void DatabaseMove::CreateTarget()
{
    const QByteArray &target = m_plan.Target;
    if (FileUtil::IsExistingFile(target))
        throw Exception(
            QStringLiteral("The new location %1 is a file, not a folder").arg(PathText(target)));
    if (!FileUtil::IsExistingFolder(target)) {
        const QByteArrayList missing = MissingLevels(target);
        FileUtil::CreateFolderPath(target);
        if (::geteuid() == 0 && !missing.isEmpty() && FileUtil::IsExistingFolder(target))
            TakeOwnerOf(missing.first(), m_sourcePrefix);
    }
    // A folder that could not be made must stop the move here, even when
    // there is no file to copy: "Copy completed." would otherwise lead to a
    // settings file that points at a folder that does not exist.
    if (!FileUtil::IsExistingFolder(target))
        throw EFCreateError(target);
    if (!m_lock->LockTarget(target))
        throw Exception(LockRefusal(target));
}

void DatabaseMove::Post(std::function<void()> call)
{
    // Calls from the worker reach the view in order, on the view's thread;
    // once the run is stopped they are dropped, so a superseded run never
    // writes over the run that replaced it.
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            if (!m_stop)
                call();
        },
        Qt::QueuedConnection);
}

void DatabaseMove::CopyAll()
{
    try {
        FileUtil::CheckedCopyOptions options;
        options.Stop = &m_stop;
        options.KeepOwner = ::geteuid() == 0;
        qint64 done = 0;
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
            const QByteArray name = m_files.at(index).Name;
            Post([this, index, name] { m_view->Copying(index, name); });
            const FileUtil::CheckedCopyRecord record =
                FileUtil::CopyFileChecked(m_sourcePrefix + name, m_plan.Target, options);
            m_records.append(record);
            done += record.BytesRead;
            const qint64 total = done;
            Post([this, index, total] {
                m_view->Progress(total);
                m_view->Copied(index);
            });
        }
        // The copies must be on the disk before they are read back, and
        // before "Copy completed." invites the user to rely on them.
        if (!FileUtil::FlushFolder(m_plan.Target))
            throw EWriteError(errno);
        for (const FileUtil::CheckedCopyRecord &record : std::as_const(m_records)) {
            const QByteArray name = FileUtil::NameOfPath(record.Target);
            Post([this, name] { m_view->Checking(name); });
            const FileUtil::ProofResult result = FileUtil::ProveCopy(record, &m_stop);
            if (result != FileUtil::ProofResult::Same)
                throw EProofFailed(ProofFailure(result, record));
        }
    } catch (...) {
        m_workerError = std::current_exception();
    }
}

DatabaseMove::Outcome DatabaseMove::Run()
{
    const FlagScope running(m_running); // however the run ends
    m_stop = false;
    m_proven = false;
    m_workerError = nullptr;
    m_records.clear();
    try {
        CreateTarget();
        m_view->Starting(m_sourcePrefix, m_plan.Target);
        m_files = ListSourceFiles(m_sourcePrefix, [] { QCoreApplication::processEvents(); });
        if (!m_stop) {
            QByteArrayList names;
            qint64 total = 0;
            for (const MoveChecks::SourceFile &file : std::as_const(m_files)) {
                names << file.Name;
                total += file.Size;
            }
            m_view->Listed(names, total);

            m_worker.reset(QThread::create([this] { CopyAll(); }));
            QEventLoop loop;
            connect(m_worker.get(), &QThread::finished, &loop, &QEventLoop::quit,
                    Qt::QueuedConnection);
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
        }
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

void DatabaseMove::LogCopies()
{
    for (const FileUtil::CheckedCopyRecord &record : std::as_const(m_records))
        m_log.File(FileUtil::NameOfPath(record.Target), record.BytesRead, record.Checksum);
}

void DatabaseMove::Fail(const std::exception_ptr &error)
{
    LogCopies();
    try {
        std::rethrow_exception(error);
    } catch (Exception &failure) {
        const bool logged = m_log.Write(QStringLiteral("failed"), failure.message());
        if (logged)
            failure.SetDetails(QStringLiteral("The log of this move is in %1.").arg(m_log.Path()));
        throw;
    } catch (const std::exception &failure) {
        m_log.Write(QStringLiteral("failed"), QString::fromLocal8Bit(failure.what()));
        throw;
    }
}

void DatabaseMove::Stop()
{
    m_stop = true;
    if (m_worker && m_worker->isRunning())
        m_worker->wait();
}

void DatabaseMove::WriteSettings()
{
    // Only a copy that is complete and read back may become Quillbox's
    // database.
    if (!m_proven || m_plan.Mode != ConnectionMode::Local)
        throw Exception(QStringLiteral("The copy into %1 was not completed and checked. Go back "
                                       "and move the database again")
                            .arg(PathText(m_plan.Target)));
    MoveLog log;
    log.Folders(m_sourcePrefix, m_plan.Target);
    const QByteArray file = SafeFile::FinalTarget(m_plan.SettingsFile);
    QByteArray before;
    const bool hadFile = SafeFile::ReadAll(file, &before) == SafeFile::ReadStatus::Read;
    TIniFile settings(m_plan.SettingsFile);
    try {
        settings.WriteString(SettingsSection, DataDirectoryKey, m_plan.Target);
        // What Quillbox will read is what counts: a value that does not come
        // back whole through the same reader would point it elsewhere.
        if (settings.ReadString(SettingsSection, DataDirectoryKey, QByteArray()) != m_plan.Target) {
            if (hadFile)
                SafeFile::Replace(m_plan.SettingsFile, before);
            throw EIniFileException(
                QStringLiteral("Unable to write to %1").arg(PathText(m_plan.SettingsFile)));
        }
    } catch (const Exception &error) {
        log.Check(QStringLiteral("settings file"), error.message());
        log.Write(QStringLiteral("settings not written"), error.message());
        throw;
    }
    log.Check(QStringLiteral("settings file"),
              QStringLiteral("DataDirectory written to %1").arg(PathText(m_plan.SettingsFile)));
    log.Write(QStringLiteral("settings written"));
}
