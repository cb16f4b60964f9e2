#include "DesktopDetection.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <array>

namespace {

struct KnownDesktop
{
    const char *token;  // as sessions spell it, lower case; "token-anything" matches too
    DesktopKind kind;
    const char *name;
};

// Budgie, Pantheon and Unity declare GNOME too ("Budgie:GNOME"): their own names come first.
constexpr std::array knownDesktops{
    KnownDesktop{"budgie", DesktopKind::gnome, "Budgie"},
    KnownDesktop{"pantheon", DesktopKind::gnome, "Pantheon"},
    KnownDesktop{"unity", DesktopKind::gnome, "Unity"},
    KnownDesktop{"x-cinnamon", DesktopKind::cinnamon, "Cinnamon"},
    KnownDesktop{"cinnamon", DesktopKind::cinnamon, "Cinnamon"},
    KnownDesktop{"mate", DesktopKind::mate, "MATE"},
    KnownDesktop{"gnome", DesktopKind::gnome, "GNOME"},
    KnownDesktop{"ubuntu", DesktopKind::gnome, "GNOME"},
    KnownDesktop{"kde", DesktopKind::plasma, "KDE Plasma"},
    KnownDesktop{"plasma", DesktopKind::plasma, "KDE Plasma"},
    KnownDesktop{"plasmawayland", DesktopKind::plasma, "KDE Plasma"},
    KnownDesktop{"plasmax11", DesktopKind::plasma, "KDE Plasma"},
    KnownDesktop{"xfce", DesktopKind::xfce, "XFCE"},
    KnownDesktop{"xfce4", DesktopKind::xfce, "XFCE"},
    KnownDesktop{"xubuntu", DesktopKind::xfce, "XFCE"},
    KnownDesktop{"sway", DesktopKind::sway, "sway"},
};

QStringList tokensOf(const QString &value)
{
    QStringList tokens;
    for (const QString &part : value.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        // DESKTOP_SESSION is sometimes a path to the session file.
        const QString token = part.section(QLatin1Char('/'), -1).trimmed().toLower();
        if (!token.isEmpty())
            tokens.append(token);
    }
    return tokens;
}

bool matches(const QString &token, const KnownDesktop &known)
{
    const QString key = QLatin1String(known.token);
    return token == key || token.startsWith(key + QLatin1Char('-'));
}

} // namespace

DesktopSession DesktopSession::current()
{
    DesktopSession session;
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "XDG_SESSION_DESKTOP",
                             "KDE_FULL_SESSION", "SWAYSOCK", "FLATPAK_ID"}) {
        const QString key = QLatin1String(name);
        if (environment.contains(key))
            session.environment.insert(key, environment.value(key));
    }
    session.sandboxed = QFileInfo::exists(QStringLiteral("/.flatpak-info"));
    session.plasmaShellOnBus = [] {
        const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        return bus && bus->isServiceRegistered(QStringLiteral("org.kde.plasmashell")).value();
    };
    return session;
}

DetectedDesktop detectDesktop(const DesktopSession &session)
{
    const auto variable = [&](const char *name) { return session.environment.value(QLatin1String(name)); };

    if (session.sandboxed || !variable("FLATPAK_ID").isEmpty())
        return {DesktopKind::portal, QStringLiteral("the desktop portal")};

    QString firstUnknown;
    for (const char *name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "XDG_SESSION_DESKTOP"}) {
        const QStringList tokens = tokensOf(variable(name));
        for (const KnownDesktop &known : knownDesktops) {
            for (const QString &token : tokens) {
                if (matches(token, known))
                    return {known.kind, QLatin1String(known.name)};
            }
        }
        if (firstUnknown.isEmpty() && !tokens.isEmpty())
            firstUnknown = variable(name).split(QLatin1Char(':'), Qt::SkipEmptyParts).value(0).section(QLatin1Char('/'), -1);
    }

    if (variable("KDE_FULL_SESSION").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
        || session.plasmaShellOnBus())
        return {DesktopKind::plasma, QStringLiteral("KDE Plasma")};
    if (!variable("SWAYSOCK").isEmpty())
        return {DesktopKind::sway, QStringLiteral("sway")};
    if (!firstUnknown.isEmpty())
        return {DesktopKind::bareX11, firstUnknown + QStringLiteral(" on X11")};
    return {DesktopKind::bareX11, QStringLiteral("X11")};
}
