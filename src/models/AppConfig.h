#pragma once

#include "RawEnum.h"

#include <QSettings>
#include <QString>
#include <QUrl>

#include <memory>

// The application's name, endpoints, link scheme, fixed prices and folders. Endpoint values
// resolve on every read, strongest first, from the process environment ("ZN_" + name), the
// user-defaults store ("zn." + lower-cased name) and a built-in default; nothing is cached.
namespace AppConfig {

inline constexpr char appName[] = "Zarnova";

// The user-defaults store: Zarnova/Zarnova.conf under the user's configuration folder.
std::unique_ptr<QSettings> userDefaults();

enum class Environment { production, staging };

// ZN_ENV when set at all (even empty), else "zn.environment", else production; only
// "staging" in any letter case selects staging.
Environment currentEnvironment();

inline constexpr char productionSiteURL[] = "https://zarnova.app";
inline constexpr char stagingSiteURL[] = "https://staging.zarnova.app";

// The three-layer lookup of one named value; empty overrides fall through.
QString override(const QString &name, const QString &defaultValue);
// The same, parsed as an absolute URL; an override that is no such URL gives the default.
QUrl overrideURL(const QString &name, const QString &defaultValue);

// The web site's base URL, by environment.
QUrl siteURL();

namespace API {
QUrl base();
// `path` (which may hold "/", e.g. "api/checkout") appended to the base as one component.
QUrl url(const QString &path);
}

namespace Supabase {
inline constexpr char defaultProjectRef[] = "qzvkrnfwtplmhxbodjea";
inline constexpr char defaultURL[] = "https://qzvkrnfwtplmhxbodjea.supabase.co";
// Publishable: sent with every backend request, no secret of the user.
inline constexpr char defaultAnonKey[] = "sb_publishable_Zr7vQm2KxT9bLw4NcPa8Hs3Jd6Fg1Ye";
inline constexpr char previewsBucket[] = "previews";
inline constexpr char wallpapersBucket[] = "wallpapers";

QUrl url();
QString anonKey();
// The first label of the backend URL's host, unless overridden.
QString projectRef();
}

namespace Subscription {
inline constexpr qint64 monthlyAmountCents = 999;
inline constexpr qint64 yearlyAmountCents = 9999;
inline constexpr qint64 yearlyMonthlyCredits = 5;
}

namespace CommercialLicense {
inline constexpr qint64 wallpaperAmountCents = 3000;
inline constexpr qint64 packAmountCents = 20000;
}

namespace DeepLink {
inline constexpr char scheme[] = "zarnova";
inline constexpr char auth[] = "zarnova://auth";
inline constexpr char checkoutSuccess[] = "zarnova://checkout/success";
}

// Folders; none of these creates anything.
// $XDG_DATA_HOME/Zarnova (~/.local/share/Zarnova by default).
QString supportDirectory();
QString wallpapersDirectory();
// $XDG_CACHE_HOME/Zarnova (~/.cache/Zarnova by default).
QString cachesDirectory();

}

template <>
struct RawValues<AppConfig::Environment> {
    static constexpr const char *names[] = {"production", "staging"};
};
