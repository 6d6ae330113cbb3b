#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <functional>
#include <sys/types.h>

// What an interrupted run of Flitto leaves behind (kill -9, a power cut, a
// stuck disk given up on): half-written copies, the checks' probes, a
// half-written settings file. They carry names no mail file has, so a later
// run can tell them from the user's files: it removes its own, never
// calls them foreign and never copies them into a database folder.
namespace MoveLeftovers {

// In a new folder (and a data folder that once was one): a copy or the
// journal being written (".flitto-<base 36>.part"), a write probe
// (".flitto-probe-<hex>"), a name-probe folder (".flitto-names-<hex>").
bool IsCopyLeftover(const QByteArray &name);
// Beside the settings file: its replacement being written
// (".<settings file name>.flitto-<base 36>").
bool IsSettingsLeftover(const QByteArray &name, const QByteArray &settingsName);
// Any name Flitto itself keeps in a new folder: the leftovers above, the
// lock and the journal. None is part of a database.
bool IsOwnName(const QByteArray &name);

struct Cleanup
{
    QByteArrayList Removed;
    // Leftovers that are not ours to remove, or that would not go, with
    // the reason after a ": ".
    QByteArrayList Kept;
};

// Removes the leftovers (isLeftover) of the open folder that belong to an
// owner for which ours is true; a name-probe folder goes with its files.
// Links are removed as links, never followed. A dry run removes nothing
// and reports what it would remove as removed.
Cleanup Clean(int folder, const std::function<bool(const QByteArray &)> &isLeftover,
              const std::function<bool(uid_t)> &ours, bool dryRun = false);

} // namespace MoveLeftovers
