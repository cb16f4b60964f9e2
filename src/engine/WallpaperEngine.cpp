#include "WallpaperEngine.h"

#include "EngineLog.h"
#include "MacOSCompatibilityTable.h"
#include "StoreFileError.h"
#include "WallpaperError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QStringDecoder>

#include <array>

using namespace std::chrono_literals;

namespace {

// The agent may write its own state back after a restart: check three times before giving up.
constexpr std::array verificationSchedule{350ms, 750ms, 1400ms};

// A backup name that already exists is never overwritten: the next free millisecond keeps the
// names in creation order.
constexpr int backupNameAttempts = 1000;
const QString backupTimestampPattern = QStringLiteral("yyyyMMdd-HHmmss-zzz");
const QString backupPrefix = QStringLiteral("Index-");
const QString backupSuffix = QStringLiteral(".plist.bak");

QString localPath(const QUrl &url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.path();
}

QUrl standardized(const QUrl &url)
{
    if (url.isLocalFile())
        return QUrl::fromLocalFile(QDir::cleanPath(url.toLocalFile()));
    return url.adjusted(QUrl::NormalizePathSegments);
}

QString backupFileName(const QDateTime &time)
{
    return backupPrefix + QLocale::c().toString(time.toUTC(), backupTimestampPattern) + backupSuffix;
}

// The time in a backup's name; invalid for a name this engine did not make.
QDateTime backupTime(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QDateTime time = QLocale::c().toDateTime(
        name.mid(backupPrefix.size(), name.size() - backupPrefix.size() - backupSuffix.size()), backupTimestampPattern);
    time.setTimeSpec(Qt::UTC);
    return time;
}

QString errorText(const std::exception &error)
{
    return QString::fromUtf8(error.what());
}

}

WallpaperEngine::WallpaperEngine(WallpaperStore store, WallpaperPlatform &platform, QString backupDirectory,
                                 Clock clock)
    : m_store(std::move(store))
    , m_platform(platform)
    , m_backupDirectory(std::move(backupDirectory))
    , m_clock(std::move(clock))
{
}

QString WallpaperEngine::defaultBackupDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Zarnova/Backups");
}

ThisSpaceResult WallpaperEngine::setThisSpace(const QUrl &imageFileURL)
{
    const QString path = localPath(imageFileURL);
    if (!QFileInfo::exists(path))
        throw WallpaperError::applyFailed(QStringLiteral("image file missing at ") + path);
    const QList<Display> displays = m_platform.displays();
    if (displays.isEmpty())
        throw WallpaperError::applyFailed(QStringLiteral("no displays (not connected to the window server)"));

    ThisSpaceResult result;
    for (qsizetype i = 0; i < displays.size(); ++i) {
        if (const std::optional<QString> failure = m_platform.setDesktopImage(displays[i], path))
            result.failures.append(QStringLiteral("display %1: %2").arg(QString::number(i + 1), *failure));
        else
            ++result.appliedDisplays;
    }
    const QString joined = result.failures.join(QStringLiteral("; "));
    if (result.appliedDisplays == 0)
        throw WallpaperError::applyFailed(joined);
    if (!result.failures.isEmpty())
        qCCritical(EngineLog::engine, "setThisSpace partial: %ld applied, failed → %s", long(result.appliedDisplays),
                   qUtf8Printable(joined));
    return result;
}

