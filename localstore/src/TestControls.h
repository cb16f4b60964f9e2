#pragma once

#include "HttpMessage.h"

#include <QHash>
#include <QList>

class StoreContext;

// A fault to play on the next requests whose path starts with a prefix.
struct InjectedFault
{
    enum class Kind { Status, Delay, Drop, Truncate };
    QString prefix;
    Kind kind = Kind::Status;
    int status = 503;
    QByteArray body;
    int delayMs = 60000;
    int remaining = 1;
};

// Controls for tests, served only when the store is started with them: the outbox, injected
// faults, request counts, a reset and the server clock.
class TestControls
{
public:
    explicit TestControls(StoreContext &context) : m_context(context) {}

    // path is what follows "/__dev/".
    HttpResponse handle(const HttpRequest &request, const QString &path);

    void count(const QString &path) { ++m_counts[path]; }
    // The fault to apply to this request, used up by one.
    std::optional<InjectedFault> takeFault(const QString &path);

private:
    HttpResponse outbox(const HttpRequest &request);
    HttpResponse addFault(const HttpRequest &request);

    StoreContext &m_context;
    QList<InjectedFault> m_faults;
    QHash<QString, int> m_counts;
};
