#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

// Column of a table as SQLite declares it; the declared type decides the JSON form.
struct TableColumn
{
    enum class Kind { Text, Number, Boolean };
    QString name;
    Kind kind = Kind::Text;
};

// The store's SQLite file: the catalog (generated on first start) and the users' side (owned here).
class StoreDatabase
{
public:
    explicit StoreDatabase(const QString &path);
    ~StoreDatabase();
    StoreDatabase(const StoreDatabase &) = delete;
    StoreDatabase &operator=(const StoreDatabase &) = delete;

    bool isOpen() const { return m_db.isOpen(); }
    QString lastError() const { return m_error; }
    QSqlDatabase &db() { return m_db; }

    // Runs one statement with positional bindings; the query is positioned before the first row.
    QSqlQuery run(const QString &sql, const QVariantList &binds = {});
    QVariant scalar(const QString &sql, const QVariantList &binds = {});
    bool transaction() { return m_db.transaction(); }
    bool commit() { return m_db.commit(); }

    bool hasTable(const QString &table);
    const QList<TableColumn> &columns(const QString &table);

    QString meta(const QString &key);
    void setMeta(const QString &key, const QString &value);
    // Removes every user, session, order and entitlement; the catalog stays.
    void clearUserData();

private:
    void createUserTables();

    QString m_connection;
    QSqlDatabase m_db;
    QString m_error;
    QHash<QString, QList<TableColumn>> m_columns;
};
