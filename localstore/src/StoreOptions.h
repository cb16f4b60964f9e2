#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QSqlDatabase;

// Everything the local store can be told at start; main() fills it from the command line.
struct StoreOptions
{
    QString dataDir;
    quint16 port = 0;
    QString projectRef = QStringLiteral("zarnovalocalstoredev");
    QString publishableKey = QStringLiteral("sb_publishable_zarnova_local_store_dev_key_000");
    QByteArray jwtSecret;               // empty: a random secret kept in the data folder
    qint64 accessTokenLifetime = 3600;  // seconds
    qint64 otpLifetime = 3600;
    qint64 otpSendInterval = 60;
    qint64 signedUrlLifetime = 3600;
    qint64 refreshReuseWindow = 10;
    qint64 flowStateLifetime = 300;
    QString authRedirect = QStringLiteral("zarnova://auth");
    QStringList allowedRedirects;       // besides authRedirect and the store's own URL
    bool devControls = false;
    qint64 maxBodyBytes = 1024 * 1024;
    bool printMail = true;
    bool logRequests = false;  // one line per request on standard output
    // Fills the catalog tables and the storage folder when the catalog is missing; false on failure.
    std::function<bool(QSqlDatabase &db, const QString &storageRoot)> seedCatalog;
};
