#include "Seed.h"

#include "CatalogFiles.h"
#include "CatalogPlan.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

Q_LOGGING_CATEGORY(lcSeed, "com.quenby.zarnova.seed")

namespace {

// Declared types are how the server renders a column in JSON: INTEGER → number, BOOLEAN (0/1)
// → true/false, TEXT → string, TIMESTAMPTZ (ISO-8601 UTC with milliseconds) → string.
const char *const kSchema[] = {
    R"(CREATE TABLE IF NOT EXISTS app_settings (
        default_wallpaper_price_cents INTEGER NOT NULL,
        default_pack_price_cents INTEGER NOT NULL,
        subscription_monthly_cents INTEGER,
        subscription_yearly_cents INTEGER,
        yearly_monthly_credits INTEGER,
        created_at TIMESTAMPTZ NOT NULL))",
    R"(CREATE TABLE IF NOT EXISTS wallpapers (
        id TEXT PRIMARY KEY NOT NULL,
        slug TEXT NOT NULL UNIQUE,
        title TEXT NOT NULL,
        description TEXT,
        price_cents INTEGER,
        landscape_preview_path TEXT NOT NULL,
        portrait_preview_path TEXT NOT NULL,
        landscape_file_path TEXT NOT NULL,
        portrait_file_path TEXT NOT NULL,
        landscape_width INTEGER,
        landscape_height INTEGER,
        portrait_width INTEGER,
        portrait_height INTEGER,
        is_published BOOLEAN NOT NULL,
        created_at TIMESTAMPTZ NOT NULL))",
    R"(CREATE TABLE IF NOT EXISTS packs (
        id TEXT PRIMARY KEY NOT NULL,
        slug TEXT NOT NULL UNIQUE,
        title TEXT NOT NULL,
        description TEXT,
        price_cents INTEGER,
        preview_path TEXT NOT NULL,
        is_published BOOLEAN NOT NULL,
        is_monthly BOOLEAN NOT NULL,
        monthly_month TEXT,
        created_at TIMESTAMPTZ NOT NULL))",
    R"(CREATE TABLE IF NOT EXISTS pack_wallpapers (
        pack_id TEXT NOT NULL REFERENCES packs(id),
        wallpaper_id TEXT NOT NULL REFERENCES wallpapers(id),
        position INTEGER NOT NULL,
        created_at TIMESTAMPTZ NOT NULL,
        PRIMARY KEY (pack_id, wallpaper_id)))",
};

template<typename T>
QVariant nullable(const std::optional<T> &value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}

QString timestamp(const QDateTime &utc) { return utc.toUTC().toString(Qt::ISODateWithMs); }

// Runs a prepared statement once per row; `bind` fills the placeholders in column order.
template<typename Row, typename Bind>
bool insertRows(QSqlDatabase &db, const char *statement, const QList<Row> &rows, Bind bind)
{
    QSqlQuery query(db);
    if (!query.prepare(QString::fromLatin1(statement))) {
        qCCritical(lcSeed, "seed failed: %s", qUtf8Printable(query.lastError().text()));
        return false;
    }
    for (const Row &row : rows) {
        int column = 0;
        for (const QVariant &value : bind(row))
            query.bindValue(column++, value);
        if (!query.exec()) {
            qCCritical(lcSeed, "seed failed: %s", qUtf8Printable(query.lastError().text()));
            return false;
        }
    }
    return true;
}

bool createSchema(QSqlDatabase &db)
{
    QSqlQuery query(db);
    for (const char *statement : kSchema) {
        if (!query.exec(QString::fromLatin1(statement))) {
            qCCritical(lcSeed, "seed failed: %s", qUtf8Printable(query.lastError().text()));
            return false;
        }
    }
    return true;
}

// False as well when the tables do not exist yet.
bool catalogPresent(QSqlDatabase &db)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM app_settings) OR EXISTS (SELECT 1 FROM wallpapers)"
                                     " OR EXISTS (SELECT 1 FROM packs)"))
        && query.next() && query.value(0).toBool();
}

