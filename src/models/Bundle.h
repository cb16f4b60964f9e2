#pragma once

#include "PurchaseKind.h"

#include <QList>

// The cart's bundle deals: 30 % off every full-price wallpaper once the cart holds at least
// three of them, and 30 % off every full-price pack once it holds at least two. Items on sale
// never count and are never discounted.
namespace BundleRules {
inline constexpr qint64 plateBundleMin = 3;
inline constexpr qint64 packBundleMin = 2;
inline constexpr qint64 bundleDiscountPercent = 30;
}

struct BundleItem {
    PurchaseKind kind = PurchaseKind::wallpaper;
    qint64 priceCents = 0;
    bool onSale = false;

    bool operator==(const BundleItem &) const = default;
};

struct BundleLine {
    // The price after the deal.
    qint64 unitCents = 0;
    // The line was actually reduced.
    bool discounted = false;

    bool operator==(const BundleLine &) const = default;
};

struct BundleResult {
    bool plateDealApplies = false;
    bool packDealApplies = false;
    qint64 subtotalCents = 0;
    qint64 discountCents = 0;
    qint64 totalCents = 0;
    // One per item, in input order.
    QList<BundleLine> lines;

    bool operator==(const BundleResult &) const = default;
};

struct DealProgress {
    qint64 eligible = 0;
    qint64 threshold = 0;
    // Never negative.
    qint64 remaining = 0;
    bool unlocked = false;

    bool operator==(const DealProgress &) const = default;
};

struct BundleProgress {
    DealProgress plates;
    DealProgress packs;

    bool operator==(const BundleProgress &) const = default;
};

// The price of one item under the deal: the 30 % discount is rounded to the nearest cent,
// halves away from zero.
qint64 bundledUnitCents(qint64 cents);

BundleResult computeBundle(const QList<BundleItem> &items);
BundleProgress bundleProgress(const QList<BundleItem> &items);
