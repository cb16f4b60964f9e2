#pragma once

#include "WallpaperEngine.h"
#include "WallpaperPlatform.h"

#include <QStringList>
#include <QTextStream>

// The commands of zarnova-wallpaper over one engine: set a picture for this Space or all
// Spaces, undo the last all-Spaces change, show the picture of each display.
class WallpaperCommandLine
{
public:
    enum ExitStatus { succeeded = 0, failed = 1, usageError = 2 };

    WallpaperCommandLine(WallpaperEngine &engine, WallpaperPlatform &platform, QTextStream &out, QTextStream &err);

    // `arguments` as the process received them, program name first.
    ExitStatus run(const QStringList &arguments);

    static QString usage();

private:
    ExitStatus set(const QString &file, bool allSpaces);
    ExitStatus undo();
    ExitStatus current();
    ExitStatus usageFailure(const QString &problem);

    WallpaperEngine &m_engine;
    WallpaperPlatform &m_platform;
    QTextStream &m_out;
    QTextStream &m_err;
};
