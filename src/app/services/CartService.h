#pragma once

#include "CartItem.h"
#include "OwnedRef.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QVariantList>

// The shopping cart of this machine (not of an account): lines in the order they were added,
// kept in a small JSON file so they survive relaunches. Prices and deals are computed from
// the lines elsewhere; nothing but remove() takes a line out.
class CartService : public QObject
{
    Q_OBJECT
    // Each line as a map with the cart file's keys, for the screens.
    Q_PROPERTY(QVariantList items READ itemMaps NOTIFY itemsChanged)
    // What the user already owns: add() refuses those. Starts empty; the library fills it.
    Q_PROPERTY(QSet<OwnedRef> owned READ owned WRITE setOwned NOTIFY ownedChanged)

public:
    // Loads the cart at once from `storePath`, by default cart.json in the support folder.
    explicit CartService(const QString &storePath = defaultStorePath(), QObject *parent = nullptr);

    static QString defaultStorePath();

    QList<CartItem> items() const { return m_items; }
    QVariantList itemMaps() const;

    QSet<OwnedRef> owned() const { return m_owned; }
    void setOwned(const QSet<OwnedRef> &owned);

    // Exact, case-sensitive identifier match.
    bool contains(PurchaseKind kind, const QString &id) const;
    // Appends unless a line of the same kind and id is there, or the item is owned; saves
    // when it appended.
    void add(const CartItem &item);
    // Removes every line of the item's kind and id, then saves.
    void remove(const CartItem &item);

signals:
    void itemsChanged();
    void ownedChanged();

private:
    void load();
    void save();
    void setItems(QList<CartItem> items);

    const QString m_storePath;
    QList<CartItem> m_items;
    QSet<OwnedRef> m_owned;
};
