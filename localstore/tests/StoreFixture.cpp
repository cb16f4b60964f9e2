#include "StoreFixture.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QTimer>

QJsonObject Answer::object() const
{
    return QJsonDocument::fromJson(body).object();
}

QJsonArray Answer::array() const
{
    return QJsonDocument::fromJson(body).array();
}

QByteArray Answer::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QByteArray toJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

namespace {
void writeFile(const QString &root, const QString &path, const QByteArray &content)
{
    const QString full = QDir(root).filePath(path);
    QDir().mkpath(QFileInfo(full).path());
    QFile file(full);
    file.open(QIODevice::WriteOnly);
    file.write(content);
}

QString monthKey(int monthsFromNow)
{
    return QDateTime::currentDateTimeUtc().date().addMonths(monthsFromNow).toString(QStringLiteral("yyyy-MM"));
}
}

bool seedTestCatalog(QSqlDatabase &db, const QString &storageRoot)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("CREATE TABLE app_settings (default_wallpaper_price_cents INTEGER NOT NULL,"
                          " default_pack_price_cents INTEGER NOT NULL, subscription_monthly_cents INTEGER,"
                          " subscription_yearly_cents INTEGER, yearly_monthly_credits INTEGER, created_at TIMESTAMPTZ)"));
    q.exec(QStringLiteral("INSERT INTO app_settings VALUES (99, 1299, NULL, NULL, NULL, '2026-01-01T00:00:00.000Z')"));
    q.exec(QStringLiteral("CREATE TABLE wallpapers (id TEXT PRIMARY KEY, slug TEXT NOT NULL, title TEXT NOT NULL,"
                          " description TEXT, price_cents INTEGER, landscape_preview_path TEXT NOT NULL,"
                          " portrait_preview_path TEXT NOT NULL, landscape_file_path TEXT NOT NULL,"
                          " portrait_file_path TEXT NOT NULL, landscape_width INTEGER, landscape_height INTEGER,"
                          " portrait_width INTEGER, portrait_height INTEGER, is_published BOOLEAN NOT NULL,"
                          " created_at TIMESTAMPTZ)"));
    struct Row { const char *id; const char *title; QVariant price; bool published; QVariant created; };
    const Row rows[] = {
        {"w1", "Dune", QVariant(), true, QStringLiteral("2026-01-05T00:00:00.000Z")},
        {"w2", "Sea, \"calm\"", 49, true, QStringLiteral("2026-01-04T00:00:00.000Z")},
        {"w3", "Peak", 150, true, QVariant()},
        {"w4", "Forest", QVariant(), true, QStringLiteral("2026-01-02T00:00:00.000Z")},
        {"w5", "Draft", QVariant(), false, QStringLiteral("2026-01-06T00:00:00.000Z")},
    };
    for (const Row &row : rows) {
        const QString id = QLatin1String(row.id);
        q.prepare(QStringLiteral("INSERT INTO wallpapers VALUES (?, ?, ?, NULL, ?, ?, ?, ?, ?, 3840, 2160, 2160, 3840, ?, ?)"));
        for (const QVariant &value : QVariantList{id, id + QStringLiteral("-slug"), QString::fromUtf8(row.title), row.price,
                                                  id + QStringLiteral("/landscape.jpg"), id + QStringLiteral("/portrait.jpg"),
                                                  id + QStringLiteral("/") + id + QStringLiteral(".jpg"),
                                                  id + QStringLiteral("/") + id + QStringLiteral("-2.jpg"), row.published ? 1 : 0,
                                                  row.created})
            q.addBindValue(value);
        q.exec();
        writeFile(storageRoot, QStringLiteral("previews/%1/landscape.jpg").arg(id), "preview " + id.toUtf8());
        writeFile(storageRoot, QStringLiteral("previews/%1/portrait.jpg").arg(id), "preview portrait " + id.toUtf8());
        writeFile(storageRoot, QStringLiteral("wallpapers/%1/%1.jpg").arg(id), QByteArray(70000, 'L') + id.toUtf8());
        writeFile(storageRoot, QStringLiteral("wallpapers/%1/%1-2.jpg").arg(id), QByteArray(50000, 'P') + id.toUtf8());
    }
    q.exec(QStringLiteral("CREATE TABLE packs (id TEXT PRIMARY KEY, slug TEXT NOT NULL, title TEXT NOT NULL, description TEXT,"
                          " price_cents INTEGER, preview_path TEXT NOT NULL, is_published BOOLEAN NOT NULL,"
                          " is_monthly BOOLEAN NOT NULL, monthly_month TEXT, created_at TIMESTAMPTZ)"));
    q.exec(QStringLiteral("INSERT INTO packs VALUES ('p1', 'calm', 'Calm', NULL, NULL, 'w1/landscape.jpg', 1, 0, NULL,"
                          " '2026-01-01T00:00:00.000Z')"));
    const std::pair<const char *, int> monthly[] = {{"m-last", -1}, {"m-this", 0}, {"m-next", 1}};
    for (const auto &[id, offset] : monthly) {
        q.prepare(QStringLiteral("INSERT INTO packs VALUES (?, ?, ?, NULL, NULL, 'w4/landscape.jpg', 1, 1, ?, ?)"));
        q.addBindValue(QLatin1String(id));
        q.addBindValue(QLatin1String(id));
        q.addBindValue(QLatin1String(id));
        q.addBindValue(monthKey(offset));
        q.addBindValue(QStringLiteral("2026-02-0%1T00:00:00.000Z").arg(offset + 2));
        q.exec();
    }
    q.exec(QStringLiteral("CREATE TABLE pack_wallpapers (pack_id TEXT NOT NULL, wallpaper_id TEXT NOT NULL,"
                          " position INTEGER NOT NULL, created_at TIMESTAMPTZ)"));
    q.exec(QStringLiteral("INSERT INTO pack_wallpapers VALUES ('p1', 'w1', 1, NULL), ('p1', 'w4', 1, NULL),"
                          " ('m-last', 'w3', 1, NULL), ('m-this', 'w4', 1, NULL), ('m-next', 'w1', 1, NULL)"));
    return true;
}

