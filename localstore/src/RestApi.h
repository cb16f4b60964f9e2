#pragma once

#include "HttpMessage.h"
#include "RestQuery.h"

#include <QHash>

class StoreContext;

// The data API: read access to the exposed tables with the row rules of a real deployment.
class RestApi
{
public:
    explicit RestApi(StoreContext &context) : m_context(context) {}

    // path is what follows "/rest/v1/".
    HttpResponse handle(const HttpRequest &request, const QString &path);

private:
    struct CachedAnswer
    {
        QByteArray body;
        QByteArray range;
    };

    StoreContext &m_context;
    // Answers of the catalog tables, which only change when another connection writes them
    // (PRAGMA data_version tells); the full catalog is large and asked for often.
    QHash<QByteArray, CachedAnswer> m_cache;
    qint64 m_cacheVersion = -1;
};

HttpResponse restErrorResponse(const RestError &error);
