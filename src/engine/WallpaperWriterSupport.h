#pragma once

#include <QString>

// Whether the store writer may run here; when not, `reason` says why in words shown to the user.
struct WallpaperWriterSupport
{
    enum class Kind { supported, unsupported };

    Kind kind = Kind::supported;
    QString reason;

    static WallpaperWriterSupport supported() { return {}; }
    static WallpaperWriterSupport unsupported(const QString &reason) { return {Kind::unsupported, reason}; }
    bool isSupported() const { return kind == Kind::supported; }

    bool operator==(const WallpaperWriterSupport &) const = default;
};
