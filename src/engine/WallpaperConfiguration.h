#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// The small property list inside a wallpaper choice that names an image file.
class WallpaperConfiguration
{
public:
    static const QString imageFileProvider;

    // Binary property list {"type": "imageFile", "url": {"relative": <absolute URL string>}}.
    static QByteArray encode(const QUrl &imageFileURL);
    // Any property-list format; only "url" → "relative" is required. Never throws.
    static std::optional<QUrl> decodeImageFileURL(const QByteArray &blob);

    WallpaperConfiguration() = delete;
};
