#include "CatalogPricing.h"

#include "StoreDatabase.h"

namespace {
struct Defaults
{
    qint64 wallpaperCents = 99;
    qint64 packCents = 1299;
};

Defaults defaultPrices(StoreDatabase &db)
{
    Defaults defaults;
    QSqlQuery row = db.run(QStringLiteral("SELECT default_wallpaper_price_cents, default_pack_price_cents FROM app_settings LIMIT 1"));
    if (row.next()) {
        defaults.wallpaperCents = row.value(0).toLongLong();
        defaults.packCents = row.value(1).toLongLong();
    }
    return defaults;
}

// 30 % off, the discount rounded half away from zero.
qint64 bundledUnitCents(qint64 cents)
{
    return cents - (30 * cents + 50) / 100;
}
}

PricedCart priceCart(StoreDatabase &db, const QList<CartLineRef> &items)
{
    const Defaults defaults = defaultPrices(db);
    PricedCart cart;
    for (const CartLineRef &item : items) {
        const bool pack = item.kind == QStringLiteral("pack");
        QSqlQuery row = db.run(pack ? QStringLiteral("SELECT title, price_cents FROM packs WHERE id = ?")
                                    : QStringLiteral("SELECT title, price_cents FROM wallpapers WHERE id = ?"),
                               {item.id});
        if (!row.next())
            continue;
        PricedLine line;
        line.kind = pack ? QStringLiteral("pack") : QStringLiteral("wallpaper");
        line.id = item.id;
        line.title = row.value(0).toString();
        const qint64 defaultCents = pack ? defaults.packCents : defaults.wallpaperCents;
        line.priceCents = row.value(1).isNull() ? defaultCents : row.value(1).toLongLong();
        line.onSale = !row.value(1).isNull() && line.priceCents < defaultCents;
        cart.lines.append(line);
    }
    qsizetype eligibleWallpapers = 0;
    qsizetype eligiblePacks = 0;
    for (const PricedLine &line : std::as_const(cart.lines)) {
        if (!line.onSale)
            ++(line.kind == QStringLiteral("pack") ? eligiblePacks : eligibleWallpapers);
    }
    for (PricedLine &line : cart.lines) {
        const bool dealApplies = line.kind == QStringLiteral("pack") ? eligiblePacks >= 2 : eligibleWallpapers >= 3;
        line.unitCents = !line.onSale && dealApplies ? bundledUnitCents(line.priceCents) : line.priceCents;
        line.discounted = line.unitCents < line.priceCents;
        cart.subtotalCents += line.priceCents;
        cart.totalCents += line.unitCents;
    }
    return cart;
}

MembershipPrices membershipPrices(StoreDatabase &db)
{
    MembershipPrices prices;
    QSqlQuery row = db.run(QStringLiteral("SELECT subscription_monthly_cents, subscription_yearly_cents FROM app_settings LIMIT 1"));
    if (row.next()) {
        if (!row.value(0).isNull())
            prices.monthlyCents = row.value(0).toLongLong();
        if (!row.value(1).isNull())
            prices.yearlyCents = row.value(1).toLongLong();
    }
    return prices;
}

QString moneyString(qint64 cents)
{
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    const qint64 magnitude = cents < 0 ? -cents : cents;
    QString dollars = QString::number(magnitude / 100);
    for (qsizetype i = dollars.size() - 3; i > 0; i -= 3)
        dollars.insert(i, u',');
    if (magnitude % 100 == 0)
        return sign + u'$' + dollars;
    return sign + u'$' + dollars + u'.' + QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}
