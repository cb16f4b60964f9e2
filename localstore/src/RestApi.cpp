#include "RestApi.h"

#include "Json.h"
#include "StoreContext.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {
// Who may read what, as the row-level policies of the deployment say.
enum class RowRule { Everyone, Published, OwnRows };

struct ExposedTable
{
    const char *name;
    RowRule rule;
};

constexpr ExposedTable exposedTables[] = {
    {"app_settings", RowRule::Everyone},
    {"wallpapers", RowRule::Published},
    {"packs", RowRule::Published},
    {"pack_wallpapers", RowRule::Everyone},
    {"user_wallpaper_entitlements", RowRule::OwnRows},
    {"subscriptions", RowRule::OwnRows},
};

const ExposedTable *findTable(const QString &name)
{
    for (const ExposedTable &table : exposedTables) {
        if (name == QLatin1String(table.name))
            return &table;
    }
    return nullptr;
}

QString quoted(const QString &identifier)
{
    return u'"' + identifier + u'"';
}

RestError unknownColumn(const QString &table, const QString &column)
{
    return {400, "42703", QStringLiteral("column %1.%2 does not exist").arg(table, column), {}, {}};
}

QString postgresType(TableColumn::Kind kind)
{
    switch (kind) {
    case TableColumn::Kind::Boolean: return QStringLiteral("boolean");
    case TableColumn::Kind::Number: return QStringLiteral("bigint");
    case TableColumn::Kind::Text: return QStringLiteral("text");
    }
    return {};
}

// Turns a filter operand into the value SQLite compares with, as PostgreSQL would cast it.
std::variant<QVariant, RestError> castOperand(const TableColumn &column, const QString &text)
{
    switch (column.kind) {
    case TableColumn::Kind::Boolean: {
        static const QStringList truthy = {QStringLiteral("true"), QStringLiteral("t"), QStringLiteral("yes"),
                                           QStringLiteral("y"), QStringLiteral("on"), QStringLiteral("1")};
        static const QStringList falsy = {QStringLiteral("false"), QStringLiteral("f"), QStringLiteral("no"),
                                          QStringLiteral("n"), QStringLiteral("off"), QStringLiteral("0")};
        const QString lower = text.trimmed().toLower();
        if (truthy.contains(lower))
            return QVariant(1);
        if (falsy.contains(lower))
            return QVariant(0);
        break;
    }
    case TableColumn::Kind::Number: {
        bool ok = false;
        const qint64 integer = text.trimmed().toLongLong(&ok);
        if (ok)
            return QVariant(integer);
        const double real = text.trimmed().toDouble(&ok);
        if (ok)
            return QVariant(real);
        break;
    }
    case TableColumn::Kind::Text:
        return QVariant(text);
    }
    return RestError{400, "22P02",
                     QStringLiteral("invalid input syntax for type %1: \"%2\"").arg(postgresType(column.kind), text),
                     {}, {}};
}

// A like pattern ("*" or "%" any run, "_" one character) as a case-sensitive GLOB.
QString likeToGlob(const QString &pattern)
{
    QString glob;
    for (const QChar c : pattern) {
        if (c == u'*' || c == u'%')
            glob += u'*';
        else if (c == u'_')
            glob += u'?';
        else if (c == u'?' || c == u'[' || c == u']')
            glob += u'[' + QString(c) + u']';
        else
            glob += c;
    }
    return glob;
}

