#include "StoreDatabase.h"

#include <QLoggingCategory>
#include <QSqlError>
#include <QUuid>

Q_LOGGING_CATEGORY(lcStoreDb, "com.quenby.zarnova.localstore")

namespace {
const char *const userTables[] = {
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT)",
    "CREATE TABLE IF NOT EXISTS users (id TEXT PRIMARY KEY, email TEXT NOT NULL UNIQUE,"
    " email_confirmed_at TEXT, last_sign_in_at TEXT, created_at TEXT NOT NULL, updated_at TEXT NOT NULL)",
    // One pending code per address; a new send replaces it.
    "CREATE TABLE IF NOT EXISTS otp_codes (email TEXT PRIMARY KEY, code TEXT NOT NULL,"
    " token_hash TEXT NOT NULL UNIQUE, type TEXT NOT NULL, sent_at INTEGER NOT NULL,"
    " expires_at INTEGER NOT NULL, redirect_to TEXT, code_challenge TEXT, code_challenge_method TEXT,"
    " failed_attempts INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS sessions (id TEXT PRIMARY KEY, user_id TEXT NOT NULL,"
    " created_at INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS refresh_tokens (token TEXT PRIMARY KEY, session_id TEXT NOT NULL,"
    " user_id TEXT NOT NULL, parent TEXT, revoked_at INTEGER, created_at INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS flow_states (auth_code TEXT PRIMARY KEY, user_id TEXT NOT NULL,"
    " code_challenge TEXT NOT NULL, code_challenge_method TEXT NOT NULL, created_at INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS checkout_sessions (id TEXT PRIMARY KEY, kind TEXT NOT NULL,"
    " user_id TEXT, email TEXT, items TEXT, plan TEXT, order_id TEXT, created_at INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS orders (id TEXT PRIMARY KEY, user_id TEXT, email TEXT NOT NULL,"
    " items TEXT NOT NULL, total_cents INTEGER NOT NULL, created_at TEXT NOT NULL)",
    // The two tables the app reads: the columns its queries name, the owner and created_at.
    "CREATE TABLE IF NOT EXISTS user_wallpaper_entitlements (user_id TEXT NOT NULL,"
    " wallpaper_id TEXT NOT NULL, created_at TIMESTAMPTZ NOT NULL, PRIMARY KEY (user_id, wallpaper_id))",
    "CREATE TABLE IF NOT EXISTS subscriptions (user_id TEXT NOT NULL, status TEXT NOT NULL,"
    " plan TEXT NOT NULL, created_at TIMESTAMPTZ NOT NULL)",
    "CREATE TABLE IF NOT EXISTS file_checksums (path TEXT PRIMARY KEY, size INTEGER NOT NULL,"
    " modified INTEGER NOT NULL, crc32 INTEGER NOT NULL)",
};

const char *const userDataTables[] = {"users", "otp_codes", "sessions", "refresh_tokens", "flow_states",
                                      "checkout_sessions", "orders", "user_wallpaper_entitlements",
                                      "subscriptions"};
}

StoreDatabase::StoreDatabase(const QString &path)
    : m_connection(QStringLiteral("localstore-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(path);
    if (!m_db.open()) {
        m_error = m_db.lastError().text();
        return;
    }
    run(QStringLiteral("PRAGMA journal_mode=WAL"));
    run(QStringLiteral("PRAGMA synchronous=NORMAL"));
    createUserTables();
}

StoreDatabase::~StoreDatabase()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlQuery StoreDatabase::run(const QString &sql, const QVariantList &binds)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        qCCritical(lcStoreDb, "statement failed: %s: %s", qUtf8Printable(sql),
                   qUtf8Printable(query.lastError().text()));
        return query;
    }
    for (const QVariant &bind : binds)
        query.addBindValue(bind);
    if (!query.exec())
        qCCritical(lcStoreDb, "statement failed: %s: %s", qUtf8Printable(sql),
                   qUtf8Printable(query.lastError().text()));
    return query;
}

QVariant StoreDatabase::scalar(const QString &sql, const QVariantList &binds)
{
    QSqlQuery query = run(sql, binds);
    return query.next() ? query.value(0) : QVariant();
}

bool StoreDatabase::hasTable(const QString &table)
{
    return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"),
                  {table})
               .toInt()
        > 0;
}

const QList<TableColumn> &StoreDatabase::columns(const QString &table)
{
    auto found = m_columns.find(table);
    if (found != m_columns.end())
        return *found;
    QList<TableColumn> columns;
    QSqlQuery query(m_db);
    // Table names come from a fixed list of exposed tables, never from the request.
    query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
    while (query.next()) {
        const QString type = query.value(2).toString().toUpper();
        TableColumn column{query.value(1).toString(), TableColumn::Kind::Text};
        if (type.contains(QStringLiteral("BOOL")))
            column.kind = TableColumn::Kind::Boolean;
        else if (type.contains(QStringLiteral("INT")) || type.contains(QStringLiteral("REAL"))
                 || type.contains(QStringLiteral("NUMERIC")) || type.contains(QStringLiteral("DOUBLE")))
            column.kind = TableColumn::Kind::Number;
        columns.append(column);
    }
    if (columns.isEmpty()) {
        // Not cached: the table may still be created (the catalog is generated after start-up checks).
        static const QList<TableColumn> none;
        return none;
    }
    return *m_columns.insert(table, columns);
}

QString StoreDatabase::meta(const QString &key)
{
    return scalar(QStringLiteral("SELECT value FROM meta WHERE key = ?"), {key}).toString();
}

void StoreDatabase::setMeta(const QString &key, const QString &value)
{
    run(QStringLiteral("INSERT OR REPLACE INTO meta (key, value) VALUES (?, ?)"), {key, value});
}

void StoreDatabase::clearUserData()
{
    for (const char *table : userDataTables)
        run(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
}

void StoreDatabase::createUserTables()
{
    for (const char *sql : userTables)
        run(QString::fromLatin1(sql));
}
