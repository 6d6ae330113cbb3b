#pragma once

#include "diag/DispatcherPlatform.h"

#include <QHash>
#include <QMutex>

// Where the Linux platform looks; tests point it at temporary places.
struct TLinuxPlatformSettings
{
    // The machine-wide settings key "\Software\Ravav\DezaZudi\2.0": the
    // key's last part is the section of this file.
    QByteArray SettingsFile = "/etc/xdg/Ravav/DezaZudi.conf";
    // Empty: DispatcherWindows::DefaultWindowDirectory(), looked up anew
    // each time, so a session directory that appears later is found.
    QByteArray WindowDirectory;
    // How long a started dispatcher may take to open its window.
    int LaunchWaitMs = 10000;
    // How long one exchange (connect, send, answer) may take; 0: no bound.
    // A dispatcher that takes a message and never answers must not hang the
    // sender: past this the exchange has timed out, the client switches
    // itself off, and this platform tries no exchange again.
    int ExchangeTimeoutMs = 5000;
};

// The dispatcher link's platform on Linux: windows are sockets in the
// user's window directory, the registry key is an INI file section,
// programs are started without a shell.
class LinuxDispatcherPlatform : public DispatcherPlatform
{
public:
    explicit LinuxDispatcherPlatform(TLinuxPlatformSettings settings = {});

    const TLinuxPlatformSettings &Settings() const { return m_settings; }
    QByteArray WindowDirectory() const;

    TWindowHandle FindWindow(const QByteArray &ClassName, const QByteArray &Title) override;
    QList<TThreadWindow> ThreadWindows(quint32 ThreadId) override;
    TCopyDataResult SendCopyData(TWindowHandle Window, qint32 Kind,
                                 const QByteArray &Record) override;
    std::optional<TStartedProcess> CreateProcess(const QByteArray &Command) override;
    void WaitForInputIdle(const TStartedProcess &Process) override;
    void CloseHandles(const TStartedProcess &Process) override;
    std::optional<QByteArray> ReadMachineValue(const QByteArray &Key,
                                               const QByteArray &ValueName) override;
    QByteArray NewGuid() override;
    std::optional<QByteArray> ComputerName() override;
    QByteArray ProgramFile() override;
    quint32 ProcessId() override;
    quint32 ThreadId() override;
    qint32 TimeZoneBias() override;
    QDateTime LocalTime() override;

    // The handle of a window's socket: its inode combined with its pid.
    static TWindowHandle HandleOf(quint64 inode, quint32 processId);

private:
    struct TEntry
    {
        QByteArray Name;
        TWindowHandle Handle = 0;
        quint32 ProcessId = 0;
        QByteArray ClassName;
        QByteArray Title;
    };
    QList<TEntry> Windows(int directory) const;
    void ReapStartedChildren();
    // The outcome of an exchange that broke with this errno; a time-out is
    // remembered for the rest of the run.
    TCopyDataResult Broken(int error);

    TLinuxPlatformSettings m_settings;
    QMutex m_lock;
    QHash<TWindowHandle, QByteArray> m_names; // socket file of each handle seen
    QList<quint32> m_children;                // started programs not yet reaped
    bool m_exchangeTimedOut = false;
};
