#include "AuthApi.h"

#include "Json.h"
#include "StoreContext.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QRegularExpression>
#include <QUrl>

namespace {
const QString invalidCode = QStringLiteral("Token has expired or is invalid");
// Wrong codes tried against one sent code before verification stops answering; an 8-digit
// code must not be guessable by trying them all.
constexpr int maxFailedAttempts = 10;

QString tokenHash(const QString &email, const QString &code)
{
    return QString::fromLatin1(QCryptographicHash::hash((email + code).toUtf8(), QCryptographicHash::Sha224).toHex());
}

// Whether a code issued as `issued` may be redeemed with the verification type `asked`.
bool typeAccepts(const QString &asked, const QString &issued)
{
    if (asked == QStringLiteral("email"))
        return issued == QStringLiteral("signup") || issued == QStringLiteral("magiclink");
    return asked == issued;
}

QString appendToUrl(const QString &url, QChar separator, const QString &parameters)
{
    if (separator == u'?' && url.contains(u'?'))
        return url + u'&' + parameters;
    return url + separator + parameters;
}

QString urlParameters(const QList<std::pair<QString, QString>> &items)
{
    QStringList parts;
    for (const auto &[key, value] : items)
        parts.append(key + u'=' + QString::fromLatin1(formEncode(value)));
    return parts.join(u'&');
}
}

HttpResponse AuthApi::handle(const HttpRequest &request, const QString &path)
{
    const bool post = request.method == "POST";
    const bool get = request.method == "GET" || request.method == "HEAD";
    if (path == QStringLiteral("otp") && post)
        return sendCode(request);
    if (path == QStringLiteral("verify") && post)
        return verifyCode(request);
    if (path == QStringLiteral("verify") && get)
        return verifyLink(request);
    if (path == QStringLiteral("token") && post)
        return token(request);
    if (path == QStringLiteral("logout") && post)
        return logout(request);
    if (path == QStringLiteral("user") && get)
        return user(request);
    if (path == QStringLiteral("settings") && get)
        return HttpResponse::json(200, R"({"external":{"email":true,"phone":false},"disable_signup":false,)"
                                       R"("mailer_autoconfirm":false,"phone_autoconfirm":false,"sms_provider":"","saml_enabled":false})");
    if (path == QStringLiteral("health") && get)
        return HttpResponse::json(200, R"({"version":"local","name":"auth","description":"local store auth API"})");
    if (path == QStringLiteral(".well-known/jwks.json") && get)
        return HttpResponse::json(200, R"({"keys":[]})");
    return error(request, 404, "not_found", QStringLiteral("Not Found"));
}

HttpResponse AuthApi::error(const HttpRequest &request, int status, const QByteArray &code, const QString &message)
{
    QJsonObject body;
    if (!request.header("x-supabase-api-version").isEmpty()) {
        body.insert(QStringLiteral("code"), QString::fromLatin1(code));
        body.insert(QStringLiteral("message"), message);
    } else {
        body.insert(QStringLiteral("code"), status);
        body.insert(QStringLiteral("error_code"), QString::fromLatin1(code));
        body.insert(QStringLiteral("msg"), message);
    }
    return HttpResponse::json(status, compactJson(body));
}

QJsonObject AuthApi::userObject(const QString &userId)
{
    QSqlQuery row = m_context.db().run(
        QStringLiteral("SELECT email, email_confirmed_at, last_sign_in_at, created_at, updated_at FROM users WHERE id = ?"),
        {userId});
    if (!row.next())
        return {};
    const QJsonValue confirmed = row.value(1).isNull() ? QJsonValue() : QJsonValue(row.value(1).toString());
    QJsonObject user{
        {QStringLiteral("id"), userId},
        {QStringLiteral("aud"), QStringLiteral("authenticated")},
        {QStringLiteral("role"), QStringLiteral("authenticated")},
        {QStringLiteral("email"), row.value(0).toString()},
        {QStringLiteral("email_confirmed_at"), confirmed},
        {QStringLiteral("confirmed_at"), confirmed},
        {QStringLiteral("phone"), QString()},
        {QStringLiteral("app_metadata"), QJsonObject{{QStringLiteral("provider"), QStringLiteral("email")},
                                                     {QStringLiteral("providers"), QJsonArray{QStringLiteral("email")}}}},
        {QStringLiteral("user_metadata"), QJsonObject()},
        {QStringLiteral("identities"), QJsonArray()},
        {QStringLiteral("created_at"), row.value(3).toString()},
        {QStringLiteral("updated_at"), row.value(4).toString()},
        {QStringLiteral("is_anonymous"), false},
    };
    if (!row.value(2).isNull())
        user.insert(QStringLiteral("last_sign_in_at"), row.value(2).toString());
    return user;
}

