#include "WallpaperError.h"

WallpaperError::WallpaperError(Kind kind, const QString &detail)
    : m_kind(kind)
    , m_detail(detail)
    , m_what(description().toUtf8())
{
}

WallpaperError WallpaperError::unexpectedStoreFormat(const QString &detail)
{
    return {Kind::unexpectedStoreFormat, detail};
}

WallpaperError WallpaperError::storeMissing(const QString &path)
{
    return {Kind::storeMissing, path};
}

WallpaperError WallpaperError::applyFailed(const QString &detail)
{
    return {Kind::applyFailed, detail};
}

QString WallpaperError::description() const
{
    switch (m_kind) {
    case Kind::unexpectedStoreFormat:
        return QStringLiteral("Unexpected wallpaper store format: ") + m_detail;
    case Kind::storeMissing:
        return QStringLiteral("Wallpaper store not found at ") + m_detail;
    case Kind::applyFailed:
        return QStringLiteral("Failed to apply wallpaper: ") + m_detail;
    }
    Q_UNREACHABLE();
}
