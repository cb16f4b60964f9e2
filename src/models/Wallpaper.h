#pragma once

#include "Orientation.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// One catalog wallpaper (a "plate" in the store's wording), as a backend row.
struct Wallpaper {
    QString id;
    QString slug;
    QString title;
    std::optional<QString> description;
    // Absent means the store default applies.
    std::optional<qint64> priceCents;
    QString landscapePreviewPath;
    QString portraitPreviewPath;
    QString landscapeFilePath;
    QString portraitFilePath;
    std::optional<qint64> landscapeWidth;
    std::optional<qint64> landscapeHeight;
    std::optional<qint64> portraitWidth;
    std::optional<qint64> portraitHeight;
    bool isPublished = false;

    QString previewPath(Orientation orientation) const;
    QString filePath(Orientation orientation) const;

    static std::optional<Wallpaper> fromJson(const QJsonValue &json, QString *error = nullptr);
    QJsonObject toJson() const;

    bool operator==(const Wallpaper &) const = default;
};
