#include "LocalStore.h"
#include "Seed.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStandardPaths>
#include <cstdio>

namespace {
struct SecondsOption
{
    QCommandLineOption option;
    qint64 StoreOptions::*field;
};

struct CountOption
{
    QCommandLineOption option;
    int SeedOptions::*field;
};
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zn-localstore"));

    StoreOptions options;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The local store: backend, web site and storage on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port to listen on; 0 picks a free one."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("Data folder (database and storage)."),
                                  QStringLiteral("dir"),
                                  QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    const QCommandLineOption ref(QStringLiteral("ref"), QStringLiteral("Project reference (names the session cookie)."),
                                 QStringLiteral("ref"), options.projectRef);
    const QCommandLineOption key(QStringLiteral("anon-key"), QStringLiteral("Publishable API key clients must send."),
                                 QStringLiteral("key"), options.publishableKey);
    const QCommandLineOption secret(QStringLiteral("jwt-secret"),
                                    QStringLiteral("Signing secret of access tokens (default: kept in the data folder)."),
                                    QStringLiteral("secret"));
    const QCommandLineOption redirect(QStringLiteral("auth-redirect"),
                                      QStringLiteral("Where e-mailed sign-in links lead by default."),
                                      QStringLiteral("url"), options.authRedirect);
    const QCommandLineOption allow(QStringLiteral("allow-redirect"),
                                   QStringLiteral("Another allowed redirect_to prefix (repeatable)."), QStringLiteral("url"));
    const QCommandLineOption dev(QStringLiteral("dev-controls"),
                                 QStringLiteral("Serve the test controls under /__dev/ (outbox, faults, counts, reset, clock)."));
    const QCommandLineOption logRequests(QStringLiteral("log-requests"), QStringLiteral("Print one line per request."));
    const QCommandLineOption maxBody(QStringLiteral("max-body"), QStringLiteral("Largest request body accepted, in bytes."),
                                     QStringLiteral("bytes"), QString::number(options.maxBodyBytes));
    const QList<SecondsOption> seconds = {
        {{QStringLiteral("jwt-exp"), QStringLiteral("Access token lifetime, seconds."), QStringLiteral("s"),
          QString::number(options.accessTokenLifetime)}, &StoreOptions::accessTokenLifetime},
        {{QStringLiteral("otp-ttl"), QStringLiteral("Lifetime of e-mailed codes and links, seconds."), QStringLiteral("s"),
          QString::number(options.otpLifetime)}, &StoreOptions::otpLifetime},
        {{QStringLiteral("otp-interval"), QStringLiteral("Least time between two e-mails to one address, seconds."),
          QStringLiteral("s"), QString::number(options.otpSendInterval)}, &StoreOptions::otpSendInterval},
        {{QStringLiteral("signed-url-ttl"), QStringLiteral("Lifetime of signed preview URLs, seconds."), QStringLiteral("s"),
          QString::number(options.signedUrlLifetime)}, &StoreOptions::signedUrlLifetime},
        {{QStringLiteral("refresh-reuse"), QStringLiteral("Window in which a just-rotated refresh token still answers, seconds."),
          QStringLiteral("s"), QString::number(options.refreshReuseWindow)}, &StoreOptions::refreshReuseWindow},
    };
    SeedOptions seed;
    const QList<CountOption> counts = {
        {{QStringLiteral("wallpapers"), QStringLiteral("Wallpapers in a newly seeded catalog."), QStringLiteral("n"),
          QString::number(seed.wallpapers)}, &SeedOptions::wallpapers},
        {{QStringLiteral("packs"), QStringLiteral("Regular packs in a newly seeded catalog (three monthly packs come on top)."),
          QStringLiteral("n"), QString::number(seed.packs)}, &SeedOptions::packs},
        {{QStringLiteral("original-mb"), QStringLiteral("Pad the newest originals to about this many MiB (0: natural size)."),
          QStringLiteral("mib"), QString::number(seed.originalMegabytes)}, &SeedOptions::originalMegabytes},
        {{QStringLiteral("padded-wallpapers"), QStringLiteral("How many of the newest wallpapers get padded originals."),
          QStringLiteral("n"), QString::number(seed.paddedWallpapers)}, &SeedOptions::paddedWallpapers},
        {{QStringLiteral("rendered-originals"), QStringLiteral("Originals rendered one by one; the rest share their files."),
          QStringLiteral("n"), QString::number(seed.renderedOriginals)}, &SeedOptions::renderedOriginals},
    };
    const QCommandLineOption seedNumber(QStringLiteral("seed"), QStringLiteral("Seed of the generated catalog."),
                                        QStringLiteral("n"), QString::number(seed.seed));
    const QCommandLineOption noMembershipPrices(QStringLiteral("no-membership-prices"),
                                                QStringLiteral("Seed settings without membership prices."));
    parser.addOptions({port, data, ref, key, secret, redirect, allow, dev, logRequests, maxBody, seedNumber, noMembershipPrices});
    for (const SecondsOption &entry : seconds)
        parser.addOption(entry.option);
    for (const CountOption &entry : counts)
        parser.addOption(entry.option);
    parser.process(app);

