#include "wizard/move/MoveCheckList.h"

#include "fileutil/Exception.h"
#include "fileutil/FileUtil.h"
#include "wizard/move/MoveJournal.h"
#include "wizard/move/MoveLeftovers.h"
#include "wizard/move/MoveLock.h"
#include "wizard/settings/Installation.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/magic.h>
#include <optional>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace MoveCheckList {

namespace {

Finding DatabaseFiles(Context &context)
{
    if (Installation::HoldsDatabase(context.Plan.Source))
        return {};
    return {Installation::NoDatabaseText() +
                QStringLiteral(" (%1)").arg(PathText(context.Plan.Source)),
            {}};
}

Finding NewLocation(Context &context)
{
    const QByteArray &target = context.Plan.Target;
    if (const QString text = MoveChecks::CheckTargetText(target); !text.isEmpty())
        return {text, {}};
    // Copying every file onto one name would keep only the last one.
    if (FileUtil::IsExistingFile(target))
        return {QStringLiteral("The new location %1 is a file, not a folder. Choose a folder for "
                               "the database.")
                    .arg(PathText(target)),
                {}};
    // The folder itself under another name: the probes of the checks below
    // would already change the data folder, which a move never does.
    if (MoveChecks::IsSameFolder(context.Plan.Source, target))
        return {QStringLiteral("The new location %1 is the current location of the database. "
                               "Choose another folder.")
                    .arg(PathText(target)),
                {}};
    return {};
}

Finding DataFolder(Context &context)
{
    try {
        context.DataFolder = MoveChecks::OpenDataFolder(context.SourcePrefix);
        context.Files = MoveChecks::ListSourceFiles(context.DataFolder.Get(), context.SourcePrefix);
    } catch (const Exception &error) {
        return {error.message(), {}};
    }
    return {};
}

Finding SeparateFolders(Context &context)
{
    const MoveChecks::Nesting nesting =
        MoveChecks::NestingOf(context.DataFolder.Get(), context.Plan.Target);
    return {MoveChecks::DescribeNesting(nesting, context.Plan.Source, context.Plan.Target), {}};
}

// The settings still say what the front end read: a window left open while
// another move ran is caught here, before anything is copied.
Finding SettingsUnchanged(Context &context)
{
    if (!context.Plan.Loaded)
        return {};
    const std::optional<Installation::SettingsSnapshot> now =
        Installation::ReadSnapshot(context.Plan.SettingsFile);
    if (!now)
        return {QStringLiteral("Unable to read %1: %2")
                    .arg(PathText(context.Plan.SettingsFile), SystemErrorText(errno)),
                {}};
    return {Installation::DescribeChange(*context.Plan.Loaded, *now, context.Plan.SettingsFile),
            {}};
}

Finding SettingsFile(Context &context)
{
    return {MoveChecks::CheckSettingsFile(context.Plan.SettingsFile), {}};
}

Finding OneMoveAtATime(Context &context)
{
    if (context.Lock.LockInstallation(context.Plan.SettingsFile) != MoveLock::Taken::Yes)
        return {context.Lock.Reason(), {}};
    if (context.Folder->Get() < 0)
        return {};
    // A new folder that takes no file is refused by "write access" in its
    // own words; the run takes this lock before it copies, or stops.
    const MoveLock::Taken target =
        context.Lock.LockTarget(context.Folder->Get(), context.Plan.Target);
    if (target != MoveLock::Taken::Yes && target != MoveLock::Taken::NoNewFile)
        return {context.Lock.Reason(), {}};
    return {};
}

Finding NewFolder(Context &context)
{
    return {context.Folder->Error(), {}};
}

Finding KeptAfterRestart(Context &context)
{
    struct statfs fs;
    if (::fstatfs(context.Folder->Get(), &fs) != 0)
        return {};
    // devtmpfs reports itself as tmpfs.
    const QString kind = fs.f_type == TMPFS_MAGIC   ? QStringLiteral("tmpfs")
                         : fs.f_type == RAMFS_MAGIC ? QStringLiteral("ramfs")
                                                    : QString();
    if (kind.isEmpty())
        return {};
    return {QStringLiteral("The new location %1 is on a file system kept in memory (%2): "
                           "everything in it is gone when the computer restarts or shuts down. "
                           "Choose a folder on a disk.")
                .arg(PathText(context.Plan.Target), kind),
            QStringLiteral("kept in memory (%1)").arg(kind)};
}

// Only once both locks are held: no other Flitto can be writing these
// names now, so what carries them was left by a run that ended early.
Finding Leftovers(Context &context)
{
    const uid_t self = ::geteuid();
    struct stat data;
    const uid_t owner =
        self == 0 && ::fstat(context.DataFolder.Get(), &data) == 0 ? data.st_uid : self;
    const auto ours = [self, owner](uid_t user) { return user == self || user == owner; };
    QByteArrayList kept;
    const auto clean = [&](int folder, const QByteArray &prefix,
                           const std::function<bool(const QByteArray &)> &isLeftover) {
        const MoveLeftovers::Cleanup cleanup =
            MoveLeftovers::Clean(folder, isLeftover, ours, context.DryRun);
        for (const QByteArray &name : cleanup.Removed)
            context.LeftoversRemoved << prefix + name;
        for (const QByteArray &name : cleanup.Kept)
            kept << prefix + name;
    };
    if (context.Lock.HoldsTarget())
        clean(context.Folder->Get(), FileUtil::WithTrailingSeparator(context.Plan.Target),
              &MoveLeftovers::IsCopyLeftover);
    const QByteArray settingsFolder = FileUtil::FolderOfPath(context.Plan.SettingsFile);
    const QByteArray settingsName = FileUtil::NameOfPath(context.Plan.SettingsFile);
    const FileUtil::FileHandle folder(
        ::open(settingsFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.IsValid())
        clean(folder.Get(), settingsFolder, [&settingsName](const QByteArray &name) {
            return MoveLeftovers::IsSettingsLeftover(name, settingsName);
        });
    if (kept.isEmpty())
        return {};
    QString text = QStringLiteral("An earlier run of Flitto that ended early left files that this "
                                  "run may not remove:\n");
    for (const QByteArray &name : std::as_const(kept))
        text += QStringLiteral("\n    ") + PathText(name);
    text += QStringLiteral("\n\nAsk their owner or an administrator to remove them, then start "
                           "the move again.");
    return {text, QString::fromUtf8(kept.join(' '))};
}

Finding AnotherDatabase(Context &context)
{
    const int folder = context.Folder->Get();
    const MoveJournal::Owner self = MoveJournal::OwnerOf(
        context.DataFolder.Get(), context.Plan.Source, context.Plan.SettingsFile);
    const std::optional<MoveJournal::Owner> journal = MoveJournal::Read(folder);
    // This installation's own unfinished move into this folder: go on.
    if (journal && journal->SameMove(self))
        return {};
    if (journal)
        return {QStringLiteral("The folder %1 holds an unfinished move of the database in %2. "
                               "Finish that move, or choose another folder.")
                    .arg(PathText(context.Plan.Target), PathText(journal->Source)),
                {}};
    struct stat marker;
    if (::fstatat(folder, Installation::DatabaseMarker, &marker, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return {
        QStringLiteral("The folder %1 already holds a Quillbox database (%2). Moving into it "
                       "would overwrite that database. Choose an empty folder.")
            .arg(PathText(context.Plan.Target), QString::fromLatin1(Installation::DatabaseMarker)),
        {}};
}

Finding WriteAccess(Context &context)
{
    return {MoveChecks::CheckWriteAccess(context.Plan.Target), {}};
}

Finding FreeSpace(Context &context)
{
    return {MoveChecks::CheckSpace(context.Plan.Target, context.Files), {}};
}

Finding OneFilePerName(Context &context)
{
    return {MoveChecks::CheckNameClashes(context.Plan.Target, context.Files), {}};
}

Finding OtherFiles(Context &context)
{
    // Only files count: Quillbox reads the files of its folder as one
    // database, and never looks into subfolders.
    const QByteArray &target = context.Plan.Target;
    const QByteArray prefix = FileUtil::WithTrailingSeparator(target);
    QByteArrayList foreign;
    for (const QByteArray &name : MoveChecks::ForeignFiles(target, context.Files)) {
        if (!FileUtil::IsExistingFolder(prefix + name))
            foreign << name;
    }
    if (foreign.isEmpty())
        return {};
    return {MoveChecks::DescribeForeignFiles(target, foreign),
            QString::fromUtf8(foreign.join(' '))};
}

Finding OpenForWriting(Context &context)
{
    // Processes the look could not reach in time are asked about like
    // writers: passing silently would promise what was never looked at.
    const MoveChecks::WriterScan scan = MoveChecks::FindWriters(context.SourcePrefix);
    if (scan.IsEmpty())
        return {};
    return {MoveChecks::DescribeWriters(context.SourcePrefix, scan), {}};
}

} // namespace

const QList<Check> &Checks()
{
    // The order is the user's: what they typed first, then the folders,
    // the settings file and the lock, then the new folder's file system, and
    // last the question that a closed Quillbox makes go away.
    static const QList<Check> checks = {
        {QStringLiteral("database files"), Answer::None, false, false, &DatabaseFiles},
        {QStringLiteral("new location"), Answer::None, false, false, &NewLocation},
        {QStringLiteral("data folder"), Answer::None, false, false, &DataFolder},
        {QStringLiteral("separate folders"), Answer::None, false, false, &SeparateFolders},
        {QStringLiteral("settings unchanged"), Answer::None, false, false, &SettingsUnchanged},
        {QStringLiteral("settings file"), Answer::None, true, false, &SettingsFile},
        {QStringLiteral("new folder"), Answer::None, false, true, &NewFolder},
        {QStringLiteral("kept after a restart"), Answer::GoOnOrBack, false, true, &KeptAfterRestart,
         &MoveView::AskRamTarget},
        {QStringLiteral("one move at a time"), Answer::None, false, true, &OneMoveAtATime},
        {QStringLiteral("leftovers"), Answer::None, false, true, &Leftovers},
        {QStringLiteral("write access"), Answer::None, false, true, &WriteAccess},
        {QStringLiteral("free space"), Answer::None, false, true, &FreeSpace},
        {QStringLiteral("one file per name"), Answer::None, false, true, &OneFilePerName},
        {QStringLiteral("another database"), Answer::None, false, true, &AnotherDatabase},
        {QStringLiteral("other files in the new location"), Answer::GoOnOrBack, false, true,
         &OtherFiles, &MoveView::AskForeignFiles},
        {QStringLiteral("files open for writing"), Answer::RetryIgnoreCancel, false, false,
         &OpenForWriting},
    };
    return checks;
}

} // namespace MoveCheckList