std::optional<RestError> addFilter(const QString &table, const QList<TableColumn> &columns,
                                   const RestFilter &filter, QStringList &where, QVariantList &binds)
{
    const auto column = std::find_if(columns.begin(), columns.end(),
                                     [&](const TableColumn &c) { return c.name == filter.column; });
    if (column == columns.end())
        return unknownColumn(table, filter.column);
    const QString name = quoted(column->name);
    QString condition;
    if (filter.op == QStringLiteral("is")) {
        const QString value = filter.values.first();
        if (value == QStringLiteral("null") || value == QStringLiteral("unknown"))
            condition = name + QStringLiteral(" IS NULL");
        else if (value == QStringLiteral("not_null"))
            condition = name + QStringLiteral(" IS NOT NULL");
        else
            condition = name + (value == QStringLiteral("true") ? QStringLiteral(" IS 1") : QStringLiteral(" IS 0"));
    } else if (filter.op == QStringLiteral("in")) {
        if (filter.values.isEmpty()) {
            condition = QStringLiteral("0");
        } else {
            QStringList marks;
            for (const QString &value : filter.values) {
                auto cast = castOperand(*column, value);
                if (auto *error = std::get_if<RestError>(&cast))
                    return *error;
                binds.append(std::get<QVariant>(cast));
                marks.append(QStringLiteral("?"));
            }
            condition = name + QStringLiteral(" IN (") + marks.join(u',') + u')';
        }
    } else if (filter.op == QStringLiteral("like") || filter.op == QStringLiteral("ilike")) {
        if (column->kind != TableColumn::Kind::Text)
            return RestError{404, "42883",
                             QStringLiteral("operator does not exist: %1 ~~ unknown").arg(postgresType(column->kind)),
                             {}, QStringLiteral("No operator matches the given name and argument types.")};
        if (filter.op == QStringLiteral("like")) {
            condition = name + QStringLiteral(" GLOB ?");
            binds.append(likeToGlob(filter.values.first()));
        } else {
            condition = QStringLiteral("lower(%1) GLOB lower(?)").arg(name);
            binds.append(likeToGlob(filter.values.first()));
        }
    } else {
        static const QHash<QString, QString> sqlOperators = {
            {QStringLiteral("eq"), QStringLiteral("=")},  {QStringLiteral("neq"), QStringLiteral("<>")},
            {QStringLiteral("gt"), QStringLiteral(">")},  {QStringLiteral("gte"), QStringLiteral(">=")},
            {QStringLiteral("lt"), QStringLiteral("<")},  {QStringLiteral("lte"), QStringLiteral("<=")}};
        auto cast = castOperand(*column, filter.values.first());
        if (auto *error = std::get_if<RestError>(&cast))
            return *error;
        binds.append(std::get<QVariant>(cast));
        condition = name + u' ' + sqlOperators.value(filter.op) + QStringLiteral(" ?");
    }
    // SQL NULL logic matches PostgreSQL's: a negated comparison with NULL is still not true.
    where.append(filter.negated ? QStringLiteral("NOT (%1)").arg(condition) : u'(' + condition + u')');
    return std::nullopt;
}

void appendValue(QByteArray &out, const QVariant &value, TableColumn::Kind kind)
{
    if (value.isNull()) {
        out += "null";
        return;
    }
    switch (kind) {
    case TableColumn::Kind::Boolean:
        out += value.toLongLong() != 0 ? "true" : "false";
        return;
    case TableColumn::Kind::Number:
        if (value.typeId() == QMetaType::Double)
            out += QByteArray::number(value.toDouble(), 'g', 17);
        else
            out += QByteArray::number(value.toLongLong());
        return;
    case TableColumn::Kind::Text:
        appendJsonString(out, value.toString());
        return;
    }
}
}

HttpResponse restErrorResponse(const RestError &error)
{
    HttpResponse response = HttpResponse::json(error.status, error.body());
    response.setHeader("Proxy-Status", "PostgREST; error=" + error.code);
    return response;
}

