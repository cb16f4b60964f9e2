#include "WallpaperConfiguration.h"

#include "Plist.h"
#include "WallpaperError.h"

const QString WallpaperConfiguration::imageFileProvider = QStringLiteral("com.apple.wallpaper.choice.image");

QByteArray WallpaperConfiguration::encode(const QUrl &imageFileURL)
{
    PlistPtr url(plist_new_dict());
    Plist::setItem(url.get(), "relative", Plist::newString(imageFileURL.toString(QUrl::FullyEncoded)));
    const PlistPtr root(plist_new_dict());
    Plist::setItem(root.get(), "type", Plist::newString(QStringLiteral("imageFile")));
    Plist::setItem(root.get(), "url", std::move(url));
    const QByteArray blob = Plist::toBinary(root.get());
    if (blob.isEmpty())
        throw WallpaperError::applyFailed(QStringLiteral("could not encode the wallpaper configuration"));
    return blob;
}

std::optional<QUrl> WallpaperConfiguration::decodeImageFileURL(const QByteArray &blob)
{
    const PlistPtr root = Plist::fromData(blob);
    plist_t url = Plist::item(root.get(), "url", PLIST_DICT);
    const std::optional<QString> relative = Plist::stringValue(Plist::item(url, "relative", PLIST_STRING));
    if (!relative || relative->isEmpty())
        return std::nullopt;
    const QUrl result(*relative, QUrl::StrictMode);
    if (!result.isValid())
        return std::nullopt;
    return result;
}
