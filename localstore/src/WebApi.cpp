#include "WebApi.h"

#include "Json.h"
#include "StorageApi.h"
#include "StoreContext.h"
#include "ZipStream.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>

namespace {
constexpr qsizetype maxCheckoutItems = 100;
constexpr qsizetype maxPreviewPaths = 500;

HttpResponse needsSignIn(const Caller &caller)
{
    if (caller.status == Caller::Status::Anonymous)
        return webError(401, "not_signed_in", QStringLiteral("Sign in to continue."));
    return webError(401, "invalid_session", QStringLiteral("Your session is no longer valid. Sign in again."));
}

}

HttpResponse webError(int status, const QByteArray &code, const QString &message)
{
    return HttpResponse::json(status, compactJson(QJsonObject{{QStringLiteral("error"), QString::fromLatin1(code)},
                                                              {QStringLiteral("message"), message}}));
}

WebApi::WebApi(StoreContext &context, StorageApi &storage)
    : m_context(context), m_storage(storage), m_entitlements(context)
{
}

HttpResponse WebApi::handle(const HttpRequest &request, const QString &path)
{
    const Caller caller = m_context.caller(request, CredentialSource::BearerOrCookie, 0, true);
    if (path.startsWith(QStringLiteral("download/"))) {
        if (request.method != "GET" && request.method != "HEAD")
            return webError(405, "method_not_allowed", QStringLiteral("Use GET."));
        return download(caller, path.mid(9));
    }
    if (request.method != "POST")
        return webError(405, "method_not_allowed", QStringLiteral("Use POST."));
    if (path == QStringLiteral("checkout"))
        return checkout(request, caller);
    if (path == QStringLiteral("subscribe"))
        return subscribe(request, caller);
    if (path == QStringLiteral("portal"))
        return portal(caller);
    if (path == QStringLiteral("preview-urls"))
        return previewUrls(request);
    if (path == QStringLiteral("claim-purchases"))
        return claimPurchases(caller);
    return webError(404, "not_found", QStringLiteral("No such endpoint."));
}

HttpResponse WebApi::checkout(const HttpRequest &request, const Caller &caller)
{
    const auto body = parseJsonObject(request.body);
    if (!body)
        return webError(400, "invalid_json", QStringLiteral("The body must be a JSON object."));
    if (caller.status != Caller::Status::Anonymous && !caller.signedIn())
        return needsSignIn(caller);
    const QJsonValue itemsValue = body->value(QStringLiteral("items"));
    if (!itemsValue.isArray() || itemsValue.toArray().isEmpty() || itemsValue.toArray().size() > maxCheckoutItems)
        return webError(400, "invalid_items", QStringLiteral("items must list between 1 and %1 items.").arg(maxCheckoutItems));
    QList<CartLineRef> items;
    for (const QJsonValue &value : itemsValue.toArray()) {
        const QString kind = value.toObject().value(QStringLiteral("kind")).toString();
        const QJsonValue id = value.toObject().value(QStringLiteral("id"));
        if ((kind != QStringLiteral("wallpaper") && kind != QStringLiteral("pack")) || !id.isString() || id.toString().isEmpty())
            return webError(400, "invalid_items", QStringLiteral("Every item needs a kind (wallpaper or pack) and an id."));
        const CartLineRef line{kind, id.toString()};
        if (std::none_of(items.begin(), items.end(), [&](const CartLineRef &l) { return l.kind == line.kind && l.id == line.id; }))
            items.append(line);
    }
    const QJsonValue emailValue = body->value(QStringLiteral("email"));
    QString email = emailValue.isString() ? emailValue.toString().trimmed().toLower() : QString();
    if (!email.isEmpty() && !isValidEmail(email))
        return webError(400, "invalid_email", QStringLiteral("That email address doesn't look right."));
    if (!caller.signedIn() && email.isEmpty())
        return webError(400, "email_required", QStringLiteral("Add an email address or sign in to check out."));

    StoreDatabase &db = m_context.db();
    QString owner = caller.userId;
    if (owner.isEmpty())
        owner = db.scalar(QStringLiteral("SELECT id FROM users WHERE email = ?"), {email}).toString();
    const QString month = m_entitlements.currentMonthKey();
    for (const CartLineRef &item : std::as_const(items)) {
        const bool pack = item.kind == QStringLiteral("pack");
        QSqlQuery row = db.run(pack ? QStringLiteral("SELECT is_monthly, monthly_month FROM packs WHERE id = ? AND is_published = 1")
                                    : QStringLiteral("SELECT 0, NULL FROM wallpapers WHERE id = ? AND is_published = 1"),
                               {item.id});
        if (!row.next())
            return webError(404, "not_found", QStringLiteral("No %1 with the id %2.").arg(item.kind, item.id));
        if (pack && row.value(0).toLongLong() != 0 && !row.value(1).isNull() && row.value(1).toString() >= month)
            return webError(403, "subscriber_only", QStringLiteral("This month's pack is for members."));
        if (!owner.isEmpty()
            && (pack ? m_entitlements.ownsPack(owner, item.id) : m_entitlements.ownsWallpaper(owner, item.id)))
            return webError(409, "owned", QStringLiteral("You already own one of these items."));
    }
    const QString checkoutEmail = caller.signedIn() ? caller.email : email;
    const QString id = openCheckoutSession(QStringLiteral("items"), caller, checkoutEmail, cartLinesToJson(items), {});
    return HttpResponse::json(200, compactJson(QJsonObject{{QStringLiteral("url"), m_context.baseUrl() + QStringLiteral("/checkout/") + id}}));
}

