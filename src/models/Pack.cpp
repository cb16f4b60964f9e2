#include "Pack.h"

#include "JsonRecord.h"

bool Pack::isSubscriberOnly(const QString &nowMonthKey) const
{
    // Month keys are fixed-width, so text order is month order.
    return isMonthly && monthlyMonth && *monthlyMonth >= nowMonthKey;
}

std::optional<Pack> Pack::fromJson(const QJsonValue &json, QString *error)
{
    JsonRecordReader row(json);
    Pack pack{
        .id = row.text("id"),
        .slug = row.text("slug"),
        .title = row.text("title"),
        .description = row.optionalText("description"),
        .priceCents = row.optionalInteger("price_cents"),
        .previewPath = row.text("preview_path"),
        .isPublished = row.boolean("is_published"),
        .isMonthly = row.boolean("is_monthly"),
        .monthlyMonth = row.optionalText("monthly_month"),
    };
    return row.result(std::move(pack), error);
}

QJsonObject Pack::toJson() const
{
    QJsonObject json{
        {QStringLiteral("id"), id},
        {QStringLiteral("slug"), slug},
        {QStringLiteral("title"), title},
        {QStringLiteral("preview_path"), previewPath},
        {QStringLiteral("is_published"), isPublished},
        {QStringLiteral("is_monthly"), isMonthly},
    };
    insertIfPresent(json, "description", description);
    insertIfPresent(json, "price_cents", priceCents);
    insertIfPresent(json, "monthly_month", monthlyMonth);
    return json;
}
