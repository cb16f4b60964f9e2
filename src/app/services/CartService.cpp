#include "CartService.h"

#include "AppConfig.h"
#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <variant>

namespace {

using CartOrFault = std::variant<QList<CartItem>, QString>;

// All or nothing: one line that does not decode fails the whole file.
CartOrFault decodeCart(const QByteArray &data)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
    if (!document.isArray())
        return QStringLiteral("the file does not hold a JSON array");

    const QJsonArray lines = document.array();
    QList<CartItem> items;
    items.reserve(lines.size());
    for (qsizetype index = 0; index < lines.size(); ++index) {
        QString fault;
        const std::optional<CartItem> item = CartItem::fromJson(lines.at(index), &fault);
        if (!item)
            return QStringLiteral("line %1: %2").arg(index + 1).arg(fault);
        items.append(*item);
    }
    return items;
}

CartOrFault readCart(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return decodeCart(file.readAll());
}

// The fault of the write, or nothing when the file now holds `items`.
std::optional<QString> writeCart(const QString &path, const QList<CartItem> &items)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);

    QJsonArray lines;
    for (const CartItem &item : items)
        lines.append(item.toJson());

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(QJsonDocument(lines).toJson(QJsonDocument::Compact));
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

}

CartService::CartService(const QString &storePath, QObject *parent)
    : QObject(parent)
    , m_storePath(storePath)
{
    load();
}

QString CartService::defaultStorePath()
{
    return AppConfig::supportDirectory() + QStringLiteral("/cart.json");
}

QVariantList CartService::itemMaps() const
{
    QVariantList maps;
    maps.reserve(m_items.size());
    for (const CartItem &item : m_items)
        maps.append(item.toJson().toVariantMap());
    return maps;
}

void CartService::setOwned(const QSet<OwnedRef> &owned)
{
    if (owned == m_owned)
        return;
    m_owned = owned;
    emit ownedChanged();
}

bool CartService::contains(PurchaseKind kind, const QString &id) const
{
    return std::any_of(m_items.cbegin(), m_items.cend(), [&](const CartItem &line) {
        return line.kind == kind && line.id == id;
    });
}

void CartService::add(const CartItem &item)
{
    if (contains(item.kind, item.id) || m_owned.contains(OwnedRef{item.kind, item.id}))
        return;
    QList<CartItem> items = m_items;
    items.append(item);
    setItems(std::move(items));
    save();
}

void CartService::remove(const CartItem &item)
{
    QList<CartItem> items = m_items;
    items.removeIf([&](const CartItem &line) { return line.kind == item.kind && line.id == item.id; });
    setItems(std::move(items));
    save();
}

void CartService::setItems(QList<CartItem> items)
{
    if (items == m_items)
        return;
    m_items = std::move(items);
    emit itemsChanged();
}

void CartService::load()
{
    if (!QFileInfo::exists(m_storePath))
        return;
    CartOrFault loaded = readCart(m_storePath);
    if (auto *items = std::get_if<QList<CartItem>>(&loaded)) {
        setItems(std::move(*items));
        return;
    }
    qCCritical(Log::app, "cart load failed, resetting: %s",
               qUtf8Printable(std::get<QString>(loaded)));
    QFile::remove(m_storePath);
}

void CartService::save()
{
    if (const std::optional<QString> fault = writeCart(m_storePath, m_items))
        qCCritical(Log::app, "cart save failed: %s", qUtf8Printable(*fault));
}
