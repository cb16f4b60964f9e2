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

void Entitlements::grant(const QString &userId, const QList<CartLineRef> &items)
{
    StoreDatabase &db = m_context.db();
    const QString stamp = isoTimestamp(m_context.clock().now());
    for (const CartLineRef &item : items) {
        if (item.kind == QStringLiteral("pack")) {
            db.run(QStringLiteral("INSERT OR IGNORE INTO user_wallpaper_entitlements (user_id, wallpaper_id, created_at)"
                                  " SELECT ?, wallpaper_id, ? FROM pack_wallpapers WHERE pack_id = ?"),
                   {userId, stamp, item.id});
        } else {
            db.run(QStringLiteral("INSERT OR IGNORE INTO user_wallpaper_entitlements (user_id, wallpaper_id, created_at)"
                                  " VALUES (?, ?, ?)"),
                   {userId, item.id, stamp});
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
    m_context.db().run(QStringLiteral("INSERT INTO subscriptions (user_id, status, plan, created_at) VALUES (?, 'active', ?, ?)"),
                       {userId, plan, isoTimestamp(m_context.clock().now())});
    QSqlQuery monthly = m_context.db().run(
        QStringLiteral("SELECT id FROM packs WHERE is_monthly = 1 AND monthly_month = ?"), {currentMonthKey()});
    QList<CartLineRef> packs;
    while (monthly.next())
        packs.append({QStringLiteral("pack"), monthly.value(0).toString()});
    grant(userId, packs);
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
        grant(userId, cartLinesFromJson(items));
    }
    return int(found.size());
}

QString Entitlements::currentMonthKey() const
{
    return m_context.clock().now().toUTC().toString(QStringLiteral("yyyy-MM"));
}
