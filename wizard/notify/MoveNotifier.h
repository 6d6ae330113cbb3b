#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QString>

#include <chrono>
#include <functional>

// Tells the user through a desktop notification that a long move ended
// while he was working in another window; silent where no notification
// service runs.
class MoveNotifier
{
public:
    static constexpr std::chrono::milliseconds DefaultThreshold{10000};

    explicit MoveNotifier(QDBusConnection connection = QDBusConnection::sessionBus(),
                          std::chrono::milliseconds threshold = DefaultThreshold);

    void Started();
    // Posts text when the move took longer than the threshold and the
    // window is not active; true when a notification went to the bus.
    bool Finished(bool ok, const QString &text, bool windowActive);

    // Whether a move that took elapsed, ending with the window in that
    // state, deserves a notification.
    static bool ShouldNotify(std::chrono::milliseconds elapsed, std::chrono::milliseconds threshold,
                             bool windowActive);

private:
    QDBusConnection m_connection;
    std::chrono::milliseconds m_threshold;
    QElapsedTimer m_timer;
};

// One run's notice: started when made, finished when it goes out of scope,
// so that every way out of a move reports it. A run that never called
// Succeeded ended in an error or was stopped; the status line says which.
class MoveNotice
{
public:
    MoveNotice(std::function<QString()> statusText, std::function<bool()> windowActive,
               MoveNotifier notifier = MoveNotifier());
    ~MoveNotice();
    MoveNotice(const MoveNotice &) = delete;
    MoveNotice &operator=(const MoveNotice &) = delete;

    void Succeeded() { m_ok = true; }
    // The error the run ended with, to show instead of the status line.
    void Failed(const QString &error) { m_error = error; }
    // A run that was stopped on request tells the user nothing new.
    void Dismiss() { m_dismissed = true; }

private:
    std::function<QString()> m_statusText;
    std::function<bool()> m_windowActive;
    MoveNotifier m_notifier;
    bool m_ok = false;
    bool m_dismissed = false;
    QString m_error;
};
