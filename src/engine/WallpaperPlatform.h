#pragma once

#include "WallpaperWriterSupport.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// One connected display, as the desktop names and places it.
struct Display
{
    QString name;  // the desktop's own name for it (an output or connector name)
    QRect frame;   // in desktop coordinates
    bool isMain = false;

    bool operator==(const Display &) const = default;
};

struct OperatingSystemVersion
{
    int major = 0;
    int minor = 0;
    int patch = 0;
};

struct ProcessResult
{
    bool launched = false;
    QString launchError;       // why it could not start, when !launched
    int exitStatus = -1;
    QByteArray standardError;
};

// What the wallpaper engine needs from the machine it runs on. The engine receives one;
// the desktop session provides the real one, tests a scripted fake.
// Every call may come from a background thread (an all-Spaces apply runs off the main thread).
class WallpaperPlatform
{
public:
    virtual ~WallpaperPlatform() = default;

    // Connected displays in screen-list order; empty when there is no display server.
    virtual QList<Display> displays() const = 0;
    // Sets the picture of one display, filling it and cropping where the shapes differ.
    // Returns the desktop's own error text on failure, nothing on success.
    virtual std::optional<QString> setDesktopImage(const Display &display, const QString &imageFile) = 0;
    // The picture file the desktop shows on this display's current workspace, when it can tell.
    virtual std::optional<QString> desktopImage(const Display &display) const = 0;

    // The running system's version for the compatibility table; nothing where the system
    // has no versioned wallpaper store (then only storeWriterSupport() decides).
    virtual std::optional<OperatingSystemVersion> systemVersion() const = 0;
    virtual QString systemVersionString() const = 0;
    // Whether an all-Spaces store rewrite makes sense on this desktop for the index at indexPath.
    virtual WallpaperWriterSupport storeWriterSupport(const QString &indexPath) const = 0;

    // Runs a program with an argument list (never through a shell) and waits for it.
    virtual ProcessResult run(const QString &program, const QStringList &arguments) = 0;
    // Blocks the calling thread.
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};
