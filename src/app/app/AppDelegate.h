#pragma once

#include <QDBusConnection>
#include <QObject>

class NotificationCenter;

// Launch-time duties that belong to the desktop session rather than to any service:
// whether notifications can be shown, and resyncing after the machine wakes.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    // The buses are injected so tests can hand in private or disconnected ones.
    AppDelegate(NotificationCenter &notifications, QDBusConnection sessionBus,
                QDBusConnection systemBus, QObject *parent = nullptr);

    void applicationDidFinishLaunching();

public slots:
    void didWake();

private slots:
    void prepareForSleep(bool start);

private:
    void requestNotificationPermission();
    void observeWake();

    NotificationCenter &m_notifications;
    QDBusConnection m_sessionBus;
    QDBusConnection m_systemBus;
};
