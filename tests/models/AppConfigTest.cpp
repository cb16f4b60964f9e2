#include "AppConfig.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace AppConfig;

namespace {

const char *const overrideVariables[] = {"ZN_ENV", "ZN_SITE_URL", "ZN_SUPABASE_URL",
                                         "ZN_SUPABASE_ANON_KEY", "ZN_SUPABASE_REF"};

// A null variant leaves the variable unset; any text, even empty, sets it.
void setVariable(const char *name, const QVariant &value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value.toString().toUtf8());
}

void setUserDefault(const QString &key, const QVariant &value)
{
    if (!value.isNull())
        userDefaults()->setValue(key, value);
}

}

class AppConfigTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_configHome;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_configHome.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_configHome.path());
    }

    void cleanup()
    {
        for (const char *name : overrideVariables)
            qunsetenv(name);
        userDefaults()->clear();
    }

    void environmentSelection_data()
    {
        QTest::addColumn<QVariant>("variable");
        QTest::addColumn<QVariant>("userDefault");
        QTest::addColumn<Environment>("environment");

        QTest::newRow("nothing set") << QVariant() << QVariant() << Environment::production;
        QTest::newRow("variable in capitals") << QVariant("STAGING") << QVariant()
                                              << Environment::staging;
        QTest::newRow("empty variable wins") << QVariant("") << QVariant("staging")
                                             << Environment::production;
        QTest::newRow("variable over user default") << QVariant("production")
                                                    << QVariant("staging")
                                                    << Environment::production;
        QTest::newRow("user default") << QVariant() << QVariant("Staging") << Environment::staging;
        QTest::newRow("any other word") << QVariant("stage") << QVariant() << Environment::production;
    }

    void environmentSelection()
    {
        QFETCH(QVariant, variable);
        QFETCH(QVariant, userDefault);
        QFETCH(Environment, environment);

        setVariable("ZN_ENV", variable);
        setUserDefault("zn.environment", userDefault);

        QCOMPARE(currentEnvironment(), environment);
        QCOMPARE(siteURL(), QUrl(environment == Environment::staging ? stagingSiteURL
                                                                      : productionSiteURL));
        // Both environments share one backend.
        QCOMPARE(Supabase::url(), QUrl(Supabase::defaultURL));
    }

    void siteOverrides_data()
    {
        QTest::addColumn<QVariant>("environment");
        QTest::addColumn<QVariant>("variable");
        QTest::addColumn<QVariant>("userDefault");
        QTest::addColumn<QUrl>("site");

        const QUrl production(productionSiteURL);
        const QUrl staging(stagingSiteURL);
        const QUrl local("http://127.0.0.1:8080");
        const QVariant localText(local.toString());
        QTest::newRow("variable") << QVariant() << localText << QVariant("https://a.test")
                                  << local;
        QTest::newRow("empty variable falls through") << QVariant() << QVariant("")
                                                      << localText << local;
        QTest::newRow("empty user default falls through") << QVariant() << QVariant()
                                                          << QVariant("") << production;
        QTest::newRow("unparsable user default") << QVariant() << QVariant()
                                                 << QVariant("not a url") << production;
        QTest::newRow("unparsable, staging") << QVariant("staging") << QVariant()
                                             << QVariant("not a url") << staging;
        QTest::newRow("relative variable") << QVariant() << QVariant("zarnova.app") << QVariant()
                                           << production;
        QTest::newRow("user default that is no text")
            << QVariant() << QVariant() << QVariant(QStringList{"https://a.test", "b"})
            << production;
    }

    void siteOverrides()
    {
        QFETCH(QVariant, environment);
        QFETCH(QVariant, variable);
        QFETCH(QVariant, userDefault);
        QFETCH(QUrl, site);

        setVariable("ZN_ENV", environment);
        setVariable("ZN_SITE_URL", variable);
        setUserDefault("zn.site_url", userDefault);

        QCOMPARE(siteURL(), site);
        QCOMPARE(API::base(), site);
    }

    void changedUserDefaultIsReadAtOnce()
    {
        setUserDefault("zn.supabase_anon_key", "first");
        QCOMPARE(Supabase::anonKey(), "first");
        setUserDefault("zn.supabase_anon_key", "second");
        QCOMPARE(Supabase::anonKey(), "second");
        qputenv("ZN_SUPABASE_ANON_KEY", " from environment ");
        QCOMPARE(Supabase::anonKey(), " from environment ");
    }

    void projectReference_data()
    {
        QTest::addColumn<QVariant>("backendURL");
        QTest::addColumn<QVariant>("variable");
        QTest::addColumn<QVariant>("userDefault");
        QTest::addColumn<QString>("ref");

        QTest::newRow("built in") << QVariant() << QVariant() << QVariant()
                                  << QString(Supabase::defaultProjectRef);
        QTest::newRow("from overridden URL") << QVariant("https://abc.example.test") << QVariant()
                                             << QVariant() << "abc";
        QTest::newRow("variable") << QVariant("https://abc.example.test") << QVariant("xyz")
                                  << QVariant("def") << "xyz";
        QTest::newRow("user default") << QVariant("https://abc.example.test") << QVariant()
                                      << QVariant("def") << "def";
    }

    void projectReference()
    {
        QFETCH(QVariant, backendURL);
        QFETCH(QVariant, variable);
        QFETCH(QVariant, userDefault);
        QFETCH(QString, ref);

        setVariable("ZN_SUPABASE_URL", backendURL);
        setVariable("ZN_SUPABASE_REF", variable);
        setUserDefault("zn.supabase_ref", userDefault);
        QCOMPARE(Supabase::projectRef(), ref);
    }

    void builtInBackendDefaults()
    {
        const QUrl url(Supabase::defaultURL);
        QCOMPARE(url.scheme(), "https");
        QCOMPARE(url.path(), "");
        QCOMPARE(url.host(), QString(Supabase::defaultProjectRef) + ".supabase.co");
        QVERIFY(QRegularExpression("^[a-z]{20}$").match(Supabase::defaultProjectRef).hasMatch());
        QVERIFY(QRegularExpression("^sb_publishable_[A-Za-z0-9_-]{31}$")
                    .match(Supabase::defaultAnonKey)
                    .hasMatch());
        QCOMPARE(Supabase::anonKey(), Supabase::defaultAnonKey);
    }

    void apiURL_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QUrl>("url");

        QTest::newRow("bare host") << "https://shop.test" << "api/checkout"
                               << QUrl("https://shop.test/api/checkout");
        QTest::newRow("trailing slash") << "https://shop.test/" << "api/checkout"
                                    << QUrl("https://shop.test/api/checkout");
        QTest::newRow("base with a path") << "http://127.0.0.1:5000/store" << "api/download/w-1"
                                      << QUrl("http://127.0.0.1:5000/store/api/download/w-1");
    }

    void apiURL()
    {
        QFETCH(QString, base);
        QFETCH(QString, path);
        QFETCH(QUrl, url);
        qputenv("ZN_SITE_URL", base.toUtf8());
        QCOMPARE(API::url(path), url);
    }

    void folders()
    {
        // The folders follow the XDG variables, outside the test mode's own locations.
        QStandardPaths::setTestModeEnabled(false);
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("XDG_DATA_HOME", savedData);
            qputenv("XDG_CACHE_HOME", savedCache);
            QStandardPaths::setTestModeEnabled(true);
        });

        const QString root = m_configHome.path();
        qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
        qputenv("XDG_CACHE_HOME", (root + "/cache").toUtf8());
        QCOMPARE(supportDirectory(), root + "/data/Zarnova");
        QCOMPARE(wallpapersDirectory(), root + "/data/Zarnova/Wallpapers");
        QCOMPARE(cachesDirectory(), root + "/cache/Zarnova");
        QVERIFY(!QFileInfo::exists(root + "/data"));

        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CACHE_HOME");
        QCOMPARE(supportDirectory(), QDir::homePath() + "/.local/share/Zarnova");
        QCOMPARE(cachesDirectory(), QDir::homePath() + "/.cache/Zarnova");
    }
};

QTEST_GUILESS_MAIN(AppConfigTest)
#include "AppConfigTest.moc"
