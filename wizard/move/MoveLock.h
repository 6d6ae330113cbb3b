#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// Keeps a second Flitto, window or command line, away from an installation
// or a target while a move runs. The locks are advisory locks (flock) on
// private lock files that the system drops when the process dies, so a crash
// never leaves one held; a holder removes its file while it still holds it,
// so a finished run leaves none behind. Within one process a lock is shared:
// a run that supersedes an older one of the same window already holds what
// the older one took. A lock that cannot be taken safely refuses the move:
// no move runs unlocked.
class MoveLock
{
public:
    enum class Taken
    {
        Yes,
        Busy,      // another process holds it
        NoNewFile, // the folder takes no new file
        Unsafe,    // the lock file cannot be trusted or opened
    };

    MoveLock();
    ~MoveLock();
    MoveLock(const MoveLock &) = delete;
    MoveLock &operator=(const MoveLock &) = delete;

    // The installation: a lock file beside its settings file, or in the
    // user's private runtime folder when the settings file's folder takes no
    // new file. Never NoNewFile.
    Taken LockInstallation(const QByteArray &settingsFile);
    // The target folder, open as folder, by a lock file inside it; target
    // names it in messages.
    Taken LockTarget(int folder, const QByteArray &target);
    // The copy is over: the new folder holds only the database again.
    void UnlockTarget() { m_target.reset(); }
    bool HoldsTarget() const { return m_target != nullptr; }
    // What the user is told about the last taking that failed.
    QString Reason() const { return m_reason; }

    // The lock file inside a target: not part of any database.
    static QByteArray TargetLockName() { return QByteArrayLiteral(".flitto-lock"); }
    // What the user is told when another Flitto holds what names.
    static QString Refusal(const QByteArray &what);

private:
    class Held;
    // path is looked up in folder (AT_FDCWD: the current folder).
    static Taken Take(int folder, const QByteArray &path, std::shared_ptr<Held> *lock,
                      QString *why);

    std::shared_ptr<Held> m_installation;
    std::shared_ptr<Held> m_target;
    QString m_reason;
};
