#include "widgets/shell/TRzMountWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TRzMountWatcher::TRzMountWatcher(QObject *parent, const QByteArray &mountTable) : QObject(parent)
{
    m_fd = ::open(mountTable.constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    // Reading the table to its end arms the next notification.
    m_table = ReadTable();
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Exception);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TRzMountWatcher::OnActivated);
}

TRzMountWatcher::~TRzMountWatcher()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray TRzMountWatcher::ReadTable()
{
    QByteArray table;
    if (::lseek(m_fd, 0, SEEK_SET) < 0)
        return table;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        table.append(buffer, got);
    }
    return table;
}

void TRzMountWatcher::OnActivated()
{
    QByteArray table = ReadTable();
    // The kernel also signals changes that leave this namespace's table as it was.
    if (table == m_table)
        return;
    m_table = std::move(table);
    Q_EMIT MountsChanged();
}
