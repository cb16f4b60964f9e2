#pragma once

#include "DesktopBackend.h"
#include "PictureRecord.h"

// A bare X server or a window manager without a desktop window: the picture is a pixmap on the
// root window, announced through _XROOTPMAP_ID and ESETROOT_PMAP_ID, kept after we exit.
// Each call opens its own connection, so calls from any thread are safe.
class X11RootBackend : public DesktopBackend
{
public:
    // xDisplayName empty: the X display named by $DISPLAY.
    X11RootBackend(QString name, PictureRecord record, QString xDisplayName = {});

    QString name() const override { return m_name; }
    WorkspacePictures workspacePictures() const override { return WorkspacePictures::oneForEveryWorkspace; }
    std::optional<QString> setPicture(const Display &display, const QString &imageFile) override;
    std::optional<QString> picture(const Display &display) const override;

    static constexpr const char *recordSection = "x11";

private:
    QString m_name;
    mutable PictureRecord m_record;
    QString m_xDisplayName;
};
