#pragma once

#include "WallpaperPlatform.h"

#include <QString>

#include <optional>

// One desktop's way of setting and reading the picture of a display.
// Every call may come from a background thread.
class DesktopBackend
{
public:
    enum class WorkspacePictures { oneForEveryWorkspace, onePerWorkspace, onePerActivity };

    virtual ~DesktopBackend() = default;

    // The desktop's name as users know it ("GNOME", "KDE Plasma").
    virtual QString name() const = 0;
    virtual WorkspacePictures workspacePictures() const = 0;

    // Sets the picture shown on the display's current workspace, filling the display and
    // cropping where the shapes differ. Returns the desktop's own error text on failure.
    virtual std::optional<QString> setPicture(const Display &display, const QString &imageFile) = 0;
    // The picture on the display's current workspace, when the desktop can tell.
    virtual std::optional<QString> picture(const Display &display) const = 0;

    // What this desktop does with workspaces, in words for the user:
    // "GNOME keeps one picture for every workspace".
    QString workspaceDescription() const;
};

// A local file as the file:// URI desktops store, every reserved or non-ASCII byte escaped.
QString fileUri(const QString &path);
// The local file a stored URI or plain absolute path names.
std::optional<QString> localFileFromUri(const QString &uriOrPath);
