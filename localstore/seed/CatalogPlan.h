#pragma once

#include "AppSettings.h"
#include "Pack.h"
#include "Seed.h"
#include "Wallpaper.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The rows of a seeded catalog, before they reach the database or the renderer: the domain
// record plus what only the catalog generator knows.
struct AppSettingsRow {
    AppSettings record;
    QDateTime createdAt;
};

struct WallpaperRow {
    Wallpaper record;
    QDateTime createdAt;
    quint64 artSeed = 0;
};

struct PackRow {
    Pack record;
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
