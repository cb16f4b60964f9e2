#include "LocalStore.h"

#include <QJsonObject>
#include <cstdio>

namespace {
const QString restPrefix = QStringLiteral("/rest/v1/");
const QString authPrefix = QStringLiteral("/auth/v1/");
const QString storagePrefix = QStringLiteral("/storage/v1/");
const QString apiPrefix = QStringLiteral("/api/");
const QString devPrefix = QStringLiteral("/__dev/");
}

LocalStore::LocalStore(StoreOptions options, QObject *parent)
    : QObject(parent),
      m_context(std::move(options)),
      m_storage(m_context),
      m_rest(m_context),
      m_auth(m_context),
      m_web(m_context, m_storage),
      m_pages(m_context),
      m_controls(m_context)
{
    m_server = std::make_unique<HttpServer>([this](const HttpRequest &request) { return handle(request); },
                                            m_context.options().maxBodyBytes);
}

bool LocalStore::start(QString *error)
{
    if (!m_context.isReady()) {
        *error = QStringLiteral("can't open the database: ") + m_context.startError();
        return false;
    }
    if (!m_context.db().hasTable(QStringLiteral("wallpapers")) && m_context.options().seedCatalog
        && !m_context.options().seedCatalog(m_context.db().db(), m_context.storageRoot())) {
        *error = QStringLiteral("can't seed the catalog");
        return false;
    }
    if (!m_server->listenLocal(m_context.options().port)) {
        *error = QStringLiteral("can't listen on 127.0.0.1:%1: %2").arg(m_context.options().port).arg(m_server->errorString());
        return false;
    }
    m_context.setBaseUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()));
    return true;
}

HttpResponse LocalStore::handle(const HttpRequest &request)
{
    HttpResponse response = answer(request);
    if (m_context.options().logRequests) {
        std::printf("%s %s -> %d\n", request.method.constData(), qUtf8Printable(request.path), response.status);
        std::fflush(stdout);
    }
    return response;
}

HttpResponse LocalStore::answer(const HttpRequest &request)
{
    if (!m_context.options().devControls)
        return route(request);
    if (request.path.startsWith(devPrefix))
        return m_controls.handle(request, request.path.mid(devPrefix.size()));
    m_controls.count(request.path);
    const auto fault = m_controls.takeFault(request.path);
    if (!fault)
        return route(request);
    switch (fault->kind) {
    case InjectedFault::Kind::Status: {
        const bool json = fault->body.startsWith('{') || fault->body.startsWith('[');
        return HttpResponse(fault->status, json ? "application/json; charset=utf-8" : "text/plain; charset=utf-8", fault->body);
    }
    case InjectedFault::Kind::Drop: {
        HttpResponse response;
        response.delivery = Delivery::Drop;
        return response;
    }
    case InjectedFault::Kind::Delay: {
        HttpResponse response = route(request);
        response.delayMs = qMax(1, fault->delayMs);
        return response;
    }
    case InjectedFault::Kind::Truncate: {
        HttpResponse response = route(request);
        response.delivery = Delivery::Truncate;
        return response;
    }
    }
    return route(request);
}

std::optional<HttpResponse> LocalStore::checkApiKey(const HttpRequest &request)
{
    QByteArray key = request.header("apikey");
    if (key.isEmpty())
        key = request.queryValue(QStringLiteral("apikey")).toUtf8();
    if (key.isEmpty())
        return HttpResponse::json(401, R"({"message":"No API key found in request","hint":"No `apikey` request header or url param was found."})");
    if (key != m_context.options().publishableKey.toUtf8())
        return HttpResponse::json(401, R"({"message":"Invalid API key","hint":"Double check your Supabase `anon` or `service_role` API key."})");
    return std::nullopt;
}

HttpResponse LocalStore::route(const HttpRequest &request)
{
    const QString &path = request.path;
    if (path.startsWith(restPrefix)) {
        if (auto refused = checkApiKey(request))
            return std::move(*refused);
        return m_rest.handle(request, path.mid(restPrefix.size()));
    }
    if (path.startsWith(authPrefix)) {
        const QString rest = path.mid(authPrefix.size());
        // The e-mailed link and the key set are opened without a key, as on a real project.
        const bool open = (rest == QStringLiteral("verify") && request.method == "GET")
            || rest == QStringLiteral(".well-known/jwks.json") || rest == QStringLiteral("health");
        if (!open) {
            if (auto refused = checkApiKey(request))
                return std::move(*refused);
        }
        return m_auth.handle(request, rest);
    }
    if (path.startsWith(storagePrefix))
        return m_storage.handle(request, path.mid(storagePrefix.size()));
    if (path.startsWith(apiPrefix))
        return m_web.handle(request, path.mid(apiPrefix.size()));
    return m_pages.handle(request);
}
