#pragma once

#include "HttpMessage.h"

#include <QJsonObject>
#include <optional>

struct Caller;

class StoreContext;

// The auth API: e-mail one-time codes and links, sessions with rotating refresh tokens,
// the PKCE code exchange, sign-out and the user record.
class AuthApi
{
public:
    explicit AuthApi(StoreContext &context) : m_context(context) {}

    // path is what follows "/auth/v1/".
    HttpResponse handle(const HttpRequest &request, const QString &path);

    QJsonObject userObject(const QString &userId);

private:
    HttpResponse sendCode(const HttpRequest &request);
    HttpResponse verifyCode(const HttpRequest &request);
    HttpResponse verifyLink(const HttpRequest &request);
    HttpResponse token(const HttpRequest &request);
    HttpResponse refresh(const HttpRequest &request, const QJsonObject &body);
    HttpResponse exchangeCode(const HttpRequest &request, const QJsonObject &body);
    HttpResponse logout(const HttpRequest &request);
    HttpResponse user(const HttpRequest &request);

    // The refusal for a caller that isn't signed in with a live session.
    std::optional<HttpResponse> refuseCaller(const HttpRequest &request, const Caller &caller);
    HttpResponse error(const HttpRequest &request, int status, const QByteArray &code, const QString &message);
    QJsonObject issueSession(const QString &userId);
    QJsonObject session(const QString &userId, const QString &sessionId, const QString &refreshToken);
    QString allowedRedirect(const QString &requested) const;
    // Uses up the address's code and confirms the address; answers the user's id.
    QString redeemCode(const QString &email);
    void deleteSessions(const QString &where, const QVariantList &binds);

    StoreContext &m_context;
};