AllSpacesOutcome WallpaperEngine::setAllSpaces(const QUrl &imageFileURL)
{
    const QString path = localPath(imageFileURL);
    if (!QFileInfo::exists(path))
        return AllSpacesOutcome::failed(QStringLiteral("image file missing at ") + path);

    const WallpaperWriterSupport support = m_platform.storeWriterSupport(m_store.indexURL());
    if (!support.isSupported())
        return fallBackToPublicAPI(imageFileURL, support.reason);
    if (const std::optional<OperatingSystemVersion> version = m_platform.systemVersion()) {
        const WallpaperWriterSupport evaluation = MacOSCompatibilityTable::evaluate(*version);
        if (!evaluation.isSupported())
            return fallBackToPublicAPI(imageFileURL, evaluation.reason);
        if (!MacOSCompatibilityTable::isHandsOnVerified(*version))
            qCWarning(EngineLog::engine,
                      "store writer running on an unverified macOS major (%s) — relying on probe + verify",
                      qUtf8Printable(m_platform.systemVersionString()));
    }

    try {
        if (rewriteStoreAndVerify(imageFileURL))
            return AllSpacesOutcome::appliedAllSpaces();
    } catch (const std::exception &error) {
        const QString text = errorText(error);
        qCCritical(EngineLog::engine, "all-spaces store write failed: %s", qUtf8Printable(text));
        return fallBackToPublicAPI(imageFileURL, QStringLiteral("store write failed: ") + text);
    }
    return fallBackToPublicAPI(imageFileURL,
                               QStringLiteral("the wallpaper system didn't keep the change after two attempts"));
}

bool WallpaperEngine::rewriteStoreAndVerify(const QUrl &imageFileURL)
{
    // One backup per apply, before the first write, so it always holds the state before this apply.
    backupIndexStore();
    for (long attempt = 1; attempt <= 2; ++attempt) {
        const PlistPtr root = m_store.read();
        if (!WallpaperStore::looksLikeKnownStore(root.get()))
            throw WallpaperError::unexpectedStoreFormat(
                QStringLiteral("unrecognized top-level keys ")
                + WallpaperStore::keyList(WallpaperStore::rootKeys(root.get())));
        const int count = WallpaperStore::rewriteAllDesktops(imageFileURL, root.get(), m_clock());
        if (count == 0)
            throw WallpaperError::unexpectedStoreFormat(
                QStringLiteral("no Desktop nodes found (top-level keys: ")
                + WallpaperStore::keyList(WallpaperStore::rootKeys(root.get())) + u')');
        m_store.write(root.get());
        restartWallpaperAgent();
        if (verifyStoreReflects(imageFileURL)) {
            qCInfo(EngineLog::engine, "all-spaces applied and verified (%ld desktop nodes, attempt %ld)", long(count),
                   attempt);
            return true;
        }
        qCCritical(EngineLog::engine,
                   "all-spaces write did not verify on attempt %ld — the agent may have rewritten the store", attempt);
    }
    return false;
}

bool WallpaperEngine::verifyStoreReflects(const QUrl &imageFileURL)
{
    const QUrl target = standardized(imageFileURL);
    for (const auto delay : verificationSchedule) {
        m_platform.sleep(delay);
        if (storeReflects(target))
            return true;
    }
    return false;
}

bool WallpaperEngine::storeReflects(const QUrl &target) const
{
    PlistPtr root;
    try {
        root = m_store.read();
    } catch (const std::exception &) {
        return false;
    }
    bool any = false;
    for (const std::optional<QUrl> &url : WallpaperStore::desktopImageURLs(root.get())) {
        if (!url)
            continue;
        if (standardized(*url) != target)
            return false;
        any = true;
    }
    return any;
}

AllSpacesOutcome WallpaperEngine::fallBackToPublicAPI(const QUrl &imageFileURL, const QString &reason)
{
    try {
        const ThisSpaceResult result = setThisSpace(imageFileURL);
        if (result.isPartial())
            return AllSpacesOutcome::fellBackToPublicAPI(
                QStringLiteral("%1; %2 display(s) failed").arg(reason, QString::number(result.failures.size())));
        return AllSpacesOutcome::fellBackToPublicAPI(reason);
    } catch (const std::exception &error) {
        return AllSpacesOutcome::failed(reason + QStringLiteral("; public-API fallback also failed: ")
                                        + errorText(error));
    }
}

