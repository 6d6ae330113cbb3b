#include "wizard/move/MoveCheckList.h"

#include "fileutil/Exception.h"
#include "fileutil/FileUtil.h"
#include "wizard/move/MoveLock.h"
#include "wizard/settings/Installation.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

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
    struct stat source, existing;
    if (::stat(context.Plan.Source.constData(), &source) == 0 &&
        ::stat(target.constData(), &existing) == 0 && source.st_dev == existing.st_dev &&
        source.st_ino == existing.st_ino)
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
    if (scan.Writers.isEmpty() && scan.NotInspected.isEmpty())
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
        {QStringLiteral("settings file"), Answer::None, true, false, &SettingsFile},
        {QStringLiteral("new folder"), Answer::None, false, true, &NewFolder},
        {QStringLiteral("one move at a time"), Answer::None, false, true, &OneMoveAtATime},
        {QStringLiteral("write access"), Answer::None, false, true, &WriteAccess},
        {QStringLiteral("free space"), Answer::None, false, true, &FreeSpace},
        {QStringLiteral("one file per name"), Answer::None, false, true, &OneFilePerName},
        {QStringLiteral("other files in the new location"), Answer::GoOnOrBack, false, true,
         &OtherFiles},
        {QStringLiteral("files open for writing"), Answer::RetryIgnoreCancel, false, false,
         &OpenForWriting},
    };
    return checks;
}

} // namespace MoveCheckList
