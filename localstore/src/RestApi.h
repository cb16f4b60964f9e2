#pragma once

#include "HttpMessage.h"
#include "RestQuery.h"

class StoreContext;

// The data API: read access to the exposed tables with the row rules of a real deployment.
class RestApi
{
public:
    explicit RestApi(StoreContext &context) : m_context(context) {}

    // path is what follows "/rest/v1/".
    HttpResponse handle(const HttpRequest &request, const QString &path);

private:
    StoreContext &m_context;
};

HttpResponse restErrorResponse(const RestError &error);
