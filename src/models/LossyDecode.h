#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QList>

#include <optional>

// An array decoded element by element: elements that fail to decode are skipped and counted
// instead of failing the whole array.
template <typename T>
struct LossyArray {
    QList<T> elements;
    qint64 failures = 0;

    // Fails only when `json` is not an array.
    static std::optional<LossyArray> fromJson(const QJsonValue &json)
    {
        if (!json.isArray())
            return std::nullopt;
        const QJsonArray array = json.toArray();
        LossyArray result;
        result.elements.reserve(array.size());
        for (const QJsonValue &element : array) {
            if (std::optional<T> decoded = T::fromJson(element))
                result.elements.append(std::move(*decoded));
            else
                ++result.failures;
        }
        return result;
    }

    bool operator==(const LossyArray &) const = default;
};

// Never fails: invalid JSON, or JSON that is not an array, gives no elements and no failures.
template <typename T>
LossyArray<T> decodeLossyArray(const QByteArray &data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return {};
    return LossyArray<T>::fromJson(document.array()).value_or(LossyArray<T>{});
}
