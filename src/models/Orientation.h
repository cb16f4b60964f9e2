#pragma once

#include "RawEnum.h"

enum class Orientation { landscape, portrait };

template <>
struct RawValues<Orientation> {
    static constexpr const char *names[] = {"landscape", "portrait"};
};
