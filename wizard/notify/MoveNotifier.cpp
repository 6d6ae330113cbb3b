#include "wizard/notify/MoveNotifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

MoveNotifier::MoveNotifier(QDBusConnection connection, std::chrono::milliseconds threshold)
    : m_connection(std::move(connection)), m_threshold(threshold)
{}

void MoveNotifier::Started()
{
    m_timer.start();
}

bool MoveNotifier::ShouldNotify(std::chrono::milliseconds elapsed,
                                std::chrono::milliseconds threshold, bool windowActive)
{
    return !windowActive && elapsed >= threshold;
}

bool MoveNotifier::Finished(bool ok, const QString &text, bool windowActive)
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
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(ok ? 1 : 2)));
    call << QStringLiteral("Flitto") << uint(0)
         << (ok ? QStringLiteral("flitto") : QStringLiteral("dialog-error"))
         << QStringLiteral("Quillbox Database Move Wizard") << text << QStringList() << hints
         << qint32(-1);
    // No reply is awaited: a missing service answers with an error nobody
    // needs to see, and the wizard never waits for the desktop.
    call.setAutoStartService(true);
    return m_connection.send(call);
}

MoveNotice::MoveNotice(std::function<QString()> statusText, std::function<bool()> windowActive,
                       MoveNotifier notifier)
    : m_statusText(std::move(statusText)), m_windowActive(std::move(windowActive)),
      m_notifier(std::move(notifier))
{
    m_notifier.Started();
}

MoveNotice::~MoveNotice()
{
    if (m_dismissed)
        return;
    m_notifier.Finished(m_ok, m_ok || m_error.isEmpty() ? m_statusText() : m_error,
                        m_windowActive());
}
