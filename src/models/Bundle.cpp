#include "Bundle.h"

namespace {

struct EligibleCounts {
    qint64 plates = 0;
    qint64 packs = 0;
};

EligibleCounts countEligible(const QList<BundleItem> &items)
{
    EligibleCounts counts;
    for (const BundleItem &item : items) {
        if (item.onSale)
            continue;
        ++(item.kind == PurchaseKind::wallpaper ? counts.plates : counts.packs);
    }
    return counts;
}

DealProgress dealProgress(qint64 eligible, qint64 threshold)
{
    return {
        .eligible = eligible,
        .threshold = threshold,
        .remaining = qMax<qint64>(0, threshold - eligible),
        .unlocked = eligible >= threshold,
    };
}

}

qint64 bundledUnitCents(qint64 cents)
{
    const qint64 scaled = cents * BundleRules::bundleDiscountPercent;
    const qint64 discount = scaled >= 0 ? (scaled + 50) / 100 : -((-scaled + 50) / 100);
    return cents - discount;
}

BundleResult computeBundle(const QList<BundleItem> &items)
{
    const EligibleCounts eligible = countEligible(items);
    BundleResult result{
        .plateDealApplies = eligible.plates >= BundleRules::plateBundleMin,
        .packDealApplies = eligible.packs >= BundleRules::packBundleMin,
    };
    result.lines.reserve(items.size());
    for (const BundleItem &item : items) {
        const bool dealApplies = item.kind == PurchaseKind::wallpaper ? result.plateDealApplies
                                                                      : result.packDealApplies;
        BundleLine line{.unitCents = item.priceCents, .discounted = false};
        if (dealApplies && !item.onSale) {
            line.unitCents = bundledUnitCents(item.priceCents);
            line.discounted = line.unitCents < item.priceCents;
        }
        result.subtotalCents += item.priceCents;
        result.totalCents += line.unitCents;
        result.lines.append(line);
    }
    result.discountCents = result.subtotalCents - result.totalCents;
    return result;
}

BundleProgress bundleProgress(const QList<BundleItem> &items)
{
    const EligibleCounts eligible = countEligible(items);
    return {
        .plates = dealProgress(eligible.plates, BundleRules::plateBundleMin),
        .packs = dealProgress(eligible.packs, BundleRules::packBundleMin),
    };
}
