#include "diag/TCSObjectManager.h"

#include "diag/LinuxDispatcherPlatform.h"
#include "diag/TCSClient.h"
#include "diag/TCSFormatterList.h"

#include <QMutexLocker>

namespace {
// Set and cleared by the module (diag/CSModule), which owns the manager.
TCSObjectManager *g_objectManager = nullptr;
} // namespace

TCSObjectManager::TCSObjectManager() : m_platform(std::make_shared<LinuxDispatcherPlatform>()) {}

TCSObjectManager::~TCSObjectManager()
{
    QMutexLocker locker(&m_lock);
    while (!m_clients.isEmpty()) {
        // A client that nobody destroyed is the manager's to destroy; it
        // unregisters and removes itself from the list on the way out.
        std::unique_ptr<TCSClient> leftover(m_clients.last());
        leftover.reset();
    }
    m_formatters.reset();
}

void TCSObjectManager::AddClient(TCSClient *Client)
{
    QMutexLocker locker(&m_lock);
    m_clients.append(Client);
}

void TCSObjectManager::RemoveClient(TCSClient *Client)
{
    QMutexLocker locker(&m_lock);
    m_clients.removeOne(Client);
}

int TCSObjectManager::ClientCount()
{
    QMutexLocker locker(&m_lock);
    return static_cast<int>(m_clients.size());
}

TCSFormatterList *TCSObjectManager::Formatters()
{
    QMutexLocker locker(&m_lock);
    if (!m_formatters)
        m_formatters = std::make_unique<TCSFormatterList>();
    return m_formatters.get();
}

void TCSObjectManager::SetDefaultDestination(const QByteArray &Text)
{
    QMutexLocker locker(&m_lock);
    m_defaultDestination = Text;
    const QList<TCSClient *> clients = m_clients;
    for (TCSClient *client : clients)
        client->SetDestinationDetails(Text);
}

QByteArray TCSObjectManager::DefaultDestination() const
{
    QMutexLocker locker(&m_lock);
    return m_defaultDestination;
}

QList<TCSClient *> TCSObjectManager::Clients()
{
    QMutexLocker locker(&m_lock);
    return m_clients;
}

std::shared_ptr<DispatcherPlatform> TCSObjectManager::Platform() const
{
    QMutexLocker locker(&m_lock);
    return m_platform;
}

void TCSObjectManager::SetPlatform(std::shared_ptr<DispatcherPlatform> platform)
{
    QMutexLocker locker(&m_lock);
    m_platform = platform;
    for (TCSClient *client : std::as_const(m_clients))
        client->SetPlatform(platform);
}

TCSObjectManager *ObjectManager()
{
    return g_objectManager;
}

void SetObjectManager(TCSObjectManager *Manager)
{
    g_objectManager = Manager;
}
