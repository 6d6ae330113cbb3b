#include "widgets/shell/TRzMountWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TRzMountWatcher::TRzMountWatcher(QObject *parent, const QByteArray &mountTable) : QObject(parent)
{
    m_file = FileUtil::FileHandle(::open(mountTable.constData(), O_RDONLY | O_CLOEXEC));
    if (!m_file.IsValid())
        return;
    // Reading the table to its end arms the next notification.
    m_table = ReadTable();
    m_notifier = std::make_unique<QSocketNotifier>(m_file.Get(), QSocketNotifier::Exception);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TRzMountWatcher::OnActivated);
}

TRzMountWatcher::~TRzMountWatcher()
{
    m_notifier.reset();
}

QByteArray TRzMountWatcher::ReadTable()
{
    QByteArray table;
    if (::lseek(m_file.Get(), 0, SEEK_SET) < 0)
        return table;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(m_file.Get(), buffer, sizeof buffer);
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
