#include "AppDelegate.h"

#include "Log.h"
#include "NotificationCenter.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>

namespace {
const QString notificationsService = QStringLiteral("org.freedesktop.Notifications");
}

AppDelegate::AppDelegate(NotificationCenter &notifications, QDBusConnection sessionBus,
                         QDBusConnection systemBus, QObject *parent)
    : QObject(parent)
    , m_notifications(notifications)
    , m_sessionBus(std::move(sessionBus))
    , m_systemBus(std::move(systemBus))
{
}

void AppDelegate::applicationDidFinishLaunching()
{
    requestNotificationPermission();
    observeWake();
}

// The desktop grants notifications by running a notification server; there is no per-app
// prompt. Without a session bus there is nobody to ask, so nothing is logged.
void AppDelegate::requestNotificationPermission()
{
    if (!m_sessionBus.isConnected())
        return;
    QDBusConnectionInterface *bus = m_sessionBus.interface();
    const QDBusReply<bool> running = bus->isServiceRegistered(notificationsService);
    if (!running.isValid()) {
        qCCritical(Log::app, "notification permission: %s", qUtf8Printable(running.error().message()));
        return;
    }
    if (running.value())
        return;
    const QDBusReply<QStringList> activatable = bus->activatableServiceNames();
    if (!activatable.isValid()) {
        qCCritical(Log::app, "notification permission: %s", qUtf8Printable(activatable.error().message()));
        return;
    }
    if (!activatable.value().contains(notificationsService))
        qCInfo(Log::app, "notification permission declined");
}

void AppDelegate::observeWake()
{
    if (!m_systemBus.isConnected())
        return;
    m_systemBus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                        this, SLOT(prepareForSleep(bool)));
}

// logind says true before suspending and false once the machine is back.
void AppDelegate::prepareForSleep(bool start)
{
    if (!start)
        didWake();
}

void AppDelegate::didWake()
{
    m_notifications.post(znShouldResyncLibrary);
}
