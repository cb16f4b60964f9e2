#pragma once

#include "RawEnum.h"

enum class SubscriptionPlan { monthly, yearly };

template <>
struct RawValues<SubscriptionPlan> {
    static constexpr const char *names[] = {"monthly", "yearly"};
};
