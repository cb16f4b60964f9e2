#pragma once

#include "WallpaperPlatform.h"
#include "WallpaperWriterSupport.h"

#include <QSet>

// Which system versions carry the store layout the store writer understands.
class MacOSCompatibilityTable
{
public:
    static constexpr int minimumMajor = 14;
    static const QSet<int> &verifiedMajors();

    static WallpaperWriterSupport evaluate(const OperatingSystemVersion &version);
    static bool isHandsOnVerified(const OperatingSystemVersion &version);

    MacOSCompatibilityTable() = delete;
};
