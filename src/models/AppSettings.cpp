#include "AppSettings.h"

#include "AppConfig.h"
#include "JsonRecord.h"

AppSettings AppSettings::fallback()
{
    return {.defaultWallpaperPriceCents = 99, .defaultPackPriceCents = 1299};
}

qint64 AppSettings::defaultCents(PurchaseKind kind) const
{
    return kind == PurchaseKind::pack ? defaultPackPriceCents : defaultWallpaperPriceCents;
}

qint64 AppSettings::monthlyCents() const
{
    return subscriptionMonthlyCents.value_or(AppConfig::Subscription::monthlyAmountCents);
}

qint64 AppSettings::yearlyCents() const
{
    return subscriptionYearlyCents.value_or(AppConfig::Subscription::yearlyAmountCents);
}

qint64 AppSettings::monthlyCredits() const
{
    return yearlyMonthlyCredits.value_or(AppConfig::Subscription::yearlyMonthlyCredits);
}

std::optional<AppSettings> AppSettings::fromJson(const QJsonValue &json, QString *error)
{
    JsonRecordReader row(json);
    AppSettings settings{
        .defaultWallpaperPriceCents = row.integer("default_wallpaper_price_cents"),
        .defaultPackPriceCents = row.integer("default_pack_price_cents"),
        .subscriptionMonthlyCents = row.optionalInteger("subscription_monthly_cents"),
        .subscriptionYearlyCents = row.optionalInteger("subscription_yearly_cents"),
        .yearlyMonthlyCredits = row.optionalInteger("yearly_monthly_credits"),
    };
    return row.result(std::move(settings), error);
}

QJsonObject AppSettings::toJson() const
{
    QJsonObject json{
        {QStringLiteral("default_wallpaper_price_cents"), defaultWallpaperPriceCents},
        {QStringLiteral("default_pack_price_cents"), defaultPackPriceCents},
    };
    insertIfPresent(json, "subscription_monthly_cents", subscriptionMonthlyCents);
    insertIfPresent(json, "subscription_yearly_cents", subscriptionYearlyCents);
    insertIfPresent(json, "yearly_monthly_credits", yearlyMonthlyCredits);
    return json;
}
