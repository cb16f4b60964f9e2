#pragma once

#include <QList>
#include <QString>

class StoreDatabase;

// One checkout line priced from the catalog: the store default or the item's own price,
// then the bundle deal of the whole cart.
struct PricedLine
{
    QString kind;  // "wallpaper" or "pack"
    QString id;
    QString title;
    qint64 priceCents = 0;
    bool onSale = false;
    qint64 unitCents = 0;
    bool discounted = false;
};

struct PricedCart
{
    QList<PricedLine> lines;
    qint64 subtotalCents = 0;
    qint64 totalCents = 0;
};

struct MembershipPriceList
{
    qint64 monthlyCents = 999;
    qint64 yearlyCents = 9999;
};

struct CartLineRef
{
    QString kind;
    QString id;
};

// Lines whose item is missing from the catalog are left out.
PricedCart priceCart(StoreDatabase &db, const QList<CartLineRef> &items);
MembershipPriceList membershipPrices(StoreDatabase &db);
