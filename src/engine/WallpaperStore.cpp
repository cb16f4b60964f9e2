#include "WallpaperStore.h"

#include "StoreFileError.h"
#include "WallpaperConfiguration.h"
#include "WallpaperError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>

WallpaperStore::WallpaperStore(const QString &indexURL)
    : m_indexURL(indexURL)
{
}

const WallpaperStore &WallpaperStore::defaultStore()
{
    static const WallpaperStore store(
        QDir::homePath() + QStringLiteral("/Library/Application Support/com.apple.wallpaper/Store/Index.plist"));
    return store;
}

const QSet<QString> &WallpaperStore::knownRootKeys()
{
    static const QSet<QString> keys{QStringLiteral("AllSpacesAndDisplays"), QStringLiteral("Displays"),
                                    QStringLiteral("Spaces"), QStringLiteral("SystemDefault")};
    return keys;
}

bool WallpaperStore::exists() const
{
    return QFileInfo::exists(m_indexURL);
}

PlistPtr WallpaperStore::read() const
{
    if (!exists())
        throw WallpaperError::storeMissing(m_indexURL);
    QFile file(m_indexURL);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreFileError(QStringLiteral("%1: %2").arg(m_indexURL, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw StoreFileError(QStringLiteral("%1: %2").arg(m_indexURL, file.errorString()));
    PlistPtr root = Plist::fromData(bytes);
    if (!root)
        throw StoreFileError(QStringLiteral("%1: not a property list").arg(m_indexURL));
    if (!Plist::isDictionary(root.get()))
        throw WallpaperError::unexpectedStoreFormat(QStringLiteral("root is not a dictionary"));
    return root;
}

void WallpaperStore::write(plist_t root) const
{
    const QByteArray bytes = Plist::toBinary(root);
    if (bytes.isEmpty())
        throw StoreFileError(QStringLiteral("%1: could not serialise the index").arg(m_indexURL));
    writeBytes(bytes);
}

void WallpaperStore::writeBytes(const QByteArray &bytes) const
{
    QSaveFile file(m_indexURL);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw StoreFileError(QStringLiteral("%1: %2").arg(m_indexURL, file.errorString()));
}

QStringList WallpaperStore::rootKeys(plist_t root)
{
    QStringList keys;
    if (Plist::isDictionary(root))
        Plist::forEachEntry(root, [&](const char *key, plist_t) { keys.append(QString::fromUtf8(key)); });
    keys.sort();
    return keys;
}

bool WallpaperStore::looksLikeKnownStore(plist_t root)
{
    const QStringList keys = rootKeys(root);
    return std::any_of(keys.cbegin(), keys.cend(), [](const QString &key) { return knownRootKeys().contains(key); });
}

QString WallpaperStore::keyList(const QStringList &keys)
{
    QStringList quoted;
    for (QString key : keys)
        quoted.append(u'"' + key.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\"")) + u'"');
    return u'[' + quoted.join(QStringLiteral(", ")) + u']';
}

void WallpaperStore::walkDesktops(plist_t node, const std::function<void(plist_t)> &visit)
{
    if (Plist::isDictionary(node)) {
        if (plist_t desktop = Plist::item(node, "Desktop", PLIST_DICT))
            visit(desktop);
        // Screen-saver entries live under "Idle"; a Desktop node is never searched inside.
        Plist::forEachEntry(node, [&](const char *key, plist_t value) {
            if (std::strcmp(key, "Desktop") != 0 && std::strcmp(key, "Idle") != 0)
                walkDesktops(value, visit);
        });
    } else if (Plist::isArray(node)) {
        const uint32_t count = plist_array_get_size(node);
        for (uint32_t i = 0; i < count; ++i)
            walkDesktops(plist_array_get_item(node, i), visit);
    }
}

void WallpaperStore::rewriteDesktop(plist_t desktop, const QByteArray &configData, const QDateTime &now)
{
    plist_t content = Plist::item(desktop, "Content", PLIST_DICT);
    if (!content) {
        content = plist_new_dict();
        plist_dict_set_item(desktop, "Content", content);
    }
    plist_t choices = Plist::item(content, "Choices", PLIST_ARRAY);
    if (!choices) {
        choices = plist_new_array();
        plist_dict_set_item(content, "Choices", choices);
    }
    if (plist_array_get_size(choices) == 0)
        plist_array_append_item(choices, plist_new_dict());

    const uint32_t count = plist_array_get_size(choices);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t choice = plist_array_get_item(choices, i);
        if (!Plist::isDictionary(choice))
            continue;
        Plist::setItem(choice, "Configuration", Plist::newData(configData));
        Plist::setItem(choice, "Provider", Plist::newString(WallpaperConfiguration::imageFileProvider));
        Plist::setItem(choice, "Files", PlistPtr(plist_new_array()));
    }
    Plist::setItem(content, "Shuffle", Plist::newString(QStringLiteral("$null")));
    Plist::setItem(desktop, "LastSet", Plist::newDate(now));
}

int WallpaperStore::rewriteAllDesktops(const QUrl &imageFileURL, plist_t root, const QDateTime &now)
{
    const QByteArray configData = WallpaperConfiguration::encode(imageFileURL);
    int count = 0;
    walkDesktops(root, [&](plist_t desktop) {
        rewriteDesktop(desktop, configData, now);
        ++count;
    });
    return count;
}

QList<std::optional<QUrl>> WallpaperStore::desktopImageURLs(plist_t root)
{
    QList<std::optional<QUrl>> urls;
    walkDesktops(root, [&](plist_t desktop) {
        plist_t choices = Plist::item(Plist::item(desktop, "Content", PLIST_DICT), "Choices", PLIST_ARRAY);
        plist_t first = choices && plist_array_get_size(choices) > 0 ? plist_array_get_item(choices, 0) : nullptr;
        const std::optional<QByteArray> blob = Plist::dataValue(Plist::item(first, "Configuration", PLIST_DATA));
        urls.append(blob ? WallpaperConfiguration::decodeImageFileURL(*blob) : std::nullopt);
    });
    return urls;
}

std::optional<QUrl> WallpaperStore::anyDesktopImageURL(plist_t root)
{
    for (const std::optional<QUrl> &url : desktopImageURLs(root)) {
        if (url)
            return url;
    }
    return std::nullopt;
}
