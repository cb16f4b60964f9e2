#pragma once

#include <QHashFunctions>
#include <QString>

#include <optional>
#include <type_traits>

// Text forms of the model's enumerations. Each enumeration specialises RawValues with
// `names`, its raw texts in the order of its enumerators.
template <typename E>
struct RawValues;

template <typename E>
concept RawEnum = std::is_enum_v<E> && requires { RawValues<E>::names; };

template <RawEnum E>
QString toRaw(E value)
{
    return QString::fromLatin1(RawValues<E>::names[static_cast<std::size_t>(value)]);
}

// Exact, case-sensitive match; no value for a text that names no case.
template <RawEnum E>
std::optional<E> fromRaw(QStringView raw)
{
    const auto &names = RawValues<E>::names;
    for (std::size_t i = 0; i < std::size(names); ++i) {
        if (raw == QLatin1StringView(names[i]))
            return static_cast<E>(i);
    }
    return std::nullopt;
}

template <RawEnum E>
size_t qHash(E value, size_t seed = 0) noexcept
{
    return qHash(static_cast<std::underlying_type_t<E>>(value), seed);
}
