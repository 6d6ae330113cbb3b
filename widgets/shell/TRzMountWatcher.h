#pragma once

#include "fileutil/FileHandle.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class QSocketNotifier;

// Tells when file systems are mounted or unmounted: the kernel marks
// /proc/self/mountinfo with POLLPRI on every change of the mount table, which
// a socket notifier of the exception kind sees. (inotify, and so a file
// system watcher, never reports changes of /proc files.)
class TRzMountWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TRzMountWatcher(
        QObject *parent = nullptr,
        const QByteArray &mountTable = QByteArrayLiteral("/proc/self/mountinfo"));
    ~TRzMountWatcher() override;

    // False when the mount table could not be opened; then nothing is reported.
    bool IsWatching() const { return m_file.IsValid(); }

Q_SIGNALS:
    void MountsChanged();

private:
    void OnActivated();
    QByteArray ReadTable();

    FileUtil::FileHandle m_file;
    QByteArray m_table;
    std::unique_ptr<QSocketNotifier> m_notifier; // destroyed before the descriptor is closed
};
