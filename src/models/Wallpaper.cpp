#include "Wallpaper.h"

#include "JsonRecord.h"

QString Wallpaper::previewPath(Orientation orientation) const
{
    return orientation == Orientation::landscape ? landscapePreviewPath : portraitPreviewPath;
}

QString Wallpaper::filePath(Orientation orientation) const
{
    return orientation == Orientation::landscape ? landscapeFilePath : portraitFilePath;
}

std::optional<Wallpaper> Wallpaper::fromJson(const QJsonValue &json, QString *error)
{
    JsonRecordReader row(json);
    Wallpaper wallpaper{
        .id = row.text("id"),
        .slug = row.text("slug"),
        .title = row.text("title"),
        .description = row.optionalText("description"),
        .priceCents = row.optionalInteger("price_cents"),
        .landscapePreviewPath = row.text("landscape_preview_path"),
        .portraitPreviewPath = row.text("portrait_preview_path"),
        .landscapeFilePath = row.text("landscape_file_path"),
        .portraitFilePath = row.text("portrait_file_path"),
        .landscapeWidth = row.optionalInteger("landscape_width"),
        .landscapeHeight = row.optionalInteger("landscape_height"),
        .portraitWidth = row.optionalInteger("portrait_width"),
        .portraitHeight = row.optionalInteger("portrait_height"),
        .isPublished = row.boolean("is_published"),
    };
    return row.result(std::move(wallpaper), error);
}

QJsonObject Wallpaper::toJson() const
{
    QJsonObject json{
        {QStringLiteral("id"), id},
        {QStringLiteral("slug"), slug},
        {QStringLiteral("title"), title},
        {QStringLiteral("landscape_preview_path"), landscapePreviewPath},
        {QStringLiteral("portrait_preview_path"), portraitPreviewPath},
        {QStringLiteral("landscape_file_path"), landscapeFilePath},
        {QStringLiteral("portrait_file_path"), portraitFilePath},
        {QStringLiteral("is_published"), isPublished},
    };
    insertIfPresent(json, "description", description);
    insertIfPresent(json, "price_cents", priceCents);
    insertIfPresent(json, "landscape_width", landscapeWidth);
    insertIfPresent(json, "landscape_height", landscapeHeight);
    insertIfPresent(json, "portrait_width", portraitWidth);
    insertIfPresent(json, "portrait_height", portraitHeight);
    return json;
}