HttpResponse RestApi::handle(const HttpRequest &request, const QString &path)
{
    const QByteArray profile = request.header(request.method == "GET" || request.method == "HEAD"
                                                  ? "accept-profile" : "content-profile");
    if (!profile.isEmpty() && profile != "public")
        return restErrorResponse({406, "PGRST106", QStringLiteral("Invalid schema: %1").arg(QString::fromUtf8(profile)),
                                  {}, QStringLiteral("Only the following schemas are exposed: public")});

    const Caller caller = m_context.caller(request, CredentialSource::BearerOnly, 30, false);
    if (caller.status == Caller::Status::BadToken)
        return restErrorResponse({401, "PGRST301", QStringLiteral("No suitable key or wrong key type"), {}, {}});
    if (caller.status == Caller::Status::Expired) {
        HttpResponse response = restErrorResponse({401, "PGRST303", QStringLiteral("JWT expired"), {}, {}});
        response.setHeader("WWW-Authenticate", "Bearer error=\"invalid_token\", error_description=\"JWT expired\"");
        return response;
    }

    if (path.startsWith(QStringLiteral("rpc/")))
        return restErrorResponse({404, "PGRST202",
                                  QStringLiteral("Could not find the function public.%1 without parameters in the schema cache")
                                      .arg(path.mid(4)),
                                  {}, {}});
    const ExposedTable *table = findTable(path);
    if (!table || !m_context.db().hasTable(path))
        return restErrorResponse({404, "PGRST205",
                                  QStringLiteral("Could not find the table 'public.%1' in the schema cache").arg(path),
                                  {}, {}});
    if (request.method != "GET" && request.method != "HEAD") {
        const bool anonymous = !caller.signedIn();
        return restErrorResponse({anonymous ? 401 : 403, "42501",
                                  QStringLiteral("permission denied for table %1").arg(path), {}, {}});
    }

    const bool cacheable = table->rule != RowRule::OwnRows;
    const QByteArray cacheKey = path.toUtf8() + '?' + request.rawQuery + '\n' + request.header("accept") + '\n'
        + request.header("prefer");
    if (cacheable) {
        const qint64 version = m_context.db().scalar(QStringLiteral("PRAGMA data_version")).toLongLong();
        if (version != m_cacheVersion) {
            m_cache.clear();
            m_cacheVersion = version;
        }
        const auto hit = m_cache.constFind(cacheKey);
        if (hit != m_cache.constEnd()) {
            HttpResponse response = HttpResponse::json(200, hit->body);
            response.setHeader("Content-Range", hit->range);
            return response;
        }
    }

    auto parsed = RestQuery::parse(request.queryItems());
    if (auto *error = std::get_if<RestError>(&parsed))
        return restErrorResponse(*error);
    const RestQuery &query = std::get<RestQuery>(parsed);
    const QList<TableColumn> &columns = m_context.db().columns(path);

    QList<std::pair<QString, TableColumn>> output;
    const QList<RestSelectItem> select = query.select.isEmpty() ? QList<RestSelectItem>{{QStringLiteral("*"), QStringLiteral("*")}}
                                                                : query.select;
    for (const RestSelectItem &item : select) {
        if (item.column == QStringLiteral("*")) {
            for (const TableColumn &column : columns)
                output.append({column.name, column});
            continue;
        }
        const auto column = std::find_if(columns.begin(), columns.end(),
                                         [&](const TableColumn &c) { return c.name == item.column; });
        if (column == columns.end())
            return restErrorResponse(unknownColumn(path, item.column));
        output.append({item.alias, *column});
    }

    QStringList where;
    QVariantList binds;
    switch (table->rule) {
    case RowRule::Everyone:
        break;
    case RowRule::Published:
        where.append(QStringLiteral("\"is_published\" = 1"));
        break;
    case RowRule::OwnRows:
        where.append(QStringLiteral("\"user_id\" = ?"));
        binds.append(caller.signedIn() ? caller.userId : QString());
        break;
    }
    for (const RestFilter &filter : query.filters) {
        if (auto error = addFilter(path, columns, filter, where, binds))
            return restErrorResponse(*error);
    }
    QStringList orderTerms;
    for (const RestOrder &order : query.order) {
        if (std::none_of(columns.begin(), columns.end(), [&](const TableColumn &c) { return c.name == order.column; }))
            return restErrorResponse(unknownColumn(path, order.column));
        orderTerms.append(quoted(order.column) + (order.descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"))
                          + (order.nullsFirst ? QStringLiteral(" NULLS FIRST") : QStringLiteral(" NULLS LAST")));
    }
    orderTerms.append(QStringLiteral("rowid"));

    QStringList selected;
    for (const auto &entry : output)
        selected.append(quoted(entry.second.name));
    const QString whereClause = where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    QString sql = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4")
                      .arg(selected.isEmpty() ? QStringLiteral("1") : selected.join(u','), quoted(path), whereClause,
                           orderTerms.join(u','));
    sql += QStringLiteral(" LIMIT %1 OFFSET %2").arg(query.limit.value_or(-1)).arg(query.offset.value_or(0));

    QSqlQuery rows = m_context.db().run(sql, binds);
    QByteArray body = "[";
    qint64 count = 0;
    while (rows.next()) {
        if (count++ > 0)
            body += ',';
        body += '{';
        for (qsizetype i = 0; i < output.size(); ++i) {
            if (i > 0)
                body += ',';
            appendJsonString(body, output[i].first);
            body += ':';
            appendValue(body, rows.value(int(i)), output[i].second.kind);
        }
        body += '}';
    }
    body += ']';

    const qint64 offset = query.offset.value_or(0);
    QByteArray total = "*";
    if (request.header("prefer").contains("count=exact")) {
        QVariantList countBinds = binds;
        total = QByteArray::number(
            m_context.db().scalar(QStringLiteral("SELECT count(*) FROM %1%2").arg(quoted(path), whereClause), countBinds)
                .toLongLong());
    }
    const QByteArray range = count == 0 ? "*/" + total
                                        : QByteArray::number(offset) + '-' + QByteArray::number(offset + count - 1) + '/' + total;

    if (request.header("accept").contains("application/vnd.pgrst.object+json")) {
        if (count != 1)
            return restErrorResponse({406, "PGRST116", QStringLiteral("Cannot coerce the result to a single JSON object"),
                                      QStringLiteral("The result contains %1 rows").arg(count), {}});
        body = body.mid(1, body.size() - 2);
    }
    if (cacheable) {
        if (m_cache.size() >= 32)
            m_cache.clear();
        m_cache.insert(cacheKey, {body, range});
    }
    HttpResponse response = HttpResponse::json(200, body);
    response.setHeader("Content-Range", range);
    return response;
}
