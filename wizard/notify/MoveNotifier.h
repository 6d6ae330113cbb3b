#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// Tells the user through a desktop notification that a long move ended
// while he was working in another window, and brings the window back when
// he clicks it; silent where no notification service runs.
class MoveNotifier : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultThreshold{10000};

    // What one notification says. A copy that succeeded has not moved the
    // database yet: Quillbox.ini changes only when the user presses Next,
    // so the text sends him back to the wizard.
    struct Notice
    {
        bool Ok = false;
        QString Summary;
        QString Body;
    };
    static Notice Copied(qsizetype files, bool remote);
    static Notice Failed(const QString &error, const QString &logPath);

    explicit MoveNotifier(QDBusConnection connection = QDBusConnection::sessionBus(),
                          std::chrono::milliseconds threshold = DefaultThreshold,
                          QObject *parent = nullptr);

    void Started();
    // Posts the notice when the move took longer than the threshold and the
    // window is not active; true when a notification went to the bus.
    bool Finished(const Notice &notice, bool windowActive);

    // Whether a move that took elapsed, ending with the window in that
    // state, deserves a notification.
    static bool ShouldNotify(std::chrono::milliseconds elapsed, std::chrono::milliseconds threshold,
                             bool windowActive);

Q_SIGNALS:
    // The user clicked one of our notifications: the window should come back.
    void Activated();

private Q_SLOTS:
    void OnActionInvoked(uint id, const QString &action);
    void OnClosed(uint id, uint reason);

private:
    QDBusConnection m_connection;
    std::chrono::milliseconds m_threshold;
    QElapsedTimer m_timer;
    // The service's ids of the notifications still shown; its signals are
    // broadcast, and another program's notifications are none of ours.
    QSet<uint> m_shown;
};

// One run's notice: started when made, finished when it goes out of scope,
// so that every way out of a move reports it. A run that never called
// Succeeded or Failed ended in an error or was refused; the status line
// says which.
class MoveNotice
{
public:
    MoveNotice(MoveNotifier &notifier, std::function<QString()> statusText,
               std::function<bool()> windowActive, QString logPath);
    ~MoveNotice();
    MoveNotice(const MoveNotice &) = delete;
    MoveNotice &operator=(const MoveNotice &) = delete;

    void Succeeded(qsizetype files, bool remote) { m_notice = MoveNotifier::Copied(files, remote); }
    // The error the run ended with, to show instead of the status line.
    void Failed(const QString &error) { m_notice = MoveNotifier::Failed(error, m_logPath); }
    // A run that was stopped on request tells the user nothing new.
    void Dismiss() { m_dismissed = true; }

private:
    MoveNotifier &m_notifier;
    std::function<QString()> m_statusText;
    std::function<bool()> m_windowActive;
    QString m_logPath;
    std::optional<MoveNotifier::Notice> m_notice;
    bool m_dismissed = false;
};
