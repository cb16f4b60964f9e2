#pragma once

#include "SessionBus.h"

#include <chrono>

// The session bus through QDBusConnection, usable from any thread.
class DBusSessionBus : public SessionBus
{
public:
    // How long a portal request may wait for the user or the portal to answer.
    explicit DBusSessionBus(std::chrono::milliseconds portalTimeout = std::chrono::minutes(2));

    BusReply call(const BusCall &call) override;
    BusReply callPortalRequest(const BusCall &call) override;
    bool hasService(const QString &name) override;

private:
    std::chrono::milliseconds m_portalTimeout;
};