QString AuthApi::allowedRedirect(const QString &requested) const
{
    const StoreOptions &options = m_context.options();
    if (requested.isEmpty())
        return options.authRedirect;
    QStringList allowed = options.allowedRedirects;
    allowed << options.authRedirect << m_context.baseUrl();
    for (const QString &prefix : std::as_const(allowed)) {
        if (!prefix.isEmpty() && requested.startsWith(prefix))
            return requested;
    }
    return options.authRedirect;
}

HttpResponse AuthApi::sendCode(const HttpRequest &request)
{
    const auto body = parseJsonObject(request.body);
    if (!body)
        return error(request, 400, "bad_json", QStringLiteral("Could not parse request body as JSON"));
    const QString email = body->value(QStringLiteral("email")).toString().trimmed().toLower();
    if (email.isEmpty())
        return error(request, 400, "validation_failed", QStringLiteral("An email address is required"));
    if (!isValidEmail(email))
        return error(request, 400, "validation_failed", QStringLiteral("Unable to validate email address: invalid format"));
    const QString challenge = body->value(QStringLiteral("code_challenge")).toString();
    const QString method = body->value(QStringLiteral("code_challenge_method")).toString().toLower();
    if (!challenge.isEmpty() && method != QStringLiteral("s256") && method != QStringLiteral("plain"))
        return error(request, 400, "validation_failed", QStringLiteral("Code challenge method not supported"));

    StoreDatabase &db = m_context.db();
    const qint64 now = m_context.clock().nowSecs();
    const qint64 interval = m_context.options().otpSendInterval;
    const QVariant lastSent = db.scalar(QStringLiteral("SELECT sent_at FROM otp_codes WHERE email = ?"), {email});
    if (!lastSent.isNull() && lastSent.toLongLong() + interval > now) {
        const qint64 wait = lastSent.toLongLong() + interval - now;
        return error(request, 429, "over_email_send_rate_limit",
                     QStringLiteral("For security purposes, you can only request this after %1 seconds.").arg(wait));
    }

    QSqlQuery existing = db.run(QStringLiteral("SELECT id, email_confirmed_at FROM users WHERE email = ?"), {email});
    QString type = QStringLiteral("magiclink");
    if (!existing.next()) {
        const QJsonValue create = body->value(QStringLiteral("create_user"));
        if (create.isBool() && !create.toBool())
            return error(request, 422, "otp_disabled", QStringLiteral("Signups not allowed for otp"));
        const QString stamp = isoTimestamp(m_context.clock().now());
        db.run(QStringLiteral("INSERT INTO users (id, email, created_at, updated_at) VALUES (?, ?, ?, ?)"),
               {newUuid(), email, stamp, stamp});
        type = QStringLiteral("signup");
    } else if (existing.value(1).isNull()) {
        type = QStringLiteral("signup");
    }

    const QString code = randomDigits(8);
    const QString hash = tokenHash(email, code);
    const QString redirect = allowedRedirect(request.queryValue(QStringLiteral("redirect_to")));
    db.run(QStringLiteral("INSERT OR REPLACE INTO otp_codes (email, code, token_hash, type, sent_at, expires_at,"
                          " redirect_to, code_challenge, code_challenge_method) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
           {email, code, hash, type, now, now + m_context.options().otpLifetime, redirect,
            challenge.isEmpty() ? QVariant() : QVariant(challenge), challenge.isEmpty() ? QVariant() : QVariant(method)});

    const QString link = m_context.baseUrl() + QStringLiteral("/auth/v1/verify?")
        + urlParameters({{QStringLiteral("token"), hash}, {QStringLiteral("type"), type},
                         {QStringLiteral("redirect_to"), redirect}});
    m_context.outbox().send({email,
                             type == QStringLiteral("signup") ? QStringLiteral("Confirm your sign-up")
                                                              : QStringLiteral("Your sign-in code"),
                             code, link, type, m_context.clock().now()});
    return HttpResponse::json(200, "{}");
}

HttpResponse AuthApi::verifyCode(const HttpRequest &request)
{
    const auto body = parseJsonObject(request.body);
    if (!body)
        return error(request, 400, "bad_json", QStringLiteral("Could not parse request body as JSON"));
    const QString type = body->value(QStringLiteral("type")).toString();
    static const QStringList types = {QStringLiteral("email"), QStringLiteral("signup"), QStringLiteral("magiclink"),
                                      QStringLiteral("recovery"), QStringLiteral("invite"), QStringLiteral("email_change")};
    if (!types.contains(type))
        return error(request, 400, "validation_failed", QStringLiteral("Verify requires a verification type"));
    const QString email = body->value(QStringLiteral("email")).toString().trimmed().toLower();
    const QString token = body->value(QStringLiteral("token")).toString().trimmed();
    const QString hash = body->value(QStringLiteral("token_hash")).toString();
    if (hash.isEmpty() && (email.isEmpty() || token.isEmpty()))
        return error(request, 400, "validation_failed", QStringLiteral("Verify requires either a token or a token hash"));

    StoreDatabase &db = m_context.db();
    if (!email.isEmpty()
        && db.scalar(QStringLiteral("SELECT failed_attempts FROM otp_codes WHERE email = ?"), {email}).toInt() >= maxFailedAttempts)
        return error(request, 429, "over_request_rate_limit", QStringLiteral("Request rate limit reached"));
    const QString lookupHash = hash.isEmpty() ? tokenHash(email, token) : hash;
    QSqlQuery row = db.run(QStringLiteral("SELECT email, type, expires_at FROM otp_codes WHERE token_hash = ?"), {lookupHash});
    if (!row.next() || !typeAccepts(type, row.value(1).toString())
        || row.value(2).toLongLong() <= m_context.clock().nowSecs()) {
        if (!email.isEmpty())
            db.run(QStringLiteral("UPDATE otp_codes SET failed_attempts = failed_attempts + 1 WHERE email = ?"), {email});
        return error(request, 403, "otp_expired", invalidCode);
    }
    return HttpResponse::json(200, compactJson(issueSession(redeemCode(row.value(0).toString()))));
}

HttpResponse AuthApi::verifyLink(const HttpRequest &request)
{
    const QString hash = request.queryValue(QStringLiteral("token"));
    const QString type = request.queryValue(QStringLiteral("type"));
    StoreDatabase &db = m_context.db();
    QSqlQuery row = db.run(QStringLiteral("SELECT email, type, expires_at, redirect_to, code_challenge,"
                                          " code_challenge_method FROM otp_codes WHERE token_hash = ?"),
                           {hash});
    const bool found = !hash.isEmpty() && row.next();
    QString redirect = allowedRedirect(request.queryValue(QStringLiteral("redirect_to")));
    if (request.queryValue(QStringLiteral("redirect_to")).isEmpty() && found && !row.value(3).toString().isEmpty())
        redirect = row.value(3).toString();
    if (!found || !typeAccepts(type, row.value(1).toString()) || row.value(2).toLongLong() <= m_context.clock().nowSecs()) {
        const QString failure = urlParameters({{QStringLiteral("error"), QStringLiteral("access_denied")},
                                               {QStringLiteral("error_code"), QStringLiteral("otp_expired")},
                                               {QStringLiteral("error_description"),
                                                QStringLiteral("Email link is invalid or has expired")}});
        const bool pkce = found && !row.value(4).isNull();
        QString target = pkce ? appendToUrl(redirect, u'?', failure) : redirect;
        return HttpResponse::redirect(appendToUrl(target, u'#', failure).toUtf8());
    }
    const QString owner = row.value(0).toString();
    const QString issuedType = row.value(1).toString();
    const QVariant challenge = row.value(4);
    const QString method = row.value(5).toString();
    const QString userId = redeemCode(owner);
    if (!challenge.isNull()) {
        const QString authCode = newUuid();
        db.run(QStringLiteral("INSERT INTO flow_states (auth_code, user_id, code_challenge, code_challenge_method,"
                              " created_at) VALUES (?, ?, ?, ?, ?)"),
               {authCode, userId, challenge, method, m_context.clock().nowSecs()});
        return HttpResponse::redirect(appendToUrl(redirect, u'?', QStringLiteral("code=") + authCode).toUtf8());
    }
    const QJsonObject session = issueSession(userId);
    const QString fragment = urlParameters({
        {QStringLiteral("access_token"), session.value(QStringLiteral("access_token")).toString()},
        {QStringLiteral("expires_at"), QString::number(session.value(QStringLiteral("expires_at")).toInteger())},
        {QStringLiteral("expires_in"), QString::number(session.value(QStringLiteral("expires_in")).toInteger())},
        {QStringLiteral("refresh_token"), session.value(QStringLiteral("refresh_token")).toString()},
        {QStringLiteral("token_type"), QStringLiteral("bearer")},
        {QStringLiteral("type"), issuedType},
    });
    return HttpResponse::redirect(appendToUrl(redirect, u'#', fragment).toUtf8());
}

HttpResponse AuthApi::token(const HttpRequest &request)
{
    const auto body = parseJsonObject(request.body);
    if (!body)
        return error(request, 400, "bad_json", QStringLiteral("Could not parse request body as JSON"));
    const QString grant = request.queryValue(QStringLiteral("grant_type"));
    if (grant == QStringLiteral("refresh_token"))
        return refresh(request, *body);
    if (grant == QStringLiteral("pkce"))
        return exchangeCode(request, *body);
    if (grant == QStringLiteral("password"))
        return error(request, 400, "invalid_credentials", QStringLiteral("Invalid login credentials"));
    return error(request, 400, "validation_failed", QStringLiteral("unsupported_grant_type"));
}

HttpResponse AuthApi::refresh(const HttpRequest &request, const QJsonObject &body)
{
    const QString presented = body.value(QStringLiteral("refresh_token")).toString();
    if (presented.isEmpty())
        return error(request, 400, "validation_failed", QStringLiteral("Refresh Token is required"));
    StoreDatabase &db = m_context.db();
    QSqlQuery row = db.run(QStringLiteral("SELECT session_id, user_id, revoked_at FROM refresh_tokens WHERE token = ?"),
                           {presented});
    if (!row.next())
        return error(request, 400, "refresh_token_not_found", QStringLiteral("Invalid Refresh Token: Refresh Token Not Found"));
    const QString sessionId = row.value(0).toString();
    const QString userId = row.value(1).toString();
    const qint64 now = m_context.clock().nowSecs();
    if (!row.value(2).isNull()) {
        // A client that lost the answer to its refresh may ask again for a short while and
        // gets the token that replaced this one; any later reuse ends the whole session.
        const QVariant child = db.scalar(QStringLiteral("SELECT token FROM refresh_tokens WHERE parent = ? AND revoked_at IS NULL"),
                                         {presented});
        if (!child.isNull() && row.value(2).toLongLong() + m_context.options().refreshReuseWindow >= now)
            return HttpResponse::json(200, compactJson(session(userId, sessionId, child.toString())));
        deleteSessions(QStringLiteral("id = ?"), {sessionId});
        return error(request, 400, "refresh_token_already_used", QStringLiteral("Invalid Refresh Token: Already Used"));
    }
    const QString next = randomToken(32);
    db.run(QStringLiteral("UPDATE refresh_tokens SET revoked_at = ? WHERE token = ?"), {now, presented});
    db.run(QStringLiteral("INSERT INTO refresh_tokens (token, session_id, user_id, parent, created_at) VALUES (?, ?, ?, ?, ?)"),
           {next, sessionId, userId, presented, now});
    return HttpResponse::json(200, compactJson(session(userId, sessionId, next)));
}

HttpResponse AuthApi::exchangeCode(const HttpRequest &request, const QJsonObject &body)
{
    const QString authCode = body.value(QStringLiteral("auth_code")).toString();
    const QString verifier = body.value(QStringLiteral("code_verifier")).toString();
    if (authCode.isEmpty() || verifier.isEmpty())
        return error(request, 400, "validation_failed", QStringLiteral("invalid request: both auth code and code verifier should be non-empty"));
    StoreDatabase &db = m_context.db();
    QSqlQuery row = db.run(QStringLiteral("SELECT user_id, code_challenge, code_challenge_method, created_at FROM flow_states"
                                          " WHERE auth_code = ?"),
                           {authCode});
    if (!row.next())
        return error(request, 404, "flow_state_not_found", QStringLiteral("invalid flow state, no valid flow state found"));
    if (row.value(3).toLongLong() + m_context.options().flowStateLifetime < m_context.clock().nowSecs()) {
        db.run(QStringLiteral("DELETE FROM flow_states WHERE auth_code = ?"), {authCode});
        return error(request, 422, "flow_state_expired", QStringLiteral("invalid flow state, flow state has expired"));
    }
    const QString challenge = row.value(1).toString();
    const QString expected = row.value(2).toString() == QStringLiteral("plain")
        ? verifier
        : QString::fromLatin1(base64Url(QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256)));
    if (expected != challenge)
        return error(request, 400, "bad_code_verifier", QStringLiteral("code challenge does not match previously saved code verifier"));
    const QString userId = row.value(0).toString();
    db.run(QStringLiteral("DELETE FROM flow_states WHERE auth_code = ?"), {authCode});
    return HttpResponse::json(200, compactJson(issueSession(userId)));
}

