#pragma once

#include <QByteArray>

#include <memory>

class DispatcherPlatform;

// What the manager needs of a diagnostic client: a new default destination
// and a new platform to pass on, and a virtual destructor for the clients
// left at shut-down. TDezaZudi implements it; the manager knows clients only
// through it, so that the client can use the manager without the manager
// depending on the client.
class TCSClient
{
public:
    virtual ~TCSClient() = default;

    virtual void SetDestinationDetails(const QByteArray &Value) = 0;
    virtual void SetPlatform(std::shared_ptr<DispatcherPlatform> platform) = 0;
};
