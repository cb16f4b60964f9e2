#pragma once

#include "PurchaseKind.h"

#include <QJsonObject>
#include <QJsonValue>

#include <optional>

// The store-wide price settings, one backend row.
struct AppSettings {
    qint64 defaultWallpaperPriceCents = 0;
    qint64 defaultPackPriceCents = 0;
    std::optional<qint64> subscriptionMonthlyCents;
    std::optional<qint64> subscriptionYearlyCents;
    std::optional<qint64> yearlyMonthlyCredits;

    // Used until the backend's settings arrive, and when it has none.
    static AppSettings fallback();

    qint64 defaultCents(PurchaseKind kind) const;
    qint64 monthlyCents() const;
    qint64 yearlyCents() const;
    qint64 monthlyCredits() const;

    static std::optional<AppSettings> fromJson(const QJsonValue &json, QString *error = nullptr);
    QJsonObject toJson() const;

    bool operator==(const AppSettings &) const = default;
};
