#pragma once

#include <QString>
#include <QVariantList>

#include <optional>

struct BusCall
{
    QString service;
    QString path;
    QString interface;
    QString method;
    QVariantList arguments;
};

struct BusReply
{
    std::optional<QString> error;  // the service's own error text
    QVariantList values;
};

// Calls on the session bus. Desktop backends receive one so tests can record the calls.
class SessionBus
{
public:
    virtual ~SessionBus() = default;

    virtual BusReply call(const BusCall &call) = 0;
    // For a desktop-portal method that answers later through a Request object: calls it and
    // waits for the Response signal. On success `values` holds the response code (uint) and
    // the results (QVariantMap).
    virtual BusReply callPortalRequest(const BusCall &call) = 0;
    virtual bool hasService(const QString &name) = 0;
};
