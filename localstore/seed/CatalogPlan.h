#pragma once

#include "Seed.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The rows of a seeded catalog, before they reach the database or the renderer.
struct AppSettingsRow {
    qint64 defaultWallpaperPriceCents = 0;
    qint64 defaultPackPriceCents = 0;
    std::optional<qint64> subscriptionMonthlyCents;
    std::optional<qint64> subscriptionYearlyCents;
    std::optional<qint64> yearlyMonthlyCredits;
    QDateTime createdAt;
};

struct WallpaperRow {
    QString id;
    QString slug;
    QString title;
    std::optional<QString> description;
    std::optional<qint64> priceCents;
    QString landscapePreviewPath;
    QString portraitPreviewPath;
    QString landscapeFilePath;
    QString portraitFilePath;
    std::optional<qint64> landscapeWidth;
    std::optional<qint64> landscapeHeight;
    std::optional<qint64> portraitWidth;
    std::optional<qint64> portraitHeight;
    bool isPublished = true;
    QDateTime createdAt;
    quint64 artSeed = 0;
};

struct PackRow {
    QString id;
    QString slug;
    QString title;
    std::optional<QString> description;
    std::optional<qint64> priceCents;
    QString previewPath;
    bool isPublished = true;
    bool isMonthly = false;
    std::optional<QString> monthlyMonth;
    QDateTime createdAt;
    quint64 artSeed = 0;
};

struct PackWallpaperRow {
    QString packId;
    QString wallpaperId;
    qint64 position = 0;
    QDateTime createdAt;
};

struct CatalogPlan {
    AppSettingsRow settings;
    QList<WallpaperRow> wallpapers; // newest first
    QList<PackRow> packs;           // newest first
    QList<PackWallpaperRow> packWallpapers;
};

// Everything is derived from the options alone: the same options give the same plan.
CatalogPlan planCatalog(const SeedOptions &options);

// "YYYY-MM" of the given month.
QString monthKey(QDate date);
