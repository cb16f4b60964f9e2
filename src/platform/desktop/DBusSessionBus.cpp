#include "DBusSessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <QUuid>
#include <QVariantMap>

namespace {

QDBusMessage methodCall(const BusCall &call)
{
    QDBusMessage message = QDBusMessage::createMethodCall(call.service, call.path, call.interface, call.method);
    message.setArguments(call.arguments);
    return message;
}

class PortalResponseReceiver : public QObject
{
    Q_OBJECT
public:
    bool answered = false;
    uint response = 2;
    QVariantMap results;

Q_SIGNALS:
    void done();

public Q_SLOTS:
    void onResponse(uint code, const QVariantMap &values)
    {
        answered = true;
        response = code;
        results = values;
        Q_EMIT done();
    }
};

} // namespace

DBusSessionBus::DBusSessionBus(std::chrono::milliseconds portalTimeout)
    : m_portalTimeout(portalTimeout)
{
}

BusReply DBusSessionBus::call(const BusCall &call)
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(methodCall(call));
    if (reply.type() == QDBusMessage::ErrorMessage)
        return {reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage(), {}};
    return {std::nullopt, reply.arguments()};
}

BusReply DBusSessionBus::callPortalRequest(const BusCall &call)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {QStringLiteral("no session bus: ") + bus.lastError().message(), {}};

    // The portal names its Request object after our unique name and a token we choose, so we
    // can listen for its Response before calling and cannot miss a fast answer.
    const QString token = QStringLiteral("zarnova")
                          + QUuid::createUuid().toString(QUuid::Id128);
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender
                                + QLatin1Char('/') + token;

    BusCall tokenCall = call;
    if (!tokenCall.arguments.isEmpty() && tokenCall.arguments.last().canConvert<QVariantMap>()) {
        QVariantMap options = tokenCall.arguments.last().toMap();
        options.insert(QStringLiteral("handle_token"), token);
        tokenCall.arguments.last() = options;
    }

    PortalResponseReceiver receiver;
    bus.connect(call.service, requestPath, QStringLiteral("org.freedesktop.portal.Request"),
                QStringLiteral("Response"), &receiver, SLOT(onResponse(uint, QVariantMap)));

    const QDBusMessage reply = bus.call(methodCall(tokenCall));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        bus.disconnect(call.service, requestPath, QStringLiteral("org.freedesktop.portal.Request"),
                       QStringLiteral("Response"), &receiver, SLOT(onResponse(uint, QVariantMap)));
        return {reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage(), {}};
    }

    if (!receiver.answered) {
        QEventLoop loop;
        QObject::connect(&receiver, &PortalResponseReceiver::done, &loop, &QEventLoop::quit);
        QTimer::singleShot(m_portalTimeout, &loop, &QEventLoop::quit);
        loop.exec();
    }
    bus.disconnect(call.service, requestPath, QStringLiteral("org.freedesktop.portal.Request"),
                   QStringLiteral("Response"), &receiver, SLOT(onResponse(uint, QVariantMap)));
    if (!receiver.answered)
        return {QStringLiteral("the desktop portal did not answer"), {}};
    return {std::nullopt, {QVariant::fromValue(receiver.response), receiver.results}};
}

bool DBusSessionBus::hasService(const QString &name)
{
    const QDBusConnectionInterface *busInterface = QDBusConnection::sessionBus().interface();
    return busInterface && busInterface->isServiceRegistered(name).value();
}

#include "DBusSessionBus.moc"
