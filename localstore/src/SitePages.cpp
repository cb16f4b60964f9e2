#include "SitePages.h"

#include "CatalogPricing.h"
#include "Money.h"
#include "StoreContext.h"

namespace {
QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

const char *const style =
    "body{font-family:system-ui,sans-serif;max-width:34rem;margin:2rem auto;padding:0 1rem;color:#1d1d1f}"
    "table{width:100%;border-collapse:collapse}td{padding:.4rem 0;border-bottom:1px solid #ddd}"
    "td.price{text-align:right}s{color:#888;margin-right:.4rem}.total td{font-weight:600;border:none}"
    "button{font-size:1rem;padding:.6rem 1.6rem;border:0;border-radius:.5rem;background:#2f6fed;color:#fff}"
    "button.danger{background:#c62828}footer{margin-top:3rem;font-size:.8rem;color:#888}";
}

HttpResponse SitePages::page(int status, const QString &title, const QString &content)
{
    const QString html = QStringLiteral("<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
                                        "<title>%1 · Zarnova</title><style>%2</style></head><body>"
                                        "<h1>%1</h1>%3<footer><a href=\"/license\">License</a> · "
                                        "<a href=\"/privacy\">Privacy</a> · <a href=\"/contact\">Contact</a></footer>"
                                        "</body></html>")
                             .arg(escaped(title), QLatin1String(style), content);
    return HttpResponse::html(status, html.toUtf8());
}

HttpResponse SitePages::handle(const HttpRequest &request)
{
    const QStringList segments = request.path.mid(1).split(u'/');
    const bool get = request.method == "GET" || request.method == "HEAD";
    const bool post = request.method == "POST";
    const QString first = segments.value(0);
    if (segments.size() == 2 && first == QStringLiteral("checkout") && get)
        return checkoutPage(segments[1]);
    if (segments.size() == 3 && first == QStringLiteral("checkout") && segments[2] == QStringLiteral("pay") && post)
        return pay(segments[1]);
    if (segments.size() == 2 && first == QStringLiteral("portal") && get)
        return portalPage(segments[1]);
    if (segments.size() == 3 && first == QStringLiteral("portal") && segments[2] == QStringLiteral("cancel") && post)
        return cancelMembership(segments[1]);
    if (!get)
        return page(405, QStringLiteral("Not allowed"), QStringLiteral("<p>This page can't be sent that way.</p>"));
    if (request.path == QStringLiteral("/purchase/confirmed"))
        return page(200, QStringLiteral("Thank you"),
                    QStringLiteral("<p>Your purchase is confirmed. It is now in your library.</p>"
                                   "<p><a href=\"zarnova://checkout/success\">Back to Zarnova</a></p>"));
    if (request.path == QStringLiteral("/license"))
        return page(200, QStringLiteral("License"),
                    QStringLiteral("<p>Wallpapers you buy are licensed for personal use on your own devices. "
                                   "Commercial use needs a commercial licence.</p>"));
    if (request.path == QStringLiteral("/privacy"))
        return page(200, QStringLiteral("Privacy"),
                    QStringLiteral("<p>We keep your e-mail address, your orders and your membership, and nothing else.</p>"));
    if (request.path == QStringLiteral("/contact"))
        return page(200, QStringLiteral("Contact"), QStringLiteral("<p>Write to support@zarnova.local.</p>"));
    if (request.path == QStringLiteral("/"))
        return page(200, QStringLiteral("Zarnova"), QStringLiteral("<p>Wallpapers for your desktop.</p>"));
    return page(404, QStringLiteral("Not found"), QStringLiteral("<p>There is no page here.</p>"));
}

HttpResponse SitePages::checkoutPage(const QString &sessionId)
{
    QSqlQuery row = m_context.db().run(
        QStringLiteral("SELECT kind, email, items, plan, order_id FROM checkout_sessions WHERE id = ? AND kind <> 'portal'"),
        {sessionId});
    if (!row.next())
        return page(404, QStringLiteral("Checkout not found"), QStringLiteral("<p>This checkout link is not valid.</p>"));
    if (!row.value(4).isNull())
        return HttpResponse::redirect("/purchase/confirmed?order=" + row.value(4).toString().toUtf8());
    QString content = QStringLiteral("<p>Receipt to %1</p><table>").arg(escaped(row.value(1).toString()));
    QString title;
    if (row.value(0).toString() == QStringLiteral("subscription")) {
        const MembershipPriceList prices = membershipPrices(m_context.db());
        const bool yearly = row.value(3).toString() == QStringLiteral("yearly");
        title = QStringLiteral("Membership checkout");
        content += QStringLiteral("<tr><td>%1 membership</td><td class=\"price\">%2</td></tr>")
                       .arg(yearly ? QStringLiteral("Yearly") : QStringLiteral("Monthly"),
                            Money::string(yearly ? prices.yearlyCents : prices.monthlyCents)
                                + (yearly ? QStringLiteral(" / year") : QStringLiteral(" / month")));
    } else {
        const PricedCart cart = priceCart(m_context.db(), cartLinesFromJson(row.value(2).toByteArray()));
        title = QStringLiteral("Checkout");
        for (const PricedLine &line : cart.lines) {
            const QString was = line.discounted ? QStringLiteral("<s>%1</s>").arg(Money::string(line.priceCents)) : QString();
            content += QStringLiteral("<tr class=\"item\" data-kind=\"%1\" data-id=\"%2\"><td>%3</td><td class=\"price\">%4%5</td></tr>")
                           .arg(line.kind, escaped(line.id), escaped(line.title), was, Money::string(line.unitCents));
        }
        content += QStringLiteral("<tr class=\"total\"><td>Total</td><td class=\"price\" id=\"total\" data-cents=\"%1\">%2</td></tr>")
                       .arg(cart.totalCents)
                       .arg(Money::string(cart.totalCents));
    }
    content += QStringLiteral("</table><form method=\"post\" action=\"/checkout/%1/pay\"><p><button id=\"pay\" type=\"submit\">Pay</button></p></form>")
                   .arg(escaped(sessionId));
    return page(200, title, content);
}

