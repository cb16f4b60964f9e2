#include "PortalBackend.h"

#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QVariantMap>

PortalBackend::PortalBackend(std::shared_ptr<SessionBus> bus)
    : m_bus(std::move(bus))
{
}

std::optional<QString> PortalBackend::setPicture(const Display &, const QString &imageFile)
{
    // The portal refuses file: URIs; it takes an open file descriptor.
    QFile file(imageFile);
    if (!file.open(QIODevice::ReadOnly))
        return imageFile + QStringLiteral(": ") + file.errorString();
    const QVariantMap options{{QStringLiteral("set-on"), QStringLiteral("background")},
                              {QStringLiteral("show-preview"), false}};
    const BusReply reply = m_bus->callPortalRequest(
        {QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
         QStringLiteral("org.freedesktop.portal.Wallpaper"), QStringLiteral("SetWallpaperFile"),
         {QString(), QVariant::fromValue(QDBusUnixFileDescriptor(file.handle())), options}});
    if (reply.error)
        return *reply.error;
    switch (reply.values.isEmpty() ? 2u : reply.values.first().toUInt()) {
    case 0: return std::nullopt;
    case 1: return QStringLiteral("the wallpaper change was cancelled");
    default: return QStringLiteral("the desktop portal denied the wallpaper change");
    }
}

std::optional<QString> PortalBackend::picture(const Display &) const
{
    return std::nullopt;
}
