#pragma once

#include "DesktopBackend.h"
#include "SessionBus.h"

#include <memory>

// KDE Plasma: a desktop script sent to plasmashell, per screen, for the current activity.
class PlasmaBackend : public DesktopBackend
{
public:
    explicit PlasmaBackend(std::shared_ptr<SessionBus> bus);

    QString name() const override { return QStringLiteral("KDE Plasma"); }
    WorkspacePictures workspacePictures() const override { return WorkspacePictures::onePerActivity; }
    std::optional<QString> setPicture(const Display &display, const QString &imageFile) override;
    std::optional<QString> picture(const Display &display) const override;

    static BusCall evaluateScript(const QString &script);
    // The scripts sent; the display is found by its geometry, the only thing Plasma's
    // scripting and Qt agree on.
    static QString setScript(const Display &display, const QString &imageFile);
    static QString readScript(const Display &display);

private:
    std::shared_ptr<SessionBus> m_bus;
};