std::optional<HttpResponse> AuthApi::refuseCaller(const HttpRequest &request, const Caller &caller)
{
    switch (caller.status) {
    case Caller::Status::SignedIn:
        return std::nullopt;
    case Caller::Status::NoSession:
        return error(request, 403, "session_not_found", QStringLiteral("Session from session_id claim in JWT does not exist"));
    case Caller::Status::Anonymous:
        return error(request, 401, "no_authorization", QStringLiteral("This endpoint requires a Bearer token"));
    case Caller::Status::BadToken:
    case Caller::Status::Expired:
        break;
    }
    return error(request, 403, "bad_jwt", QStringLiteral("invalid JWT: unable to parse or verify signature, token is expired or invalid"));
}

HttpResponse AuthApi::logout(const HttpRequest &request)
{
    const Caller caller = m_context.caller(request, CredentialSource::BearerOnly, 0, true);
    if (auto refused = refuseCaller(request, caller))
        return std::move(*refused);
    const QString scope = request.queryValue(QStringLiteral("scope"));
    if (scope.isEmpty() || scope == QStringLiteral("global"))
        deleteSessions(QStringLiteral("user_id = ?"), {caller.userId});
    else if (scope == QStringLiteral("local"))
        deleteSessions(QStringLiteral("id = ?"), {caller.sessionId});
    else if (scope == QStringLiteral("others"))
        deleteSessions(QStringLiteral("user_id = ? AND id <> ?"), {caller.userId, caller.sessionId});
    else
        return error(request, 400, "validation_failed", QStringLiteral("Unsupported logout scope \"%1\"").arg(scope));
    return HttpResponse(204, {}, {});
}

