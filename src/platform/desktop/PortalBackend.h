#pragma once

#include "DesktopBackend.h"
#include "SessionBus.h"

#include <memory>

// Inside a sandbox: the freedesktop wallpaper portal, which sets one picture for the whole
// desktop and cannot report it.
class PortalBackend : public DesktopBackend
{
public:
    explicit PortalBackend(std::shared_ptr<SessionBus> bus);

    QString name() const override { return QStringLiteral("the desktop portal"); }
    WorkspacePictures workspacePictures() const override { return WorkspacePictures::oneForEveryWorkspace; }
    std::optional<QString> setPicture(const Display &display, const QString &imageFile) override;
    std::optional<QString> picture(const Display &display) const override;

private:
    std::shared_ptr<SessionBus> m_bus;
};
