#pragma once

#include "Entitlements.h"
#include "HttpMessage.h"

class StorageApi;
class StoreContext;
struct Caller;

// The web site's JSON API: checkout, membership, billing portal, preview URLs, claims and
// downloads of originals.
class WebApi
{
public:
    WebApi(StoreContext &context, StorageApi &storage);

    // path is what follows "/api/".
    HttpResponse handle(const HttpRequest &request, const QString &path);

private:
    HttpResponse checkout(const HttpRequest &request, const Caller &caller);
    HttpResponse subscribe(const HttpRequest &request, const Caller &caller);
    HttpResponse portal(const Caller &caller);
    HttpResponse previewUrls(const HttpRequest &request);
    HttpResponse claimPurchases(const Caller &caller);
    HttpResponse download(const Caller &caller, const QString &wallpaperId);
    QString openCheckoutSession(const QString &kind, const Caller &caller, const QString &email,
                                const QByteArray &items, const QString &plan);
    std::optional<quint32> checksum(const QString &filePath);

    StoreContext &m_context;
    StorageApi &m_storage;
    Entitlements m_entitlements;
};

HttpResponse webError(int status, const QByteArray &code, const QString &message);
