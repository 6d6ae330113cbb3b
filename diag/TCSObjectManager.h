#pragma once

#include <QByteArray>
#include <QList>
#include <QRecursiveMutex>

#include <memory>

class DispatcherPlatform;
class TCSClient;
class TCSFormatterList;

// The process's one registry of diagnostic clients: it knows every client,
// holds the default destination, the assertion mode and the platform that
// new clients talk through, and destroys the clients left at shut-down.
class TCSObjectManager
{
public:
    TCSObjectManager();
    TCSObjectManager(const TCSObjectManager &) = delete;
    TCSObjectManager &operator=(const TCSObjectManager &) = delete;
    virtual ~TCSObjectManager();

    void AddClient(TCSClient *Client);
    void RemoveClient(TCSClient *Client);
    virtual int ClientCount();
    virtual TCSFormatterList *Formatters();
    virtual void SetDefaultDestination(const QByteArray &Text);

    QByteArray DefaultDestination() const;
    QList<TCSClient *> Clients();
    quint8 AssertMode() const { return m_assertMode; }
    void SetAssertMode(quint8 mode) { m_assertMode = mode; }

    // The platform of clients created from now on; setting it also hands it
    // to every existing client (tests point the whole module at a double or
    // at a private window directory this way).
    std::shared_ptr<DispatcherPlatform> Platform() const;
    void SetPlatform(std::shared_ptr<DispatcherPlatform> platform);

private:
    // Re-entrant: a client destroyed while the manager destroys the clients
    // removes itself under the lock the manager already holds.
    mutable QRecursiveMutex m_lock;
    QList<TCSClient *> m_clients;
    QByteArray m_defaultDestination = "Viewer";
    std::unique_ptr<TCSFormatterList> m_formatters;
    quint8 m_assertMode = 0;
    std::shared_ptr<DispatcherPlatform> m_platform;
};

// The module's manager, which every new client registers with; null outside
// start-up and shut-down. The module (diag/CSModule) owns it and sets it
// here; a manager set here must outlive the setting.
TCSObjectManager *ObjectManager();
void SetObjectManager(TCSObjectManager *Manager);