HttpResponse WebApi::subscribe(const HttpRequest &request, const Caller &caller)
{
    const auto body = parseJsonObject(request.body);
    if (!body)
        return webError(400, "invalid_json", QStringLiteral("The body must be a JSON object."));
    const QString plan = body->value(QStringLiteral("plan")).toString();
    if (plan != QStringLiteral("monthly") && plan != QStringLiteral("yearly"))
        return webError(400, "invalid_plan", QStringLiteral("plan must be monthly or yearly."));
    if (!caller.signedIn())
        return needsSignIn(caller);
    if (m_entitlements.isActiveMember(caller.userId))
        return webError(409, "already_subscribed", QStringLiteral("You already have an active subscription."));
    const QString id = openCheckoutSession(QStringLiteral("subscription"), caller, caller.email, {}, plan);
    return HttpResponse::json(200, compactJson(QJsonObject{{QStringLiteral("url"), m_context.baseUrl() + QStringLiteral("/checkout/") + id}}));
}

HttpResponse WebApi::portal(const Caller &caller)
{
    if (!caller.signedIn())
        return needsSignIn(caller);
    if (m_context.db().scalar(QStringLiteral("SELECT count(*) FROM subscriptions WHERE user_id = ?"), {caller.userId}).toInt() == 0)
        return webError(404, "no_subscription", QStringLiteral("There is no membership to manage."));
    const QString id = openCheckoutSession(QStringLiteral("portal"), caller, caller.email, {}, {});
    return HttpResponse::json(200, compactJson(QJsonObject{{QStringLiteral("url"), m_context.baseUrl() + QStringLiteral("/portal/") + id}}));
}

HttpResponse WebApi::previewUrls(const HttpRequest &request)
{
    const auto body = parseJsonObject(request.body);
    if (!body)
        return webError(400, "invalid_json", QStringLiteral("The body must be a JSON object."));
    const QJsonValue paths = body->value(QStringLiteral("paths"));
    if (!paths.isArray() || paths.toArray().size() > maxPreviewPaths)
        return webError(400, "invalid_paths", QStringLiteral("paths must list at most %1 storage paths.").arg(maxPreviewPaths));
    QJsonObject urls;
    for (const QJsonValue &value : paths.toArray()) {
        const QString path = value.toString();
        if (value.isString() && m_storage.objectFile(QStringLiteral("previews"), path))
            urls.insert(path, m_storage.signedUrl(QStringLiteral("previews"), path));
    }
    return HttpResponse::json(200, compactJson(QJsonObject{{QStringLiteral("urls"), urls}}));
}

