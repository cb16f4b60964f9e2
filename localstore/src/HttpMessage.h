#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <memory>
#include <utility>

using HeaderList = QList<std::pair<QByteArray, QByteArray>>;

// One parsed HTTP/1.1 request. Header names are kept in lower case.
struct HttpRequest
{
    QByteArray method;
    QByteArray rawPath;   // as sent, before percent-decoding
    QByteArray rawQuery;  // after "?", as sent
    QString path;         // percent-decoded
    HeaderList headers;
    QByteArray body;

    QByteArray header(const QByteArray &lowerName) const;
    // The query string form-decoded ("+" is a space), in the order sent.
    QList<std::pair<QString, QString>> queryItems() const;
    QString queryValue(const QString &name) const;
};

// Form-decodes one component of a query string or form body.
QString formDecode(const QByteArray &component);
QList<std::pair<QString, QString>> formDecodeItems(const QByteArray &encoded);
QByteArray formEncode(const QString &value);

// How the connection hands the answer over; anything but Normal simulates a fault.
enum class Delivery { Normal, Drop, Truncate };

struct HttpResponse
{
    int status = 200;
    HeaderList headers;
    QByteArray body;
    // A body read piece by piece while it is sent; streamLength bytes long.
    std::unique_ptr<QIODevice> stream;
    qint64 streamLength = 0;
    Delivery delivery = Delivery::Normal;
    int delayMs = 0;

    HttpResponse() = default;
    HttpResponse(int status, QByteArray contentType, QByteArray body);
    HttpResponse(HttpResponse &&) = default;
    HttpResponse &operator=(HttpResponse &&) = default;

    void setHeader(const QByteArray &name, const QByteArray &value);
    QByteArray header(const QByteArray &name) const;
    qint64 contentLength() const { return stream ? streamLength : body.size(); }

    static HttpResponse json(int status, const QByteArray &body);
    static HttpResponse html(int status, const QByteArray &body);
    static HttpResponse redirect(const QByteArray &location, int status = 303);
};

QByteArray reasonPhrase(int status);
