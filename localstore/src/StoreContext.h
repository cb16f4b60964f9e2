#pragma once

#include "HttpMessage.h"
#include "Jwt.h"
#include "Outbox.h"
#include "StoreClock.h"
#include "StoreDatabase.h"
#include "StoreOptions.h"

#include <QJsonObject>
#include <memory>

// Who is calling, as the credentials of one request say.
struct Caller
{
    enum class Status { Anonymous, SignedIn, BadToken, Expired, NoSession };
    Status status = Status::Anonymous;
    QString userId;
    QString email;
    QString sessionId;
    QJsonObject claims;

    bool signedIn() const { return status == Status::SignedIn; }
};

// Credentials a request may carry.
enum class CredentialSource { BearerOnly, BearerOrCookie };

// What every part of the store shares: options, clock, database, signing key, outbox.
class StoreContext
{
public:
    explicit StoreContext(StoreOptions options);

    bool isReady() const { return m_db->isOpen(); }
    QString startError() const { return m_db->lastError(); }

    const StoreOptions &options() const { return m_options; }
    StoreClock &clock() { return m_clock; }
    StoreDatabase &db() { return *m_db; }
    const Jwt &jwt() const { return *m_jwt; }
    Outbox &outbox() { return m_outbox; }
    QString storageRoot() const;

    void setBaseUrl(const QString &url) { m_baseUrl = url; }
    QString baseUrl() const { return m_baseUrl; }
    QString cookieName() const;

    // Verifies the access token of a request. skewSecs is the tolerance on "exp".
    // requireSession also rejects tokens whose session was signed out.
    Caller caller(const HttpRequest &request, CredentialSource source, qint64 skewSecs,
                  bool requireSession);
    Caller callerFromToken(const QByteArray &token, qint64 skewSecs, bool requireSession);

private:
    QByteArray sessionCookieToken(const HttpRequest &request) const;

    StoreOptions m_options;
    StoreClock m_clock;
    std::unique_ptr<StoreDatabase> m_db;
    std::unique_ptr<Jwt> m_jwt;
    Outbox m_outbox;
    QString m_baseUrl;
};

QString newUuid();
// Random URL-safe text of the given length.
QString randomToken(int length);
QString randomDigits(int length);
bool isValidEmail(const QString &email);
