#pragma once

#include "LocalStore.h"

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <memory>

// An answer as a client saw it.
struct Answer
{
    int status = 0;
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QList<QNetworkReply::RawHeaderPair> headers;

    QJsonObject object() const;
    QJsonArray array() const;
    QByteArray header(const QByteArray &name) const;
};

// A small catalog: five wallpapers (one unpublished, one on sale, one priced above the
// default, one without created_at), four packs (one plain, monthly packs of last, this and
// next month) with memberships, and settings without membership prices.
QByteArray toJson(const QJsonObject &object);

bool seedTestCatalog(QSqlDatabase &db, const QString &storageRoot);

// A local store started in-process on a free port, with a temporary data folder, the test
// controls on and the fixture catalog.
class StoreFixture
{
public:
    explicit StoreFixture(StoreOptions options = {});

    LocalStore &store() { return *m_store; }
    QString url(const QString &path) const { return m_store->baseUrl() + path; }
    QString publishableKey() const { return m_store->context().options().publishableKey; }

    Answer send(const QByteArray &method, const QString &path, const QByteArray &body = {},
                const QList<std::pair<QByteArray, QByteArray>> &headers = {}, int timeoutMs = 10000);
    // A data or auth API call with the publishable key, and the access token when given.
    Answer backend(const QByteArray &method, const QString &path, const QByteArray &body = {},
                   const QString &accessToken = {});
    // Signs in by code through the outbox; answers the session.
    QJsonObject signIn(const QString &email);
    void advanceClock(qint64 seconds);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<LocalStore> m_store;
    QNetworkAccessManager m_network;
};