HttpResponse SitePages::pay(const QString &sessionId)
{
    StoreDatabase &db = m_context.db();
    QSqlQuery row = db.run(QStringLiteral("SELECT kind, user_id, email, items, plan, order_id FROM checkout_sessions"
                                          " WHERE id = ? AND kind <> 'portal'"),
                           {sessionId});
    if (!row.next())
        return page(404, QStringLiteral("Checkout not found"), QStringLiteral("<p>This checkout link is not valid.</p>"));
    // Paying twice (a reload, a double click) must not charge or grant twice.
    if (!row.value(5).isNull())
        return HttpResponse::redirect("/purchase/confirmed?order=" + row.value(5).toString().toUtf8());
    const QString userId = row.value(1).toString();
    const QString email = row.value(2).toString();
    QString orderId = QStringLiteral("ord_") + randomToken(24);
    if (row.value(0).toString() == QStringLiteral("subscription")) {
        if (m_entitlements.isActiveMember(userId))
            return page(409, QStringLiteral("Already a member"), QStringLiteral("<p>You already have an active subscription.</p>"));
        const MembershipPriceList prices = membershipPrices(db);
        const QString plan = row.value(4).toString();
        db.transaction();
        db.run(QStringLiteral("INSERT INTO orders (id, user_id, email, items, total_cents, created_at) VALUES (?, ?, ?, '[]', ?, ?)"),
               {orderId, userId, email, plan == QStringLiteral("yearly") ? prices.yearlyCents : prices.monthlyCents,
                isoTimestamp(m_context.clock().now())});
        m_entitlements.startMembership(userId, plan);
    } else {
        const QList<CartLineRef> items = cartLinesFromJson(row.value(3).toByteArray());
        const PricedCart cart = priceCart(db, items);
        db.transaction();
        db.run(QStringLiteral("INSERT INTO orders (id, user_id, email, items, total_cents, created_at) VALUES (?, ?, ?, ?, ?, ?)"),
               {orderId, userId.isEmpty() ? QVariant() : QVariant(userId), email, row.value(3).toString(), cart.totalCents,
                isoTimestamp(m_context.clock().now())});
        if (!userId.isEmpty())
            m_entitlements.grant(userId, items);
    }
    db.run(QStringLiteral("UPDATE checkout_sessions SET order_id = ? WHERE id = ?"), {orderId, sessionId});
    db.commit();
    return HttpResponse::redirect("/purchase/confirmed?order=" + orderId.toUtf8());
}

HttpResponse SitePages::portalPage(const QString &sessionId)
{
    StoreDatabase &db = m_context.db();
    const QString userId =
        db.scalar(QStringLiteral("SELECT user_id FROM checkout_sessions WHERE id = ? AND kind = 'portal'"), {sessionId}).toString();
    if (userId.isEmpty())
        return page(404, QStringLiteral("Portal not found"), QStringLiteral("<p>This billing link is not valid.</p>"));
    QSqlQuery row = db.run(QStringLiteral("SELECT plan, status, created_at FROM subscriptions WHERE user_id = ?"
                                          " ORDER BY created_at DESC LIMIT 1"),
                           {userId});
    if (!row.next())
        return page(404, QStringLiteral("No membership"), QStringLiteral("<p>There is no membership to manage.</p>"));
    const QString status = row.value(1).toString();
    QString content = QStringLiteral("<table><tr><td>Plan</td><td class=\"price\" id=\"plan\">%1</td></tr>"
                                     "<tr><td>Status</td><td class=\"price\" id=\"status\">%2</td></tr>"
                                     "<tr><td>Member since</td><td class=\"price\">%3</td></tr></table>")
                          .arg(escaped(row.value(0).toString()), escaped(status), escaped(row.value(2).toString().left(10)));
    if (status == QStringLiteral("active") || status == QStringLiteral("trialing") || status == QStringLiteral("past_due"))
        content += QStringLiteral("<form method=\"post\" action=\"/portal/%1/cancel\"><p><button id=\"cancel\" class=\"danger\""
                                  " type=\"submit\">Cancel membership</button></p></form>")
                       .arg(escaped(sessionId));
    return page(200, QStringLiteral("Billing"), content);
}

HttpResponse SitePages::cancelMembership(const QString &sessionId)
{
    StoreDatabase &db = m_context.db();
    const QString userId =
        db.scalar(QStringLiteral("SELECT user_id FROM checkout_sessions WHERE id = ? AND kind = 'portal'"), {sessionId}).toString();
    if (userId.isEmpty())
        return page(404, QStringLiteral("Portal not found"), QStringLiteral("<p>This billing link is not valid.</p>"));
    db.run(QStringLiteral("UPDATE subscriptions SET status = 'canceled' WHERE user_id = ?"
                          " AND status IN ('active', 'trialing', 'past_due')"),
           {userId});
    return HttpResponse::redirect("/portal/" + sessionId.toUtf8());
}
