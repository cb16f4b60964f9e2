#include "StoreContext.h"

#include "Json.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUuid>

QString newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString randomToken(int length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    QString token;
    token.reserve(length);
    for (int i = 0; i < length; ++i)
        token += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(64)]);
    return token;
}

QString randomDigits(int length)
{
    QString digits;
    for (int i = 0; i < length; ++i)
        digits += QLatin1Char(static_cast<char>('0' + QRandomGenerator::system()->bounded(10)));
    return digits;
}

bool isValidEmail(const QString &email)
{
    static const QRegularExpression pattern(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
    return email.size() <= 255 && pattern.match(email).hasMatch();
}

StoreContext::StoreContext(StoreOptions options)
    : m_options(std::move(options)), m_outbox(m_options.printMail)
{
    QDir().mkpath(m_options.dataDir);
    QDir().mkpath(storageRoot());
    m_db = std::make_unique<StoreDatabase>(QDir(m_options.dataDir).filePath(QStringLiteral("store.sqlite")));
    QByteArray secret = m_options.jwtSecret;
    if (secret.isEmpty() && m_db->isOpen()) {
        // Kept in the data folder so tokens issued before a restart stay valid.
        secret = m_db->meta(QStringLiteral("jwt_secret")).toUtf8();
        if (secret.isEmpty()) {
            secret = randomToken(48).toUtf8();
            m_db->setMeta(QStringLiteral("jwt_secret"), QString::fromUtf8(secret));
        }
    }
    m_jwt = std::make_unique<Jwt>(secret);
}

QString StoreContext::storageRoot() const
{
    return QDir(m_options.dataDir).filePath(QStringLiteral("storage"));
}

QString StoreContext::cookieName() const
{
    return QStringLiteral("sb-") + m_options.projectRef + QStringLiteral("-auth-token");
}

Caller StoreContext::callerFromToken(const QByteArray &token, qint64 skewSecs, bool requireSession)
{
    Caller caller;
    if (token.isEmpty() || token == m_options.publishableKey.toUtf8())
        return caller;
    const Jwt::Verified verified = m_jwt->verify(token, m_clock.nowSecs(), skewSecs);
    caller.claims = verified.claims;
    switch (verified.status) {
    case Jwt::Status::Malformed:
    case Jwt::Status::BadSignature:
        caller.status = Caller::Status::BadToken;
        return caller;
    case Jwt::Status::Expired:
        caller.status = Caller::Status::Expired;
        return caller;
    case Jwt::Status::Valid:
        break;
    }
    caller.userId = verified.claims.value(QStringLiteral("sub")).toString();
    caller.email = verified.claims.value(QStringLiteral("email")).toString();
    caller.sessionId = verified.claims.value(QStringLiteral("session_id")).toString();
    if (verified.claims.value(QStringLiteral("role")).toString() != QStringLiteral("authenticated")
        || caller.userId.isEmpty()) {
        caller.status = Caller::Status::Anonymous;
        caller.userId.clear();
        return caller;
    }
    caller.status = Caller::Status::SignedIn;
    if (requireSession
        && m_db->scalar(QStringLiteral("SELECT count(*) FROM sessions WHERE id = ? AND user_id = ?"),
                        {caller.sessionId, caller.userId})
               .toInt()
            == 0)
        caller.status = Caller::Status::NoSession;
    return caller;
}

Caller StoreContext::caller(const HttpRequest &request, CredentialSource source, qint64 skewSecs,
                            bool requireSession)
{
    QByteArray bearer;
    const QByteArray authorization = request.header("authorization");
    if (!authorization.isEmpty()) {
        if (!authorization.toLower().startsWith("bearer ")) {
            Caller bad;
            bad.status = Caller::Status::BadToken;
            return bad;
        }
        bearer = authorization.mid(7).trimmed();
    }
    Caller fromBearer = callerFromToken(bearer, skewSecs, requireSession);
    if (source == CredentialSource::BearerOnly || fromBearer.signedIn())
        return fromBearer;
    Caller fromCookie = callerFromToken(sessionCookieToken(request), skewSecs, requireSession);
    if (fromCookie.signedIn() || fromBearer.status == Caller::Status::Anonymous)
        return fromCookie;
    return fromBearer;
}

QByteArray StoreContext::sessionCookieToken(const HttpRequest &request) const
{
    QHash<QString, QString> cookies;
    for (const QByteArray &header : {request.header("cookie")}) {
        for (const QByteArray &pair : header.split(';')) {
            const qsizetype eq = pair.indexOf('=');
            if (eq > 0)
                cookies.insert(QString::fromUtf8(pair.left(eq).trimmed()), QString::fromUtf8(pair.mid(eq + 1).trimmed()));
        }
    }
    const QString name = cookieName();
    QString value = cookies.value(name);
    if (value.isEmpty()) {
        for (int i = 0; cookies.contains(name + QLatin1Char('.') + QString::number(i)); ++i)
            value += cookies.value(name + QLatin1Char('.') + QString::number(i));
    }
    if (!value.startsWith(QStringLiteral("base64-")))
        return {};
    const auto decoded = QByteArray::fromBase64Encoding(value.mid(7).toLatin1(),
                                                        QByteArray::Base64UrlEncoding
                                                            | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    const auto session = parseJsonObject(*decoded);
    if (!session)
        return {};
    return session->value(QStringLiteral("access_token")).toString().toUtf8();
}
