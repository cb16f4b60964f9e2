#include "Entitlements.h"

#include "Json.h"
#include "StoreContext.h"

#include <QJsonArray>
#include <QJsonDocument>

QList<CartLineRef> cartLinesFromJson(const QByteArray &json)
{
    QList<CartLineRef> items;
    for (const QJsonValue &value : QJsonDocument::fromJson(json).array()) {
        const QJsonObject object = value.toObject();
        items.append({object.value(QStringLiteral("kind")).toString(), object.value(QStringLiteral("id")).toString()});
    }
    return items;
}

QByteArray cartLinesToJson(const QList<CartLineRef> &items)
{
    QJsonArray array;
    for (const CartLineRef &item : items)
        array.append(QJsonObject{{QStringLiteral("kind"), item.kind}, {QStringLiteral("id"), item.id}});
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

void Entitlements::grant(const QString &userId, const QString &orderId, const QList<CartLineRef> &items)
{
    StoreDatabase &db = m_context.db();
    const QString stamp = isoTimestamp(m_context.clock().now());
    for (const CartLineRef &item : items) {
        if (item.kind == QStringLiteral("pack")) {
            db.run(QStringLiteral("INSERT OR IGNORE INTO user_wallpaper_entitlements (user_id, wallpaper_id, order_id, created_at)"
                                  " SELECT ?, wallpaper_id, ?, ? FROM pack_wallpapers WHERE pack_id = ?"),
                   {userId, orderId, stamp, item.id});
        } else {
            db.run(QStringLiteral("INSERT OR IGNORE INTO user_wallpaper_entitlements (user_id, wallpaper_id, order_id, created_at)"
                                  " VALUES (?, ?, ?, ?)"),
                   {userId, item.id, orderId, stamp});
        }
    }
}

bool Entitlements::ownsWallpaper(const QString &userId, const QString &wallpaperId)
{
    return m_context.db()
               .scalar(QStringLiteral("SELECT count(*) FROM user_wallpaper_entitlements WHERE user_id = ? AND wallpaper_id = ?"),
                       {userId, wallpaperId})
               .toInt()
        > 0;
}

bool Entitlements::ownsPack(const QString &userId, const QString &packId)
{
    StoreDatabase &db = m_context.db();
    const int members = db.scalar(QStringLiteral("SELECT count(*) FROM pack_wallpapers WHERE pack_id = ?"), {packId}).toInt();
    const int owned = db.scalar(QStringLiteral("SELECT count(*) FROM pack_wallpapers p JOIN user_wallpaper_entitlements e"
                                               " ON e.wallpaper_id = p.wallpaper_id AND e.user_id = ? WHERE p.pack_id = ?"),
                                {userId, packId})
                          .toInt();
    return members > 0 && owned >= members;
}

bool Entitlements::isActiveMember(const QString &userId)
{
    return m_context.db()
               .scalar(QStringLiteral("SELECT count(*) FROM subscriptions WHERE user_id = ?"
                                      " AND status IN ('active', 'trialing', 'past_due')"),
                       {userId})
               .toInt()
        > 0;
}

void Entitlements::startMembership(const QString &userId, const QString &plan)
{
    const QDateTime now = m_context.clock().now();
    const QDateTime periodEnd = plan == QStringLiteral("yearly") ? now.addYears(1) : now.addMonths(1);
    const QString subscriptionId = QStringLiteral("sub_") + randomToken(24);
    m_context.db().run(QStringLiteral("INSERT INTO subscriptions (id, user_id, status, plan, current_period_end, created_at)"
                                      " VALUES (?, ?, 'active', ?, ?, ?)"),
                       {subscriptionId, userId, plan, isoTimestamp(periodEnd), isoTimestamp(now)});
    QSqlQuery monthly = m_context.db().run(
        QStringLiteral("SELECT id FROM packs WHERE is_monthly = 1 AND monthly_month = ?"), {currentMonthKey()});
    QList<CartLineRef> packs;
    while (monthly.next())
        packs.append({QStringLiteral("pack"), monthly.value(0).toString()});
    grant(userId, subscriptionId, packs);
}

int Entitlements::claimGuestOrders(const QString &userId, const QString &email)
{
    StoreDatabase &db = m_context.db();
    QSqlQuery orders = db.run(QStringLiteral("SELECT id, items FROM orders WHERE user_id IS NULL AND lower(email) = lower(?)"),
                              {email});
    QList<std::pair<QString, QByteArray>> found;
    while (orders.next())
        found.append({orders.value(0).toString(), orders.value(1).toByteArray()});
    for (const auto &[orderId, items] : found) {
        db.run(QStringLiteral("UPDATE orders SET user_id = ? WHERE id = ?"), {userId, orderId});
        grant(userId, orderId, cartLinesFromJson(items));
    }
    return int(found.size());
}

QString Entitlements::currentMonthKey() const
{
    return m_context.clock().now().toUTC().toString(QStringLiteral("yyyy-MM"));
}
