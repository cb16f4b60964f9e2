#include "Cart.h"

namespace {

QList<BundleItem> bundleItems(const QList<CartItem> &cart)
{
    QList<BundleItem> items;
    items.reserve(cart.size());
    for (const CartItem &line : cart)
        items.append({.kind = line.kind, .priceCents = line.priceCents, .onSale = line.onSale});
    return items;
}

}

BundleResult bundle(const QList<CartItem> &cart)
{
    return computeBundle(bundleItems(cart));
}

BundleProgress progress(const QList<CartItem> &cart)
{
    return bundleProgress(bundleItems(cart));
}
