#include "AppConfig.h"

#include <QDir>
#include <QStandardPaths>

namespace AppConfig {

namespace {

// A present, readable text of the user-defaults store; other value types count as absent.
std::optional<QString> userDefaultsText(const QString &key)
{
    const QVariant value = userDefaults()->value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

QUrl absoluteURL(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.isRelative() ? url : QUrl();
}

// QStandardPaths answers nothing only when even the home folder is unknown.
QString userFolder(QStandardPaths::StandardLocation location, const char *fallback)
{
    const QString folder = QStandardPaths::writableLocation(location);
    return folder.isEmpty() ? QDir::homePath() + QLatin1StringView(fallback) : folder;
}

}

std::unique_ptr<QSettings> userDefaults()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QString::fromLatin1(appName), QString::fromLatin1(appName));
}

Environment currentEnvironment()
{
    QString taken;
    if (qEnvironmentVariableIsSet("ZN_ENV"))
        taken = qEnvironmentVariable("ZN_ENV");
    else
        taken = userDefaultsText(QStringLiteral("zn.environment")).value_or(QString());
    return taken.toLower() == u"staging" ? Environment::staging : Environment::production;
}

QString override(const QString &name, const QString &defaultValue)
{
    const QString fromEnvironment = qEnvironmentVariable(qPrintable(QStringLiteral("ZN_") + name));
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const std::optional<QString> fromDefaults = userDefaultsText(QStringLiteral("zn.") + name.toLower());
    if (fromDefaults && !fromDefaults->isEmpty())
        return *fromDefaults;
    return defaultValue;
}

QUrl overrideURL(const QString &name, const QString &defaultValue)
{
    const QUrl url = absoluteURL(override(name, defaultValue));
    return url.isValid() ? url : QUrl(defaultValue);
}

QUrl siteURL()
{
    const char *site =
        currentEnvironment() == Environment::staging ? stagingSiteURL : productionSiteURL;
    return overrideURL(QStringLiteral("SITE_URL"), QString::fromLatin1(site));
}

namespace API {

QUrl base()
{
    return siteURL();
}

QUrl url(const QString &path)
{
    QUrl url = base();
    QString joined = url.path();
    if (!joined.endsWith(u'/'))
        joined += u'/';
    url.setPath(joined + path);
    return url;
}

}

namespace Supabase {

QUrl url()
{
    return overrideURL(QStringLiteral("SUPABASE_URL"), QString::fromLatin1(defaultURL));
}

QString anonKey()
{
    return override(QStringLiteral("SUPABASE_ANON_KEY"), QString::fromLatin1(defaultAnonKey));
}

QString projectRef()
{
    const QString host = url().host();
    const QString fallback =
        host.isEmpty() ? QString::fromLatin1(defaultProjectRef) : host.section(u'.', 0, 0);
    return override(QStringLiteral("SUPABASE_REF"), fallback);
}

}

QString supportDirectory()
{
    return userFolder(QStandardPaths::GenericDataLocation, "/.local/share")
        + QStringLiteral("/Zarnova");
}

QString wallpapersDirectory()
{
    return supportDirectory() + QStringLiteral("/Wallpapers");
}

QString cachesDirectory()
{
    return userFolder(QStandardPaths::GenericCacheLocation, "/.cache") + QStringLiteral("/Zarnova");
}

}
