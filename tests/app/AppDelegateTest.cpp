#include "AppDelegate.h"
#include "LogCapture.h"
#include "NotificationCenter.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

// Runs the delegate against a private message bus that the test owns, standing in for both
// the session bus and the system bus.
class AppDelegateTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void declinedWithoutNotificationServer();
    void grantedWhenNotificationServerRuns();
    void wakePostsResync();
    void silentWithoutBuses();

private:
    QDBusConnection connect(const QString &name);

    QProcess m_daemon;
    QString m_address;
};

void AppDelegateTest::initTestCase()
{
    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted())
        QSKIP("dbus-daemon is not installed");
    QVERIFY(m_daemon.waitForReadyRead(10000));
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
}

void AppDelegateTest::cleanupTestCase()
{
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

QDBusConnection AppDelegateTest::connect(const QString &name)
{
    return QDBusConnection::connectToBus(m_address, name);
}

void AppDelegateTest::declinedWithoutNotificationServer()
{
    NotificationCenter notifications;
    AppDelegate delegate(notifications, connect(QStringLiteral("declined")), QDBusConnection(QString()));
    LogCapture log;
    delegate.applicationDidFinishLaunching();
    QCOMPARE(log.lines(), QStringList{QStringLiteral("com.quenby.zarnova.app [info] notification permission declined")});
}

void AppDelegateTest::grantedWhenNotificationServerRuns()
{
    QDBusConnection server = connect(QStringLiteral("server"));
    QVERIFY(server.registerService(QStringLiteral("org.freedesktop.Notifications")));

    NotificationCenter notifications;
    AppDelegate delegate(notifications, connect(QStringLiteral("granted")), QDBusConnection(QString()));
    LogCapture log;
    delegate.applicationDidFinishLaunching();
    QCOMPARE(log.lines(), QStringList());

    server.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
}

void AppDelegateTest::wakePostsResync()
{
    QDBusConnection logind = connect(QStringLiteral("logind"));
    QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));

    NotificationCenter notifications;
    AppDelegate delegate(notifications, QDBusConnection(QString()), connect(QStringLiteral("system")));
    delegate.applicationDidFinishLaunching();
    QSignalSpy posted(&notifications, &NotificationCenter::posted);

    auto prepareForSleep = [&](bool start) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << start;
        QVERIFY(logind.send(signal));
    };
    prepareForSleep(true);
    prepareForSleep(false);
    QTRY_COMPARE(posted.size(), 1);
    QCOMPARE(posted.at(0).at(0).toString(), QStringLiteral("zn.shouldResyncLibrary"));

    prepareForSleep(true);
    prepareForSleep(false);
    QTRY_COMPARE(posted.size(), 2);
}

void AppDelegateTest::silentWithoutBuses()
{
    NotificationCenter notifications;
    AppDelegate delegate(notifications, QDBusConnection(QString()), QDBusConnection(QString()));
    LogCapture log;
    delegate.applicationDidFinishLaunching();
    delegate.didWake();
    QCOMPARE(log.lines(), QStringList());
}

QTEST_GUILESS_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
