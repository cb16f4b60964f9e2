#pragma once

#include "PurchaseKind.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <optional>

// Something the user owns. A wallpaper and a pack with the same id are different references.
struct OwnedRef {
    PurchaseKind kind = PurchaseKind::wallpaper;
    QString id;

    static std::optional<OwnedRef> fromJson(const QJsonValue &json, QString *error = nullptr);
    QJsonObject toJson() const;

    bool operator==(const OwnedRef &) const = default;
};

size_t qHash(const OwnedRef &ref, size_t seed = 0) noexcept;

template <>
struct std::hash<OwnedRef> {
    size_t operator()(const OwnedRef &ref) const noexcept { return qHash(ref); }
};
