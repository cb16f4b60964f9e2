#pragma once

#include "RawEnum.h"

enum class PurchaseKind { wallpaper, pack };

template <>
struct RawValues<PurchaseKind> {
    static constexpr const char *names[] = {"wallpaper", "pack"};
};
