#pragma once

#include "Entitlements.h"
#include "HttpMessage.h"

class StoreContext;

// The web site's pages: checkout and membership checkout with a Pay button, the billing
// portal, the confirmation page and the legal pages.
class SitePages
{
public:
    explicit SitePages(StoreContext &context) : m_context(context), m_entitlements(context) {}

    HttpResponse handle(const HttpRequest &request);

private:
    HttpResponse checkoutPage(const QString &sessionId);
    HttpResponse pay(const QString &sessionId);
    HttpResponse portalPage(const QString &sessionId);
    HttpResponse cancelMembership(const QString &sessionId);
    HttpResponse page(int status, const QString &title, const QString &content);

    StoreContext &m_context;
    Entitlements m_entitlements;
};
