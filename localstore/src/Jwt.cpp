#include "Jwt.h"

#include "Json.h"

#include <QMessageAuthenticationCode>

QByteArray base64Url(const QByteArray &data)
{
    return data.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

Jwt::Jwt(QByteArray secret) : m_secret(std::move(secret)) {}

QByteArray Jwt::sign(const QJsonObject &claims) const
{
    const QByteArray signingInput = base64Url(R"({"alg":"HS256","typ":"JWT"})") + '.'
        + base64Url(compactJson(claims));
    return signingInput + '.'
        + base64Url(QMessageAuthenticationCode::hash(signingInput, m_secret, QCryptographicHash::Sha256));
}

Jwt::Verified Jwt::verify(const QByteArray &token, qint64 nowSecs, qint64 skewSecs) const
{
    const QList<QByteArray> parts = token.split('.');
    if (parts.size() != 3)
        return {};
    const auto decode = [](const QByteArray &part) {
        return QByteArray::fromBase64Encoding(part, QByteArray::Base64UrlEncoding
                                                  | QByteArray::AbortOnBase64DecodingErrors);
    };
    const auto header = decode(parts[0]);
    const auto payload = decode(parts[1]);
    const auto signature = decode(parts[2]);
    if (!header || !payload || !signature)
        return {};
    const QByteArray signatureBytes = *signature;
    const auto headerObject = parseJsonObject(*header);
    const auto claims = parseJsonObject(*payload);
    if (!headerObject || !claims)
        return {};
    if (headerObject->value(QStringLiteral("alg")).toString() != QStringLiteral("HS256"))
        return {Status::BadSignature, {}};
    const QByteArray expected = QMessageAuthenticationCode::hash(parts[0] + '.' + parts[1], m_secret,
                                                                 QCryptographicHash::Sha256);
    // Compare without an early exit so the time taken says nothing about the signature.
    if (expected.size() != signatureBytes.size())
        return {Status::BadSignature, {}};
    unsigned char difference = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>(expected[i] ^ signatureBytes.at(i));
    if (difference != 0)
        return {Status::BadSignature, {}};
    const QJsonValue exp = claims->value(QStringLiteral("exp"));
    if (!exp.isUndefined() && (!exp.isDouble() || exp.toDouble() + skewSecs <= nowSecs))
        return {Status::Expired, *claims};
    return {Status::Valid, *claims};
}
