#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// Keeps a second Flitto, window or command line, away from an installation
// or a target while a move runs. The locks are advisory locks (flock) that
// the system drops when the process dies, so a crash never leaves one
// behind. Within one process a lock is shared: a run that supersedes an
// older one of the same window already holds what the older one took.
class MoveLock
{
public:
    MoveLock();
    ~MoveLock();
    MoveLock(const MoveLock &) = delete;
    MoveLock &operator=(const MoveLock &) = delete;

    // The installation: a lock file beside its settings file, or in the
    // user's runtime folder when that folder takes no new file. False when
    // another process holds it.
    bool LockInstallation(const QByteArray &settingsFile);
    // The target folder itself, which must exist. False when another process
    // holds it (a folder that cannot be opened is not locked, and the copy
    // reports it).
    bool LockTarget(const QByteArray &target);

    // What the user is told when another Flitto holds what names.
    static QString Refusal(const QByteArray &what);

private:
    class Held;
    std::shared_ptr<Held> Take(const QByteArray &path, bool folder, bool *busy);

    std::shared_ptr<Held> m_installation;
    std::shared_ptr<Held> m_target;
};
