#include "StorageApi.h"

#include "Json.h"
#include "StoreContext.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {
HttpResponse storageError(int status, const QString &error, const QString &message)
{
    return HttpResponse::json(status, compactJson(QJsonObject{{QStringLiteral("statusCode"), QString::number(status)},
                                                              {QStringLiteral("error"), error},
                                                              {QStringLiteral("message"), message}}));
}

const QStringList buckets = {QStringLiteral("previews"), QStringLiteral("wallpapers")};
}

bool isSafeObjectPath(const QString &objectPath)
{
    if (objectPath.isEmpty() || objectPath.size() > 1024 || objectPath.contains(u'\\') || objectPath.contains(QChar(0)))
        return false;
    for (const QString &segment : objectPath.split(u'/')) {
        if (segment.isEmpty() || segment == QStringLiteral(".") || segment == QStringLiteral(".."))
            return false;
    }
    return true;
}

QByteArray contentTypeFor(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QStringLiteral("jpg") || suffix == QStringLiteral("jpeg"))
        return "image/jpeg";
    if (suffix == QStringLiteral("png"))
        return "image/png";
    if (suffix == QStringLiteral("webp"))
        return "image/webp";
    if (suffix == QStringLiteral("heic"))
        return "image/heic";
    return "application/octet-stream";
}

HttpResponse fileResponse(const QString &filePath, const QByteArray &contentType)
{
    auto file = std::make_unique<QFile>(filePath);
    if (!file->open(QIODevice::ReadOnly))
        return storageError(404, QStringLiteral("not_found"), QStringLiteral("Object not found"));
    HttpResponse response(200, contentType, {});
    response.streamLength = file->size();
    response.stream = std::move(file);
    return response;
}

std::optional<QString> StorageApi::objectFile(const QString &bucket, const QString &objectPath) const
{
    if (!buckets.contains(bucket) || !isSafeObjectPath(objectPath))
        return std::nullopt;
    const QString bucketRoot = QDir(m_context.storageRoot()).filePath(bucket);
    const QFileInfo info(QDir(bucketRoot).filePath(objectPath));
    if (!info.isFile())
        return std::nullopt;
    // A symbolic link must not lead out of the bucket either.
    const QString canonicalRoot = QFileInfo(bucketRoot).canonicalFilePath() + u'/';
    if (!info.canonicalFilePath().startsWith(canonicalRoot))
        return std::nullopt;
    return info.canonicalFilePath();
}

QString StorageApi::signedUrl(const QString &bucket, const QString &objectPath)
{
    const qint64 now = m_context.clock().nowSecs();
    const QByteArray token = m_context.jwt().sign(QJsonObject{{QStringLiteral("url"), bucket + u'/' + objectPath},
                                                              {QStringLiteral("iat"), now},
                                                              {QStringLiteral("exp"), now + m_context.options().signedUrlLifetime}});
    return m_context.baseUrl() + QStringLiteral("/storage/v1/object/sign/") + bucket + u'/'
        + QString::fromLatin1(QUrl::toPercentEncoding(objectPath, "/")) + QStringLiteral("?token=")
        + QString::fromLatin1(token);
}

HttpResponse StorageApi::handle(const HttpRequest &request, const QString &path)
{
    const QString signPrefix = QStringLiteral("object/sign/");
    if (!path.startsWith(signPrefix) || (request.method != "GET" && request.method != "HEAD"))
        return storageError(400, QStringLiteral("InvalidRequest"), QStringLiteral("Route not served by this store"));
    const QString rest = path.mid(signPrefix.size());
    const QString bucket = rest.section(u'/', 0, 0);
    const QString objectPath = rest.section(u'/', 1);
    if (!isSafeObjectPath(objectPath))
        return storageError(400, QStringLiteral("InvalidKey"), QStringLiteral("Invalid key: %1").arg(objectPath));
    const QByteArray token = request.queryValue(QStringLiteral("token")).toUtf8();
    if (token.isEmpty())
        return storageError(400, QStringLiteral("InvalidJWT"), QStringLiteral("querystring must have required property 'token'"));
    const Jwt::Verified verified = m_context.jwt().verify(token, m_context.clock().nowSecs(), 0);
    if (verified.status == Jwt::Status::Expired)
        return storageError(400, QStringLiteral("InvalidJWT"), QStringLiteral("\"exp\" claim timestamp check failed"));
    if (verified.status != Jwt::Status::Valid)
        return storageError(400, QStringLiteral("InvalidJWT"), QStringLiteral("invalid signature"));
    if (verified.claims.value(QStringLiteral("url")).toString() != bucket + u'/' + objectPath)
        return storageError(400, QStringLiteral("InvalidSignature"), QStringLiteral("The url do not match the signature"));
    const auto file = objectFile(bucket, objectPath);
    if (!file)
        return storageError(404, QStringLiteral("not_found"), QStringLiteral("Object not found"));
    HttpResponse response = fileResponse(*file, contentTypeFor(*file));
    response.setHeader("Cache-Control", "max-age=3600");
    return response;
}
