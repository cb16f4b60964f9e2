#include "TestControls.h"

#include "Json.h"
#include "StoreContext.h"
#include "WebApi.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
const QHash<QString, InjectedFault::Kind> faultKinds = {
    {QStringLiteral("status"), InjectedFault::Kind::Status},
    {QStringLiteral("delay"), InjectedFault::Kind::Delay},
    {QStringLiteral("drop"), InjectedFault::Kind::Drop},
    {QStringLiteral("truncate"), InjectedFault::Kind::Truncate},
};
}

std::optional<InjectedFault> TestControls::takeFault(const QString &path)
{
    for (qsizetype i = 0; i < m_faults.size(); ++i) {
        InjectedFault &fault = m_faults[i];
        if (!path.startsWith(fault.prefix))
            continue;
        InjectedFault taken = fault;
        if (--fault.remaining <= 0)
            m_faults.removeAt(i);
        return taken;
    }
    return std::nullopt;
}

HttpResponse TestControls::handle(const HttpRequest &request, const QString &path)
{
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    if (path == QStringLiteral("outbox") && get)
        return outbox(request);
    if (path == QStringLiteral("faults") && post)
        return addFault(request);
    if (path == QStringLiteral("faults") && request.method == "DELETE") {
        m_faults.clear();
        return HttpResponse(204, {}, {});
    }
    if (path == QStringLiteral("requests") && get) {
        QJsonObject counts;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
            counts.insert(it.key(), it.value());
        return HttpResponse::json(200, compactJson(counts));
    }
    if (path == QStringLiteral("reset") && post) {
        const auto body = parseJsonObject(request.body.isEmpty() ? QByteArray("{}") : request.body);
        m_faults.clear();
        m_counts.clear();
        m_context.outbox().clear();
        m_context.clock().reset();
        if (body && body->value(QStringLiteral("data")).toBool())
            m_context.db().clearUserData();
        else
            m_context.db().run(QStringLiteral("DELETE FROM otp_codes"));
        return HttpResponse(204, {}, {});
    }
    if (path == QStringLiteral("clock") && (get || post)) {
        if (post) {
            const auto body = parseJsonObject(request.body);
            if (!body || !body->value(QStringLiteral("advance")).isDouble())
                return webError(400, "invalid_clock", QStringLiteral("Send {\"advance\": seconds}."));
            m_context.clock().advance(qint64(body->value(QStringLiteral("advance")).toDouble()));
        }
        return HttpResponse::json(200, compactJson(QJsonObject{{QStringLiteral("now"), isoTimestamp(m_context.clock().now())},
                                                               {QStringLiteral("unix"), m_context.clock().nowSecs()},
                                                               {QStringLiteral("offset"), m_context.clock().offsetSecs()}}));
    }
    return webError(404, "not_found", QStringLiteral("No such control."));
}

HttpResponse TestControls::outbox(const HttpRequest &request)
{
    const QString to = request.queryValue(QStringLiteral("email")).trimmed().toLower();
    QJsonArray mails;
    for (const Mail &mail : m_context.outbox().mails()) {
        if (!to.isEmpty() && mail.to != to)
            continue;
        mails.append(QJsonObject{{QStringLiteral("to"), mail.to},
                                 {QStringLiteral("subject"), mail.subject},
                                 {QStringLiteral("code"), mail.code},
                                 {QStringLiteral("link"), mail.link},
                                 {QStringLiteral("type"), mail.type},
                                 {QStringLiteral("sent_at"), isoTimestamp(mail.sentAt)}});
    }
    return HttpResponse::json(200, QJsonDocument(mails).toJson(QJsonDocument::Compact));
}

HttpResponse TestControls::addFault(const HttpRequest &request)
{
    const auto body = parseJsonObject(request.body);
    if (!body)
        return webError(400, "invalid_json", QStringLiteral("The body must be a JSON object."));
    InjectedFault fault;
    fault.prefix = body->value(QStringLiteral("prefix")).toString();
    const QString kind = body->value(QStringLiteral("kind")).toString(QStringLiteral("status"));
    if (!fault.prefix.startsWith(u'/') || !faultKinds.contains(kind))
        return webError(400, "invalid_fault",
                        QStringLiteral("Send prefix (a path starting with /) and kind (status, delay, drop or truncate)."));
    fault.kind = faultKinds.value(kind);
    fault.status = body->value(QStringLiteral("status")).toInt(503);
    const QJsonValue faultBody = body->value(QStringLiteral("body"));
    fault.body = faultBody.isObject() || faultBody.isArray()
        ? (faultBody.isObject() ? compactJson(faultBody.toObject()) : QJsonDocument(faultBody.toArray()).toJson(QJsonDocument::Compact))
        : faultBody.toString().toUtf8();
    fault.delayMs = body->value(QStringLiteral("delay_ms")).toInt(60000);
    fault.remaining = body->value(QStringLiteral("count")).toInt(1);
    if (fault.status < 100 || fault.status > 599 || fault.remaining < 1 || fault.delayMs < 0)
        return webError(400, "invalid_fault", QStringLiteral("status must be 100-599, count at least 1, delay_ms not negative."));
    m_faults.append(fault);
    return HttpResponse::json(201, "{}");
}
