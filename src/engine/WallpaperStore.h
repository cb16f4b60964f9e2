#pragma once

#include "Plist.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

// The system's wallpaper store index: a property list naming the picture of every Space on every
// display. Reads it with every container editable, rewrites its Desktop nodes and writes it back
// atomically; everything it does not name passes through untouched.
class WallpaperStore
{
public:
    explicit WallpaperStore(const QString &indexURL);

    // The current user's index under the home directory, computed once.
    static const WallpaperStore &defaultStore();
    static const QSet<QString> &knownRootKeys();

    QString indexURL() const { return m_indexURL; }
    bool exists() const;

    // Throws WallpaperError (storeMissing, unexpectedStoreFormat) or StoreFileError.
    PlistPtr read() const;
    // Binary property list, replacing the index atomically. Throws StoreFileError.
    void write(plist_t root) const;
    // Replaces the index with these exact bytes, atomically. Throws StoreFileError.
    void writeBytes(const QByteArray &bytes) const;

    static QStringList rootKeys(plist_t root);
    static bool looksLikeKnownStore(plist_t root);
    // The sorted keys as a list for refusal texts: ["a", "b"].
    static QString keyList(const QStringList &keys);

    // Points every Desktop node at the image and returns how many it rewrote; LastSet becomes now.
    static int rewriteAllDesktops(const QUrl &imageFileURL, plist_t root,
                                  const QDateTime &now = QDateTime::currentDateTimeUtc());
    // One entry per Desktop node, in walk order: the image its first choice names, if readable.
    static QList<std::optional<QUrl>> desktopImageURLs(plist_t root);
    static std::optional<QUrl> anyDesktopImageURL(plist_t root);

private:
    static void walkDesktops(plist_t node, const std::function<void(plist_t)> &visit);
    static void rewriteDesktop(plist_t desktop, const QByteArray &configData, const QDateTime &now);

    QString m_indexURL;
};
