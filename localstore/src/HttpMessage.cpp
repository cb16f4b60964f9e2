#include "HttpMessage.h"

QByteArray HttpRequest::header(const QByteArray &lowerName) const
{
    for (const auto &[name, value] : headers) {
        if (name == lowerName)
            return value;
    }
    return {};
}

QList<std::pair<QString, QString>> HttpRequest::queryItems() const
{
    return formDecodeItems(rawQuery);
}

QString HttpRequest::queryValue(const QString &name) const
{
    for (const auto &[key, value] : queryItems()) {
        if (key == name)
            return value;
    }
    return {};
}

QString formDecode(const QByteArray &component)
{
    QByteArray plus = component;
    plus.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(plus));
}

QList<std::pair<QString, QString>> formDecodeItems(const QByteArray &encoded)
{
    QList<std::pair<QString, QString>> items;
    for (const QByteArray &pair : encoded.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        if (eq < 0)
            items.append({formDecode(pair), QString()});
        else
            items.append({formDecode(pair.left(eq)), formDecode(pair.mid(eq + 1))});
    }
    return items;
}

QByteArray formEncode(const QString &value)
{
    QByteArray encoded = value.toUtf8().toPercentEncoding(" *-._");
    encoded.replace(' ', '+');
    return encoded;
}

HttpResponse::HttpResponse(int status, QByteArray contentType, QByteArray body)
    : status(status), body(std::move(body))
{
    if (!contentType.isEmpty())
        headers.append({"Content-Type", contentType});
}

void HttpResponse::setHeader(const QByteArray &name, const QByteArray &value)
{
    for (auto &[key, current] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            current = value;
            return;
        }
    }
    headers.append({name, value});
}

QByteArray HttpResponse::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpResponse HttpResponse::json(int status, const QByteArray &body)
{
    return HttpResponse(status, "application/json; charset=utf-8", body);
}

HttpResponse HttpResponse::html(int status, const QByteArray &body)
{
    return HttpResponse(status, "text/html; charset=utf-8", body);
}

HttpResponse HttpResponse::redirect(const QByteArray &location, int status)
{
    HttpResponse response(status, {}, {});
    response.setHeader("Location", location);
    return response;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 302: return "Found";
    case 303: return "See Other";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 406: return "Not Acceptable";
    case 409: return "Conflict";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 415: return "Unsupported Media Type";
    case 422: return "Unprocessable Entity";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Status";
    }
}