HttpResponse AuthApi::user(const HttpRequest &request)
{
    const Caller caller = m_context.caller(request, CredentialSource::BearerOnly, 0, true);
    if (auto refused = refuseCaller(request, caller))
        return std::move(*refused);
    const QJsonObject user = userObject(caller.userId);
    if (user.isEmpty())
        return error(request, 404, "user_not_found", QStringLiteral("User from sub claim in JWT does not exist"));
    return HttpResponse::json(200, compactJson(user));
}

QString AuthApi::redeemCode(const QString &email)
{
    StoreDatabase &db = m_context.db();
    db.run(QStringLiteral("DELETE FROM otp_codes WHERE email = ?"), {email});
    const QString stamp = isoTimestamp(m_context.clock().now());
    db.run(QStringLiteral("UPDATE users SET email_confirmed_at = coalesce(email_confirmed_at, ?), last_sign_in_at = ?,"
                          " updated_at = ? WHERE email = ?"),
           {stamp, stamp, stamp, email});
    return db.scalar(QStringLiteral("SELECT id FROM users WHERE email = ?"), {email}).toString();
}

void AuthApi::deleteSessions(const QString &where, const QVariantList &binds)
{
    StoreDatabase &db = m_context.db();
    db.run(QStringLiteral("DELETE FROM refresh_tokens WHERE session_id IN (SELECT id FROM sessions WHERE %1)").arg(where), binds);
    db.run(QStringLiteral("DELETE FROM sessions WHERE %1").arg(where), binds);
}

