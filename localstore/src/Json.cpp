#include "Json.h"

#include <QJsonDocument>
#include <QJsonParseError>

void appendJsonString(QByteArray &out, QStringView text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    static const char hex[] = "0123456789abcdef";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out += hex[u >> 4];
                out += hex[u & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

QByteArray jsonString(QStringView text)
{
    QByteArray out;
    appendJsonString(out, text);
    return out;
}

std::optional<QJsonObject> parseJsonObject(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QByteArray compactJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
