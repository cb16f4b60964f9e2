#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <variant>

// A failure in the data API's own error form: {"code","message","details","hint"}.
struct RestError
{
    int status = 400;
    QByteArray code;
    QString message;
    QString details;  // empty is written as null
    QString hint;

    QByteArray body() const;
};

struct RestSelectItem
{
    QString alias;   // output key
    QString column;  // "*" for every column
};

struct RestFilter
{
    QString column;
    bool negated = false;
    QString op;          // eq, neq, gt, gte, lt, lte, like, ilike, is, in
    QStringList values;  // one value, or the members of in.(…)
};

struct RestOrder
{
    QString column;
    bool descending = false;
    bool nullsFirst = false;  // PostgreSQL's default: first when descending, last when ascending
};

// The read parameters of a data API request: select list, filters, order, limit and offset.
struct RestQuery
{
    QList<RestSelectItem> select;
    QList<RestFilter> filters;
    QList<RestOrder> order;
    std::optional<qint64> limit;
    std::optional<qint64> offset;

    // Parses form-decoded query items; parameters that are not read parameters are filters.
    static std::variant<RestQuery, RestError> parse(const QList<std::pair<QString, QString>> &items);
};

// The members of an in.(…) list, with double-quoted members unescaped; nothing on bad syntax.
std::optional<QStringList> parseInList(const QString &text);
