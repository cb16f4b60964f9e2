#include "Subscription.h"

#include "JsonRecord.h"

bool Subscription::isActive() const
{
    return status == u"active" || status == u"trialing" || status == u"past_due";
}

std::optional<Subscription> Subscription::fromJson(const QJsonValue &json, QString *error)
{
    JsonRecordReader row(json);
    Subscription subscription{.status = row.text("status"), .plan = row.optionalText("plan")};
    return row.result(std::move(subscription), error);
}

QJsonObject Subscription::toJson() const
{
    QJsonObject json{{QStringLiteral("status"), status}};
    insertIfPresent(json, "plan", plan);
    return json;
}
