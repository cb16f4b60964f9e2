#pragma once

#include <QtGlobal>

#include <optional>

struct ResolvedPrice {
    // The price to charge and show.
    qint64 cents = 0;
    // The store default for this kind of item, shown struck through when on sale.
    qint64 defaultCents = 0;
    // The item has an override below the default.
    bool isOnSale = false;

    bool operator==(const ResolvedPrice &) const = default;
};

// An override at or above the default is charged as it is but is no sale.
ResolvedPrice resolvePrice(std::optional<qint64> overrideCents, qint64 defaultCents);
