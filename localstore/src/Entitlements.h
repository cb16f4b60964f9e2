#pragma once

#include "CatalogPricing.h"

#include <QString>

class StoreContext;

// What a user owns and whether they are a member: the rules the web API and pages share.
class Entitlements
{
public:
    explicit Entitlements(StoreContext &context) : m_context(context) {}

    // Grants the wallpapers of the given lines (a pack grants its members).
    void grant(const QString &userId, const QList<CartLineRef> &items);
    bool ownsWallpaper(const QString &userId, const QString &wallpaperId);
    // A pack is owned when every one of its wallpapers is.
    bool ownsPack(const QString &userId, const QString &packId);
    bool isActiveMember(const QString &userId);
    // Starts a membership and grants this month's pack, which members keep.
    void startMembership(const QString &userId, const QString &plan);
    // Attaches guest orders made with the user's e-mail; answers how many were attached.
    int claimGuestOrders(const QString &userId, const QString &email);
    QString currentMonthKey() const;

private:
    StoreContext &m_context;
};

QList<CartLineRef> cartLinesFromJson(const QByteArray &json);
QByteArray cartLinesToJson(const QList<CartLineRef> &items);
