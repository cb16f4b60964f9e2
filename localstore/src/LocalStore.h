#pragma once

#include "AuthApi.h"
#include "HttpServer.h"
#include "RestApi.h"
#include "SitePages.h"
#include "StorageApi.h"
#include "StoreContext.h"
#include "TestControls.h"
#include "WebApi.h"

#include <QObject>
#include <memory>

// The whole local store on one port: data API, auth API, storage, the web API and pages,
// and, when asked for, the test controls.
class LocalStore : public QObject
{
    Q_OBJECT
public:
    explicit LocalStore(StoreOptions options, QObject *parent = nullptr);

    // Seeds a missing catalog and starts listening; false with a reason when it can't.
    bool start(QString *error);
    quint16 port() const { return m_server->serverPort(); }
    QString baseUrl() const { return m_context.baseUrl(); }
    StoreContext &context() { return m_context; }

    HttpResponse handle(const HttpRequest &request);

private:
    HttpResponse answer(const HttpRequest &request);
    HttpResponse route(const HttpRequest &request);
    std::optional<HttpResponse> checkApiKey(const HttpRequest &request);

    StoreContext m_context;
    StorageApi m_storage;
    RestApi m_rest;
    AuthApi m_auth;
    WebApi m_web;
    SitePages m_pages;
    TestControls m_controls;
    std::unique_ptr<HttpServer> m_server;
};
