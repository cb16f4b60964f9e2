#pragma once

#include <QByteArray>
#include <QJsonObject>

// HS256 JSON Web Tokens signed with the store's secret.
class Jwt
{
public:
    enum class Status { Valid, Malformed, BadSignature, Expired };
    struct Verified
    {
        Status status = Status::Malformed;
        QJsonObject claims;
    };

    explicit Jwt(QByteArray secret);

    QByteArray sign(const QJsonObject &claims) const;
    // Checks the signature, then "exp" against now with the allowed clock skew.
    Verified verify(const QByteArray &token, qint64 nowSecs, qint64 skewSecs) const;

private:
    QByteArray m_secret;
};

QByteArray base64Url(const QByteArray &data);