bool insertCatalog(QSqlDatabase &db, const CatalogPlan &plan)
{
    const bool inserted =
        insertRows(db,
                   "INSERT INTO app_settings (default_wallpaper_price_cents, default_pack_price_cents,"
                   " subscription_monthly_cents, subscription_yearly_cents, yearly_monthly_credits, created_at)"
                   " VALUES (?, ?, ?, ?, ?, ?)",
                   QList<AppSettingsRow>{plan.settings},
                   [](const AppSettingsRow &s) {
                       return QVariantList{s.defaultWallpaperPriceCents, s.defaultPackPriceCents,
                                           nullable(s.subscriptionMonthlyCents), nullable(s.subscriptionYearlyCents),
                                           nullable(s.yearlyMonthlyCredits), timestamp(s.createdAt)};
                   })
        && insertRows(db,
                      "INSERT INTO wallpapers (id, slug, title, description, price_cents, landscape_preview_path,"
                      " portrait_preview_path, landscape_file_path, portrait_file_path, landscape_width,"
                      " landscape_height, portrait_width, portrait_height, is_published, created_at)"
                      " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                      plan.wallpapers,
                      [](const WallpaperRow &w) {
                          return QVariantList{w.id, w.slug, w.title, nullable(w.description), nullable(w.priceCents),
                                              w.landscapePreviewPath, w.portraitPreviewPath, w.landscapeFilePath,
                                              w.portraitFilePath, nullable(w.landscapeWidth),
                                              nullable(w.landscapeHeight), nullable(w.portraitWidth),
                                              nullable(w.portraitHeight), int(w.isPublished), timestamp(w.createdAt)};
                      })
        && insertRows(db,
                      "INSERT INTO packs (id, slug, title, description, price_cents, preview_path, is_published,"
                      " is_monthly, monthly_month, created_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                      plan.packs,
                      [](const PackRow &p) {
                          return QVariantList{p.id, p.slug, p.title, nullable(p.description), nullable(p.priceCents),
                                              p.previewPath, int(p.isPublished), int(p.isMonthly),
                                              nullable(p.monthlyMonth), timestamp(p.createdAt)};
                      })
        && insertRows(db,
                      "INSERT INTO pack_wallpapers (pack_id, wallpaper_id, position, created_at) VALUES (?, ?, ?, ?)",
                      plan.packWallpapers, [](const PackWallpaperRow &m) {
                          return QVariantList{m.packId, m.wallpaperId, m.position, timestamp(m.createdAt)};
                      });
    return inserted;
}

} // namespace

bool seedCatalog(QSqlDatabase &db, const QString &storageRoot, const SeedOptions &options)
{
    if (catalogPresent(db)) {
        qCInfo(lcSeed, "catalog already seeded; leaving it as it is");
        return true;
    }
    QElapsedTimer clock;
    clock.start();
    const CatalogPlan plan = planCatalog(options);
    // Files first, then tables and rows in one transaction: a seed cut short leaves no table, so
    // the next start seeds again, and rows that exist always name files that exist.
    QString failure;
    if (!writeCatalogFiles(plan, storageRoot, options, &failure)) {
        qCCritical(lcSeed, "seed failed: %s", qUtf8Printable(failure));
        return false;
    }
    if (!db.transaction()) {
        qCCritical(lcSeed, "seed failed: %s", qUtf8Printable(db.lastError().text()));
        return false;
    }
    if (!createSchema(db) || !insertCatalog(db, plan)) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        qCCritical(lcSeed, "seed failed: %s", qUtf8Printable(db.lastError().text()));
        db.rollback();
        return false;
    }
    qCInfo(lcSeed, "seeded %lld wallpapers and %lld packs in %lld ms", qlonglong(plan.wallpapers.size()),
           qlonglong(plan.packs.size()), qlonglong(clock.elapsed()));
    return true;
}