HttpResponse WebApi::claimPurchases(const Caller &caller)
{
    if (!caller.signedIn())
        return needsSignIn(caller);
    const int claimed = m_entitlements.claimGuestOrders(caller.userId, caller.email);
    return HttpResponse::json(200, compactJson(QJsonObject{{QStringLiteral("claimed"), claimed}}));
}

HttpResponse WebApi::download(const Caller &caller, const QString &wallpaperId)
{
    if (!caller.signedIn())
        return needsSignIn(caller);
    QSqlQuery row = m_context.db().run(
        QStringLiteral("SELECT slug, landscape_file_path, portrait_file_path FROM wallpapers WHERE id = ?"), {wallpaperId});
    if (!row.next())
        return webError(404, "not_found", QStringLiteral("No wallpaper with that id."));
    if (!m_entitlements.ownsWallpaper(caller.userId, wallpaperId) && !m_entitlements.isActiveMember(caller.userId))
        return webError(403, "not_owned", QStringLiteral("Buy this wallpaper or become a member to download it."));
    const QString slug = row.value(0).toString();
    QList<ZipEntry> entries;
    for (const QString &objectPath : {row.value(1).toString(), row.value(2).toString()}) {
        const auto file = m_storage.objectFile(QStringLiteral("wallpapers"), objectPath);
        if (!file)
            return webError(404, "file_missing", QStringLiteral("The original of this wallpaper is missing."));
        const QFileInfo info(*file);
        if (std::any_of(entries.begin(), entries.end(), [&](const ZipEntry &e) { return e.filePath == *file; }))
            continue;
        const auto crc = checksum(*file);
        if (!crc)
            return webError(500, "file_unreadable", QStringLiteral("The original of this wallpaper can't be read."));
        entries.append({info.fileName(), *file, info.size(), *crc, info.lastModified()});
    }
    if (!ZipStream::fits(entries))
        return webError(500, "too_large", QStringLiteral("The original is too large to send as one archive."));
    auto zip = std::make_unique<ZipStream>(entries);
    HttpResponse response(200, "application/zip", {});
    response.setHeader("Content-Disposition", "attachment; filename=\"" + slug.toUtf8() + ".zip\"");
    response.streamLength = zip->size();
    response.stream = std::move(zip);
    return response;
}

QString WebApi::openCheckoutSession(const QString &kind, const Caller &caller, const QString &email,
                                    const QByteArray &items, const QString &plan)
{
    const QString id = QStringLiteral("cs_") + randomToken(24);
    m_context.db().run(QStringLiteral("INSERT INTO checkout_sessions (id, kind, user_id, email, items, plan, created_at)"
                                      " VALUES (?, ?, ?, ?, ?, ?, ?)"),
                       {id, kind, caller.signedIn() ? QVariant(caller.userId) : QVariant(), email,
                        items.isEmpty() ? QVariant() : QVariant(QString::fromUtf8(items)),
                        plan.isEmpty() ? QVariant() : QVariant(plan), m_context.clock().nowSecs()});
    return id;
}

std::optional<quint32> WebApi::checksum(const QString &filePath)
{
    // Reading a large original twice per download is wasteful: the sum is kept until the file changes.
    const QFileInfo info(filePath);
    StoreDatabase &db = m_context.db();
    QSqlQuery row = db.run(QStringLiteral("SELECT size, modified, crc32 FROM file_checksums WHERE path = ?"), {filePath});
    const qint64 modified = info.lastModified().toMSecsSinceEpoch();
    if (row.next() && row.value(0).toLongLong() == info.size() && row.value(1).toLongLong() == modified)
        return quint32(row.value(2).toLongLong());
    const auto crc = fileCrc32(filePath);
    if (crc)
        db.run(QStringLiteral("INSERT OR REPLACE INTO file_checksums (path, size, modified, crc32) VALUES (?, ?, ?, ?)"),
               {filePath, info.size(), modified, qint64(*crc)});
    return crc;
}
