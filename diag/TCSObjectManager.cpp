#include "diag/TCSObjectManager.h"

#include "diag/AssertionHook.h"
#include "diag/LinuxDispatcherPlatform.h"
#include "diag/TCSClient.h"
#include "diag/TCSFormatterList.h"
#include "diag/TDezaZudi.h"

#include <QMutexLocker>

namespace {

std::unique_ptr<TCSObjectManager> g_objectManager;
std::unique_ptr<TDezaZudi> g_defaultClient;

// Starts the module when the program's static objects are built, before
// main(), and shuts it down after main() returns, so that the program and
// every test executable get the same start-up without calling anything.
struct CSIntfModule
{
    CSIntfModule() { CSIntfStartUp(); }
    ~CSIntfModule() { CSIntfShutDown(); }
} g_module;

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
    return g_objectManager.get();
}

TDezaZudi *DefaultClient()
{
    return g_defaultClient.get();
}

void CSIntfStartUp()
{
    if (g_objectManager)
        return;
    g_objectManager = std::make_unique<TCSObjectManager>();
    g_defaultClient = std::make_unique<TDezaZudi>(nullptr);
    SetAssertErrorProc(&AssertionHook);
}

void CSIntfShutDown()
{
    if (!g_objectManager)
        return;
    if (AssertErrorProc() == &AssertionHook)
        SetAssertErrorProc(nullptr);
    g_defaultClient.reset();
    g_objectManager.reset();
}
