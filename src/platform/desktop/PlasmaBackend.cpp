#include "PlasmaBackend.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QString jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// Finds the desktops of the current activity on the display's screen and runs `body` on each
// as `d`; prints how many it found.
QString onDisplayDesktops(const Display &display, const QString &body)
{
    const QRect frame = display.frame;
    return QStringLiteral(
               "var frame = [%1, %2, %3, %4];\n"
               "var all = typeof desktopsForActivity === \"function\" ? desktopsForActivity(currentActivity()) : desktops();\n"
               "var found = 0;\n"
               "for (var i = 0; i < all.length; ++i) {\n"
               "    var d = all[i];\n"
               "    if (d.screen < 0) continue;\n"
               "    var g = screenGeometry(d.screen);\n"
               "    if (g.x != frame[0] || g.y != frame[1] || g.width != frame[2] || g.height != frame[3]) continue;\n"
               "    ++found;\n"
               "%5"
               "}\n")
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height())
        .arg(body);
}

} // namespace

PlasmaBackend::PlasmaBackend(std::shared_ptr<SessionBus> bus)
    : m_bus(std::move(bus))
{
}

BusCall PlasmaBackend::evaluateScript(const QString &script)
{
    return {QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
            QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"), {script}};
}

QString PlasmaBackend::setScript(const Display &display, const QString &imageFile)
{
    // The picture goes in as a JSON string literal: no file name can end the string early.
    return QStringLiteral("var file = %1;\n").arg(jsonString(fileUri(imageFile)))
           + onDisplayDesktops(display,
                               QStringLiteral("    d.wallpaperPlugin = \"org.kde.image\";\n"
                                              "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
                                              "    d.writeConfig(\"Image\", file);\n"
                                              "    d.writeConfig(\"FillMode\", 2);\n"))
           + QStringLiteral("print(found);\n");
}

QString PlasmaBackend::readScript(const Display &display)
{
    return onDisplayDesktops(display,
                             QStringLiteral("    if (d.wallpaperPlugin != \"org.kde.image\") break;\n"
                                            "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
                                            "    print(d.readConfig(\"Image\"));\n"
                                            "    break;\n"));
}

std::optional<QString> PlasmaBackend::setPicture(const Display &display, const QString &imageFile)
{
    // Plasma refuses scripts while widgets are locked; its words say so and reach the user.
    const BusReply reply = m_bus->call(evaluateScript(setScript(display, imageFile)));
    if (reply.error)
        return QStringLiteral("KDE Plasma refused the wallpaper: ") + *reply.error;
    if (!reply.values.isEmpty() && reply.values.first().toString().trimmed() == QLatin1String("0")) {
        const QRect f = display.frame;
        return QStringLiteral("KDE Plasma has no desktop on the screen at %1,%2 (%3×%4)")
            .arg(f.x())
            .arg(f.y())
            .arg(f.width())
            .arg(f.height());
    }
    return std::nullopt;
}

std::optional<QString> PlasmaBackend::picture(const Display &display) const
{
    const BusReply reply = m_bus->call(evaluateScript(readScript(display)));
    if (reply.error || reply.values.isEmpty())
        return std::nullopt;
    const QString image = reply.values.first().toString().trimmed();
    if (image.isEmpty())
        return std::nullopt;
    return localFileFromUri(image);
}
