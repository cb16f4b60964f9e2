#include "CatalogPricing.h"

#include "StoreDatabase.h"

#include "Bundle.h"
#include "Pricing.h"

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
}

PricedCart priceCart(StoreDatabase &db, const QList<CartLineRef> &items)
{
    const Defaults defaults = defaultPrices(db);
    PricedCart cart;
    QList<BundleItem> bundleItems;
    for (const CartLineRef &item : items) {
        const bool pack = item.kind == QStringLiteral("pack");
        QSqlQuery row = db.run(pack ? QStringLiteral("SELECT title, price_cents FROM packs WHERE id = ?")
                                    : QStringLiteral("SELECT title, price_cents FROM wallpapers WHERE id = ?"),
                               {item.id});
        if (!row.next())
            continue;
        const ResolvedPrice price = resolvePrice(row.value(1).isNull() ? std::nullopt : std::optional<qint64>(row.value(1).toLongLong()),
                                                 pack ? defaults.packCents : defaults.wallpaperCents);
        PricedLine line;
        line.kind = pack ? QStringLiteral("pack") : QStringLiteral("wallpaper");
        line.id = item.id;
        line.title = row.value(0).toString();
        line.priceCents = price.cents;
        line.onSale = price.isOnSale;
        cart.lines.append(line);
        bundleItems.append({pack ? PurchaseKind::pack : PurchaseKind::wallpaper, price.cents, price.isOnSale});
    }
    const BundleResult bundle = computeBundle(bundleItems);
    for (qsizetype i = 0; i < cart.lines.size(); ++i) {
        cart.lines[i].unitCents = bundle.lines[i].unitCents;
        cart.lines[i].discounted = bundle.lines[i].discounted;
    }
    cart.subtotalCents = bundle.subtotalCents;
    cart.totalCents = bundle.totalCents;
    return cart;
}

MembershipPriceList membershipPrices(StoreDatabase &db)
{
    MembershipPriceList prices;
    QSqlQuery row = db.run(QStringLiteral("SELECT subscription_monthly_cents, subscription_yearly_cents FROM app_settings LIMIT 1"));
    if (row.next()) {
        if (!row.value(0).isNull())
            prices.monthlyCents = row.value(0).toLongLong();
        if (!row.value(1).isNull())
            prices.yearlyCents = row.value(1).toLongLong();
    }
    return prices;
}