StoreFixture::StoreFixture(StoreOptions options)
{
    options.dataDir = m_dir.path();
    options.port = 0;
    options.devControls = true;
    options.printMail = false;
    if (!options.seedCatalog)
        options.seedCatalog = seedTestCatalog;
    m_store = std::make_unique<LocalStore>(options);
    QString error;
    if (!m_store->start(&error))
        qFatal("local store did not start: %s", qPrintable(error));
}

Answer StoreFixture::send(const QByteArray &method, const QString &path, const QByteArray &body,
                          const QList<std::pair<QByteArray, QByteArray>> &headers, int timeoutMs)
{
    QNetworkRequest request(QUrl(path.startsWith(QStringLiteral("http")) ? path : url(path)));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    if (!body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = m_network.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Answer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    answer.error = reply->error();
    answer.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    return answer;
}

Answer StoreFixture::backend(const QByteArray &method, const QString &path, const QByteArray &body, const QString &accessToken)
{
    QList<std::pair<QByteArray, QByteArray>> headers = {{"apikey", publishableKey().toUtf8()}};
    if (!accessToken.isEmpty())
        headers.append({"Authorization", "Bearer " + accessToken.toUtf8()});
    return send(method, path, body, headers);
}

QJsonObject StoreFixture::signIn(const QString &email)
{
    backend("POST", QStringLiteral("/auth/v1/otp"),
            QJsonDocument(QJsonObject{{QStringLiteral("email"), email}, {QStringLiteral("create_user"), true}}).toJson());
    const QJsonArray mails = send("GET", QStringLiteral("/__dev/outbox?email=") + email).array();
    const QString code = mails.last().toObject().value(QStringLiteral("code")).toString();
    return backend("POST", QStringLiteral("/auth/v1/verify"),
                   QJsonDocument(QJsonObject{{QStringLiteral("email"), email},
                                             {QStringLiteral("token"), code},
                                             {QStringLiteral("type"), QStringLiteral("email")}})
                       .toJson())
        .object();
}

void StoreFixture::advanceClock(qint64 seconds)
{
    m_store->context().clock().advance(seconds);
}
