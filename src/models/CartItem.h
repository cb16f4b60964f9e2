#pragma once

#include "PurchaseKind.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// One cart line: a snapshot of the item when it was added, so a later catalog price change
// does not reach it. Stored in the cart file with the field names as keys.
struct CartItem {
    PurchaseKind kind = PurchaseKind::wallpaper;
    QString id;
    QString slug;
    QString title;
    qint64 priceCents = 0;
    bool onSale = false;
    QString previewPath;

    static std::optional<CartItem> fromJson(const QJsonValue &json, QString *error = nullptr);
    QJsonObject toJson() const;

    bool operator==(const CartItem &) const = default;
};