    bool ok = false;
    const uint portValue = parser.value(port).toUInt(&ok);
    if (!ok || portValue > 65535) {
        std::fprintf(stderr, "zn-localstore: --port must be 0-65535\n");
        return 2;
    }
    options.port = quint16(portValue);
    options.dataDir = parser.value(data);
    options.projectRef = parser.value(ref);
    options.publishableKey = parser.value(key);
    options.jwtSecret = parser.value(secret).toUtf8();
    options.authRedirect = parser.value(redirect);
    options.allowedRedirects = parser.values(allow);
    options.devControls = parser.isSet(dev);
    options.logRequests = parser.isSet(logRequests);
    options.maxBodyBytes = parser.value(maxBody).toLongLong(&ok);
    if (!ok || options.maxBodyBytes < 1024) {
        std::fprintf(stderr, "zn-localstore: --max-body must be at least 1024\n");
        return 2;
    }
    for (const SecondsOption &entry : seconds) {
        options.*entry.field = parser.value(entry.option).toLongLong(&ok);
        if (!ok || options.*entry.field < 0) {
            std::fprintf(stderr, "zn-localstore: --%s must be a number of seconds\n", qPrintable(entry.option.names().first()));
            return 2;
        }
    }

    for (const CountOption &entry : counts) {
        seed.*entry.field = parser.value(entry.option).toInt(&ok);
        if (!ok || seed.*entry.field < 0) {
            std::fprintf(stderr, "zn-localstore: --%s must be a whole number\n", qPrintable(entry.option.names().first()));
            return 2;
        }
    }
    seed.seed = parser.value(seedNumber).toUInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "zn-localstore: --seed must be a whole number\n");
        return 2;
    }
    seed.membershipPrices = parser.isSet(noMembershipPrices) ? MembershipPrices::Null : MembershipPrices::Set;
    options.seedCatalog = [seed](QSqlDatabase &db, const QString &storageRoot) {
        std::printf("zn-localstore: seeding the catalog (%d wallpapers)...\n", seed.wallpapers);
        std::fflush(stdout);
        return seedCatalog(db, storageRoot, seed);
    };

    LocalStore store(options);
    QString error;
    if (!store.start(&error)) {
        std::fprintf(stderr, "zn-localstore: %s\n", qPrintable(error));
        return 1;
    }
    const QByteArray url = store.baseUrl().toUtf8();
    std::printf("zn-localstore listening on %s\n", url.constData());
    std::printf("ZN_SUPABASE_URL=%s\n", url.constData());
    std::printf("ZN_SUPABASE_ANON_KEY=%s\n", qPrintable(options.publishableKey));
    std::printf("ZN_SUPABASE_REF=%s\n", qPrintable(options.projectRef));
    std::printf("ZN_SITE_URL=%s\n", url.constData());
    std::printf("data folder: %s\n", qPrintable(options.dataDir));
    std::fflush(stdout);
    return app.exec();
}
