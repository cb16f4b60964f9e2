#include "Pricing.h"

ResolvedPrice resolvePrice(std::optional<qint64> overrideCents, qint64 defaultCents)
{
    return {
        .cents = overrideCents.value_or(defaultCents),
        .defaultCents = defaultCents,
        .isOnSale = overrideCents && *overrideCents < defaultCents,
    };
}
