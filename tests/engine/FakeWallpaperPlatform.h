#pragma once

#include "WallpaperPlatform.h"

#include <QHash>
#include <QList>

#include <functional>

// A scripted machine: displays that fail on demand, a version, queued process results and a
// sleeper that only records how long it was asked to wait.
class FakeWallpaperPlatform : public WallpaperPlatform
{
public:
    struct Run
    {
        QString program;
        QStringList arguments;
        bool operator==(const Run &) const = default;
    };

    QList<Display> scriptedDisplays{{QStringLiteral("DP-1"), QRect(0, 0, 2560, 1440), true}};
    QHash<QString, QString> failingDisplays;      // display name → the desktop's error text
    QHash<QString, QString> images;               // display name → picture it shows
    std::optional<OperatingSystemVersion> version;
    QString versionString;
    WallpaperWriterSupport support = WallpaperWriterSupport::supported();
    QList<ProcessResult> processResults;          // taken in order; then a clean exit
    QList<Run> runs;
    QList<std::chrono::milliseconds> sleeps;
    mutable QStringList supportQueries;
    std::function<void()> onSleep;                // e.g. the agent writing the index back

    QList<Display> displays() const override { return scriptedDisplays; }

    std::optional<QString> setDesktopImage(const Display &display, const QString &imageFile) override
    {
        if (failingDisplays.contains(display.name))
            return failingDisplays.value(display.name);
        images.insert(display.name, imageFile);
        return std::nullopt;
    }

    std::optional<QString> desktopImage(const Display &display) const override
    {
        if (!images.contains(display.name))
            return std::nullopt;
        return images.value(display.name);
    }

    std::optional<OperatingSystemVersion> systemVersion() const override { return version; }
    QString systemVersionString() const override { return versionString; }

    WallpaperWriterSupport storeWriterSupport(const QString &indexPath) const override
    {
        supportQueries.append(indexPath);
        return support;
    }

    ProcessResult run(const QString &program, const QStringList &arguments) override
    {
        runs.append({program, arguments});
        return processResults.isEmpty() ? ProcessResult{true, {}, 0, {}} : processResults.takeFirst();
    }

    void sleep(std::chrono::milliseconds duration) override
    {
        sleeps.append(duration);
        if (onSleep)
            onSleep();
    }
};