QJsonObject AuthApi::issueSession(const QString &userId)
{
    StoreDatabase &db = m_context.db();
    const qint64 now = m_context.clock().nowSecs();
    const QString sessionId = newUuid();
    const QString refreshToken = randomToken(32);
    db.run(QStringLiteral("INSERT INTO sessions (id, user_id, created_at) VALUES (?, ?, ?)"), {sessionId, userId, now});
    db.run(QStringLiteral("INSERT INTO refresh_tokens (token, session_id, user_id, created_at) VALUES (?, ?, ?, ?)"),
           {refreshToken, sessionId, userId, now});
    return session(userId, sessionId, refreshToken);
}

QJsonObject AuthApi::session(const QString &userId, const QString &sessionId, const QString &refreshToken)
{
    const qint64 now = m_context.clock().nowSecs();
    const qint64 lifetime = m_context.options().accessTokenLifetime;
    const QJsonObject user = userObject(userId);
    const qint64 signedInAt =
        m_context.db().scalar(QStringLiteral("SELECT created_at FROM sessions WHERE id = ?"), {sessionId}).toLongLong();
    const QJsonObject claims{
        {QStringLiteral("iss"), m_context.baseUrl() + QStringLiteral("/auth/v1")},
        {QStringLiteral("sub"), userId},
        {QStringLiteral("aud"), QStringLiteral("authenticated")},
        {QStringLiteral("exp"), now + lifetime},
        {QStringLiteral("iat"), now},
        {QStringLiteral("role"), QStringLiteral("authenticated")},
        {QStringLiteral("email"), user.value(QStringLiteral("email"))},
        {QStringLiteral("phone"), QString()},
        {QStringLiteral("app_metadata"), user.value(QStringLiteral("app_metadata"))},
        {QStringLiteral("user_metadata"), QJsonObject()},
        {QStringLiteral("aal"), QStringLiteral("aal1")},
        {QStringLiteral("amr"), QJsonArray{QJsonObject{{QStringLiteral("method"), QStringLiteral("otp")},
                                                       {QStringLiteral("timestamp"), signedInAt}}}},
        {QStringLiteral("session_id"), sessionId},
        {QStringLiteral("is_anonymous"), false},
    };
    return {
        {QStringLiteral("access_token"), QString::fromLatin1(m_context.jwt().sign(claims))},
        {QStringLiteral("token_type"), QStringLiteral("bearer")},
        {QStringLiteral("expires_in"), lifetime},
        {QStringLiteral("expires_at"), now + lifetime},
        {QStringLiteral("refresh_token"), refreshToken},
        {QStringLiteral("user"), user},
    };
}