void WallpaperEngine::backupIndexStore()
{
    if (!QDir().mkpath(m_backupDirectory))
        throw StoreFileError(QStringLiteral("%1: could not create the backup folder").arg(m_backupDirectory));
    if (!m_store.exists())
        return;

    // Names must sort in creation order, or a clock set back would make undo pick an older state
    // and pruning delete the backup just made.
    QDateTime time = m_clock().toUTC();
    const QStringList existing = timestampedBackupsNewestFirst();
    if (const QDateTime newest = existing.isEmpty() ? QDateTime() : backupTime(existing.first());
        newest.isValid() && newest >= time)
        time = newest.addMSecs(1);
    for (int i = 0; i < backupNameAttempts; ++i, time = time.addMSecs(1)) {
        const QString target = m_backupDirectory + u'/' + backupFileName(time);
        if (QFileInfo::exists(target))
            continue;
        QFile index(m_store.indexURL());
        // QFile::copy writes to a temporary file and renames it without replacing an existing one.
        if (index.copy(target)) {
            pruneBackups();
            return;
        }
        if (!QFileInfo::exists(target))
            throw StoreFileError(QStringLiteral("%1 → %2: %3").arg(m_store.indexURL(), target, index.errorString()));
    }
    throw StoreFileError(QStringLiteral("%1: no free backup name").arg(m_backupDirectory));
}

QStringList WallpaperEngine::timestampedBackupsNewestFirst() const
{
    QStringList names = QDir(m_backupDirectory).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeIf([](const QString &name) {
        return !name.startsWith(backupPrefix) || !name.endsWith(backupSuffix);
    });
    std::sort(names.begin(), names.end(), std::greater<>());
    for (QString &name : names)
        name.prepend(m_backupDirectory + u'/');
    return names;
}

void WallpaperEngine::pruneBackups()
{
    const QStringList backups = timestampedBackupsNewestFirst();
    for (qsizetype i = maxBackups; i < backups.size(); ++i)
        QFile::remove(backups[i]);
}

std::optional<QString> WallpaperEngine::latestBackupURL() const
{
    const QStringList backups = timestampedBackupsNewestFirst();
    if (!backups.isEmpty())
        return backups.first();
    const QString lastResort = m_backupDirectory + QStringLiteral("/Index.plist.bak");
    if (QFileInfo::exists(lastResort))
        return lastResort;
    return std::nullopt;
}

void WallpaperEngine::restorePreviousAllSpaces()
{
    const std::optional<QString> backup = latestBackupURL();
    if (!backup)
        throw WallpaperError::applyFailed(QStringLiteral("no wallpaper-store backup to restore"));
    QFile file(*backup);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreFileError(QStringLiteral("%1: %2").arg(*backup, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw StoreFileError(QStringLiteral("%1: %2").arg(*backup, file.errorString()));
    m_store.writeBytes(bytes);
    restartWallpaperAgent();
}

QList<QUrl> WallpaperEngine::currentThisSpaceURLs() const
{
    QList<QUrl> urls;
    for (const Display &display : m_platform.displays()) {
        if (const std::optional<QString> image = m_platform.desktopImage(display))
            urls.append(QUrl::fromLocalFile(*image));
    }
    return urls;
}

void WallpaperEngine::restartWallpaperAgent()
{
    const ProcessResult result =
        m_platform.run(QStringLiteral("/usr/bin/killall"), {QStringLiteral("WallpaperAgent")});
    if (!result.launched)
        throw WallpaperError::applyFailed(QStringLiteral("killall WallpaperAgent: ") + result.launchError);
    auto decoder = QStringDecoder(QStringDecoder::Utf8);
    QString errorOutput = decoder(result.standardError);
    if (decoder.hasError())
        errorOutput.clear();
    if (result.exitStatus == 0)
        return;
    // "No matching process" on one system, "WallpaperAgent: no process found" from psmisc: no agent ran.
    if (result.exitStatus == 1
        && (errorOutput.contains(QStringLiteral("No matching process"))
            || errorOutput.contains(QStringLiteral("no process found"))))
        return;
    throw WallpaperError::applyFailed(
        QStringLiteral("killall WallpaperAgent exited %1: %2").arg(QString::number(result.exitStatus), errorOutput.trimmed()));
}
