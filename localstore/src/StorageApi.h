#pragma once

#include "HttpMessage.h"

#include <optional>

class StoreContext;

// Storage: objects in buckets on disk, reachable through signed URLs that lapse.
class StorageApi
{
public:
    explicit StorageApi(StoreContext &context) : m_context(context) {}

    // path is what follows "/storage/v1/".
    HttpResponse handle(const HttpRequest &request, const QString &path);

    QString signedUrl(const QString &bucket, const QString &objectPath);
    // The file of an object, when the path is safe and the file exists.
    std::optional<QString> objectFile(const QString &bucket, const QString &objectPath) const;

private:
    StoreContext &m_context;
};

// A path inside a bucket with no way out of it: no empty, "." or ".." segments, no backslash.
bool isSafeObjectPath(const QString &objectPath);
QByteArray contentTypeFor(const QString &fileName);
HttpResponse fileResponse(const QString &filePath, const QByteArray &contentType);
