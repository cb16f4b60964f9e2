#include "RestQuery.h"

#include "Json.h"

#include <QSet>

namespace {
const QSet<QString> operators = {
    QStringLiteral("eq"), QStringLiteral("neq"), QStringLiteral("gt"), QStringLiteral("gte"),
    QStringLiteral("lt"), QStringLiteral("lte"), QStringLiteral("like"), QStringLiteral("ilike"),
    QStringLiteral("is"), QStringLiteral("in")};

// Parameters that shape the request rather than filter rows.
const QSet<QString> ignoredParameters = {QStringLiteral("apikey"), QStringLiteral("columns"),
                                         QStringLiteral("on_conflict")};

RestError parseError(const QString &what, const QString &text, const QString &details)
{
    return {400, "PGRST100", QStringLiteral("\"failed to parse %1 (%2)\" (line 1, column 1)").arg(what, text),
            details, {}};
}

bool isIdentifier(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() || c == u'_'))
            return false;
    }
    return true;
}

std::variant<QList<RestSelectItem>, RestError> parseSelect(const QString &text)
{
    QList<RestSelectItem> items;
    for (QString part : text.split(u',')) {
        part = part.trimmed();
        if (part.contains(u'(') || part.contains(u')'))
            return RestError{400, "PGRST200",
                             QStringLiteral("Could not find a relationship for '%1' in the schema cache")
                                 .arg(part.section(u'(', 0, 0)),
                             {}, {}};
        const qsizetype cast = part.indexOf(QStringLiteral("::"));
        if (cast >= 0)
            part.truncate(cast);
        RestSelectItem item;
        const qsizetype colon = part.indexOf(u':');
        item.column = colon >= 0 ? part.mid(colon + 1).trimmed() : part;
        item.alias = colon >= 0 ? part.left(colon).trimmed() : item.column;
        if (item.column != QStringLiteral("*") && (!isIdentifier(item.column) || !isIdentifier(item.alias)))
            return parseError(QStringLiteral("select parameter"), text,
                              QStringLiteral("unexpected \"%1\" expecting field name (* or [a..z0..9_$])").arg(part));
        items.append(item);
    }
    return items;
}

std::variant<QList<RestOrder>, RestError> parseOrder(const QString &text)
{
    QList<RestOrder> order;
    for (const QString &term : text.split(u',')) {
        const QStringList parts = term.trimmed().split(u'.');
        RestOrder item;
        item.column = parts.first();
        bool directionSeen = false;
        bool nullsSeen = false;
        bool nullsFirst = false;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QString &modifier = parts[i];
            if (!directionSeen && !nullsSeen && (modifier == QStringLiteral("asc") || modifier == QStringLiteral("desc"))) {
                item.descending = modifier == QStringLiteral("desc");
                directionSeen = true;
            } else if (!nullsSeen && (modifier == QStringLiteral("nullsfirst") || modifier == QStringLiteral("nullslast"))) {
                nullsFirst = modifier == QStringLiteral("nullsfirst");
                nullsSeen = true;
            } else {
                return parseError(QStringLiteral("order"), text,
                                  QStringLiteral("unexpected \"%1\" expecting \"asc\", \"desc\", \"nullsfirst\" or \"nullslast\"")
                                      .arg(modifier));
            }
        }
        if (!isIdentifier(item.column))
            return parseError(QStringLiteral("order"), text,
                              QStringLiteral("unexpected \"%1\" expecting field name").arg(item.column));
        item.nullsFirst = nullsSeen ? nullsFirst : item.descending;
        order.append(item);
    }
    return order;
}

std::optional<qint64> parseCount(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}
}

QByteArray RestError::body() const
{
    QByteArray out = "{\"code\":";
    appendJsonString(out, QString::fromLatin1(code));
    out += ",\"details\":";
    out += details.isEmpty() ? QByteArray("null") : jsonString(details);
    out += ",\"hint\":";
    out += hint.isEmpty() ? QByteArray("null") : jsonString(hint);
    out += ",\"message\":";
    appendJsonString(out, message);
    out += '}';
    return out;
}

