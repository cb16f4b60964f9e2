#pragma once

#include <QHash>
#include <QString>

#include <functional>

enum class DesktopKind { gnome, cinnamon, mate, plasma, xfce, sway, portal, bareX11 };

// What the session tells about the desktop it runs in.
struct DesktopSession
{
    QHash<QString, QString> environment;  // XDG_CURRENT_DESKTOP, DESKTOP_SESSION, ...
    bool sandboxed = false;                // inside a Flatpak sandbox
    // Whether org.kde.plasmashell owns a name on the session bus; asked only when the
    // environment does not tell.
    std::function<bool()> plasmaShellOnBus = [] { return false; };

    // Reads this process's environment and the sandbox marker; the bus when asked.
    static DesktopSession current();
};

struct DetectedDesktop
{
    DesktopKind kind = DesktopKind::bareX11;
    QString name;  // for the user: "GNOME", "Budgie", "i3 on X11"

    bool operator==(const DetectedDesktop &) const = default;
};

// Which desktop runs, from the strongest hint to the weakest: a sandbox (only the portal
// reaches the host), the desktop names the session declares, KDE's own markers, sway's
// socket; a bare X server otherwise.
DetectedDesktop detectDesktop(const DesktopSession &session);
