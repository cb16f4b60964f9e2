#pragma once

#include "AllSpacesOutcome.h"
#include "ThisSpaceResult.h"
#include "WallpaperPlatform.h"
#include "WallpaperStore.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

// Puts one picture on the desktop: on the Space each display shows now through the platform, or
// on every Space by rewriting the wallpaper store with a backup, an agent restart, verification,
// one retry and a per-display fallback. Blocking calls are meant for a background thread.
class WallpaperEngine
{
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int maxBackups = 10;

    // Touches no file. The clock names the backups and stamps the rewritten nodes.
    WallpaperEngine(WallpaperStore store, WallpaperPlatform &platform, QString backupDirectory,
                    Clock clock = &QDateTime::currentDateTimeUtc);

    // The application's backup folder: the generic data location + "/Zarnova/Backups".
    static QString defaultBackupDirectory();

    const WallpaperStore &store() const { return m_store; }
    QString backupDirectory() const { return m_backupDirectory; }

    // Throws WallpaperError::applyFailed when the file is missing, there is no display, or every
    // display failed.
    ThisSpaceResult setThisSpace(const QUrl &imageFileURL);
    // Never throws.
    AllSpacesOutcome setAllSpaces(const QUrl &imageFileURL);
    // Restores the latest backup and restarts the agent. Throws WallpaperError or StoreFileError.
    void restorePreviousAllSpaces();
    std::optional<QString> latestBackupURL() const;
    // Copies the index into the backup folder under a new timestamped name. Throws StoreFileError.
    void backupIndexStore();
    QList<QUrl> currentThisSpaceURLs() const;
    // Throws WallpaperError::applyFailed.
    void restartWallpaperAgent();

private:
    // Throws on any store error; false when the change did not hold twice.
    bool rewriteStoreAndVerify(const QUrl &imageFileURL);
    bool verifyStoreReflects(const QUrl &imageFileURL);
    bool storeReflects(const QUrl &target) const;
    AllSpacesOutcome fallBackToPublicAPI(const QUrl &imageFileURL, const QString &reason);
    void pruneBackups();
    QStringList timestampedBackupsNewestFirst() const;

    WallpaperStore m_store;
    WallpaperPlatform &m_platform;
    QString m_backupDirectory;
    Clock m_clock;
};
