#include "wizard/notify/MoveNotifier.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString DefaultAction = QStringLiteral("default");

} // namespace

MoveNotifier::Notice MoveNotifier::Copied(qsizetype files, bool remote)
{
    const QString copied = files == 1 ? QStringLiteral("Copied and checked 1 file.")
                                      : QStringLiteral("Copied and checked %1 files.").arg(files);
    const QString next =
        remote ? QStringLiteral("Return to Flitto and press Next, then tell the Quillbox Server "
                                "about the new folder with Relaydesk.")
               : QStringLiteral(
                     "Return to Flitto and press Next to switch Quillbox to the new folder.");
    return {true, QStringLiteral("Database copied and checked"), copied % u' ' % next};
}

MoveNotifier::Notice MoveNotifier::Failed(const QString &error, const QString &logPath)
{
    QString body = error;
    if (!logPath.isEmpty())
        body += u' ' % QStringLiteral("The move log is %1.").arg(logPath);
    return {false, QStringLiteral("Database move failed"), body};
}

MoveNotifier::MoveNotifier(QDBusConnection connection, std::chrono::milliseconds threshold,
                           QObject *parent)
    : QObject(parent), m_connection(std::move(connection)), m_threshold(threshold)
{
    if (!m_connection.isConnected())
        return;
    m_connection.connect(Service, Path, Service, QStringLiteral("ActionInvoked"), this,
                         SLOT(OnActionInvoked(uint, QString)));
    m_connection.connect(Service, Path, Service, QStringLiteral("NotificationClosed"), this,
                         SLOT(OnClosed(uint, uint)));
}

void MoveNotifier::Started()
{
    m_timer.start();
}

bool MoveNotifier::ShouldNotify(std::chrono::milliseconds elapsed,
                                std::chrono::milliseconds threshold, bool windowActive)
{
    return !windowActive && elapsed >= threshold;
}

bool MoveNotifier::Finished(const Notice &notice, bool windowActive)
{
    if (!m_timer.isValid())
        return false;
    const std::chrono::milliseconds elapsed{m_timer.elapsed()};
    m_timer.invalidate();
    if (!ShouldNotify(elapsed, m_threshold, windowActive) || !m_connection.isConnected())
        return false;

    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("flitto"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.Ok ? 1 : 2)));
    // The default action is what a click on the notification itself does.
    const QStringList actions{DefaultAction, QStringLiteral("Show Flitto")};
    call << QStringLiteral("Flitto") << uint(0)
         << (notice.Ok ? QStringLiteral("flitto") : QStringLiteral("dialog-error"))
         << notice.Summary << notice.Body << actions << hints << qint32(-1);
    call.setAutoStartService(true);
    // The reply is taken when it comes, never waited for: the wizard must
    // not hang on the desktop, and a missing service's error is dropped.
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *finished) {
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isValid())
                    m_shown.insert(reply.value());
                finished->deleteLater();
            });
    return true;
}

void MoveNotifier::OnActionInvoked(uint id, const QString &action)
{
    if (action == DefaultAction && m_shown.contains(id))
        Q_EMIT Activated();
}

void MoveNotifier::OnClosed(uint id, uint)
{
    m_shown.remove(id);
}

MoveNotice::MoveNotice(MoveNotifier &notifier, std::function<QString()> statusText,
                       std::function<bool()> windowActive, QString logPath)
    : m_notifier(notifier), m_statusText(std::move(statusText)),
      m_windowActive(std::move(windowActive)), m_logPath(std::move(logPath))
{
    m_notifier.Started();
}

MoveNotice::~MoveNotice()
{
    if (m_dismissed)
        return;
    m_notifier.Finished(m_notice ? *m_notice : MoveNotifier::Failed(m_statusText(), m_logPath),
                        m_windowActive());
}
