#include "Seed.h"

#include "CatalogFiles.h"
#include "CatalogPlan.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
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

QString timestamp(const QDateTime &utc) { return utc.toUTC().toString(Qt::ISODateWithMs); }

// Inserts each row into `table` from its JSON object (keys are column names) and its creation
// time: one value per column of the table, absent keys NULL, booleans 0/1. A key without a
// column fails rather than silently losing data.
template<typename Row, typename ToJson>
bool insertRows(QSqlDatabase &db, const QString &table, const QList<Row> &rows, ToJson toJson)
{
    const QSqlRecord columns = db.record(table);
    QStringList names;
    for (int i = 0; i < columns.count(); ++i)
        names.append(columns.fieldName(i));
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                           .arg(table, names.join(QStringLiteral(", ")),
                                QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", "))))) {
        qCCritical(lcSeed, "seed failed: %s", qUtf8Printable(query.lastError().text()));
        return false;
    }
    for (const Row &row : rows) {
        QJsonObject json = toJson(row);
        json.insert(QStringLiteral("created_at"), timestamp(row.createdAt));
        qsizetype bound = 0;
        for (int column = 0; column < names.size(); ++column) {
            const QJsonValue value = json.value(names[column]);
            bound += value.isUndefined() ? 0 : 1;
            query.bindValue(column, value.isBool() ? QVariant(int(value.toBool())) : value.toVariant());
        }
        if (bound != json.size()) {
            qCCritical(lcSeed, "seed failed: a %s row has a field without a column", qUtf8Printable(table));
            return false;
        }
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
    const auto recordJson = [](const auto &row) { return row.record.toJson(); };
    return insertRows(db, QStringLiteral("app_settings"), QList<AppSettingsRow>{plan.settings}, recordJson)
        && insertRows(db, QStringLiteral("wallpapers"), plan.wallpapers, recordJson)
        && insertRows(db, QStringLiteral("packs"), plan.packs, recordJson)
        && insertRows(db, QStringLiteral("pack_wallpapers"), plan.packWallpapers, [](const PackWallpaperRow &m) {
               return QJsonObject{{QStringLiteral("pack_id"), m.packId},
                                  {QStringLiteral("wallpaper_id"), m.wallpaperId},
                                  {QStringLiteral("position"), m.position}};
           });
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