std::optional<QStringList> parseInList(const QString &text)
{
    if (!text.startsWith(u'(') || !text.endsWith(u')') || text.size() < 2)
        return std::nullopt;
    const QString inner = text.mid(1, text.size() - 2);
    QStringList values;
    if (inner.isEmpty())
        return values;
    qsizetype i = 0;
    while (true) {
        QString value;
        if (i < inner.size() && inner[i] == u'"') {
            ++i;
            bool closed = false;
            while (i < inner.size()) {
                const QChar c = inner[i++];
                if (c == u'\\') {
                    if (i >= inner.size())
                        return std::nullopt;
                    value += inner[i++];
                } else if (c == u'"') {
                    closed = true;
                    break;
                } else {
                    value += c;
                }
            }
            if (!closed || (i < inner.size() && inner[i] != u','))
                return std::nullopt;
        } else {
            while (i < inner.size() && inner[i] != u',') {
                const QChar c = inner[i++];
                if (c == u'(' || c == u')' || c == u'"')
                    return std::nullopt;
                value += c;
            }
        }
        values.append(value);
        if (i >= inner.size())
            return values;
        ++i;  // the comma
        if (i >= inner.size()) {
            values.append(QString());
            return values;
        }
    }
}

std::variant<RestQuery, RestError> RestQuery::parse(const QList<std::pair<QString, QString>> &items)
{
    RestQuery query;
    for (const auto &[key, value] : items) {
        if (key == QStringLiteral("select")) {
            auto select = parseSelect(value);
            if (auto *error = std::get_if<RestError>(&select))
                return *error;
            query.select = std::get<QList<RestSelectItem>>(select);
        } else if (key == QStringLiteral("order")) {
            auto order = parseOrder(value);
            if (auto *error = std::get_if<RestError>(&order))
                return *error;
            query.order = std::get<QList<RestOrder>>(order);
        } else if (key == QStringLiteral("limit") || key == QStringLiteral("offset")) {
            const auto count = parseCount(value);
            if (!count)
                return parseError(key == QStringLiteral("limit") ? QStringLiteral("limit parameter")
                                                                 : QStringLiteral("offset parameter"),
                                  value, QStringLiteral("expecting a non-negative integer"));
            (key == QStringLiteral("limit") ? query.limit : query.offset) = count;
        } else if (key == QStringLiteral("or") || key == QStringLiteral("and")
                   || key.startsWith(QStringLiteral("not."))) {
            return parseError(QStringLiteral("logic tree"), value,
                              QStringLiteral("logic trees are not served by this store"));
        } else if (!ignoredParameters.contains(key)) {
            RestFilter filter;
            filter.column = key;
            QString rest = value;
            if (rest.startsWith(QStringLiteral("not."))) {
                filter.negated = true;
                rest = rest.mid(4);
            }
            const qsizetype dot = rest.indexOf(u'.');
            filter.op = dot < 0 ? rest : rest.left(dot);
            if (dot < 0 || !operators.contains(filter.op))
                return parseError(QStringLiteral("filter"), value,
                                  QStringLiteral("unexpected \"%1\" expecting \"not\" or operator (eq, gt, ...)")
                                      .arg(filter.op));
            const QString operand = rest.mid(dot + 1);
            if (filter.op == QStringLiteral("in")) {
                const auto members = parseInList(operand);
                if (!members)
                    return parseError(QStringLiteral("filter"), value,
                                      QStringLiteral("unexpected \"%1\" expecting a parenthesised list").arg(operand));
                filter.values = *members;
            } else if (filter.op == QStringLiteral("is")) {
                static const QStringList allowed = {QStringLiteral("null"), QStringLiteral("not_null"),
                                                    QStringLiteral("true"), QStringLiteral("false"),
                                                    QStringLiteral("unknown")};
                if (!allowed.contains(operand.toLower()))
                    return parseError(QStringLiteral("filter"), value,
                                      QStringLiteral("unexpected \"%1\" expecting null or trilean value").arg(operand));
                filter.values = {operand.toLower()};
            } else {
                filter.values = {operand};
            }
            if (!isIdentifier(filter.column))
                return parseError(QStringLiteral("filter"), value,
                                  QStringLiteral("unexpected \"%1\" expecting field name").arg(filter.column));
            query.filters.append(filter);
        }
    }
    return query;
}
