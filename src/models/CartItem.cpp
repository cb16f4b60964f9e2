#include "CartItem.h"

#include "JsonRecord.h"

std::optional<CartItem> CartItem::fromJson(const QJsonValue &json, QString *error)
{
    JsonRecordReader line(json);
    CartItem item{
        .kind = line.rawEnum<PurchaseKind>("kind"),
        .id = line.text("id"),
        .slug = line.text("slug"),
        .title = line.text("title"),
        .priceCents = line.integer("priceCents"),
        .onSale = line.boolean("onSale"),
        .previewPath = line.text("previewPath"),
    };
    return line.result(std::move(item), error);
}

QJsonObject CartItem::toJson() const
{
    return {
        {QStringLiteral("kind"), toRaw(kind)},
        {QStringLiteral("id"), id},
        {QStringLiteral("slug"), slug},
        {QStringLiteral("title"), title},
        {QStringLiteral("priceCents"), priceCents},
        {QStringLiteral("onSale"), onSale},
        {QStringLiteral("previewPath"), previewPath},
    };
}
