#include "MacOSCompatibilityTable.h"

const QSet<int> &MacOSCompatibilityTable::verifiedMajors()
{
    static const QSet<int> majors{14, 15, 26};
    return majors;
}

WallpaperWriterSupport MacOSCompatibilityTable::evaluate(const OperatingSystemVersion &version)
{
    if (version.major >= minimumMajor)
        return WallpaperWriterSupport::supported();
    return WallpaperWriterSupport::unsupported(
        QStringLiteral("macOS %1 predates the modern wallpaper store").arg(version.major));
}

bool MacOSCompatibilityTable::isHandsOnVerified(const OperatingSystemVersion &version)
{
    return verifiedMajors().contains(version.major);
}
