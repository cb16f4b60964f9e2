#include "OwnedRef.h"

#include "JsonRecord.h"

std::optional<OwnedRef> OwnedRef::fromJson(const QJsonValue &json, QString *error)
{
    JsonRecordReader row(json);
    OwnedRef ref{.kind = row.rawEnum<PurchaseKind>("kind"), .id = row.text("id")};
    return row.result(std::move(ref), error);
}

QJsonObject OwnedRef::toJson() const
{
    return {{QStringLiteral("kind"), toRaw(kind)}, {QStringLiteral("id"), id}};
}

size_t qHash(const OwnedRef &ref, size_t seed) noexcept
{
    return qHashMulti(seed, ref.kind, ref.id);
}
