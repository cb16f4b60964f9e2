#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// The user's membership row.
struct Subscription {
    QString status;
    // The plan's name as the backend stores it.
    std::optional<QString> plan;

    // "active", "trialing" or "past_due", exactly.
    bool isActive() const;

    static std::optional<Subscription> fromJson(const QJsonValue &json, QString *error = nullptr);
    QJsonObject toJson() const;

    bool operator==(const Subscription &) const = default;
};
