#include "DBusSessionBus.h"
#include "PlasmaBackend.h"
#include "PortalBackend.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

// Stands in for xdg-desktop-portal: answers SetWallpaperFile with a Request object and then its
// Response signal, as the real portal does.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Wallpaper")
public:
    explicit FakePortal(const QDBusConnection &connection)
        : m_connection(connection)
    {
    }

    mutable QMutex mutex;
    uint response = 0;
    QString receivedFile;
    QVariantMap receivedOptions;

public Q_SLOTS:
    QDBusObjectPath SetWallpaperFile(const QString &, const QDBusUnixFileDescriptor &file, const QVariantMap &options,
                                     const QDBusMessage &message)
    {
        QMutexLocker lock(&mutex);
        receivedFile = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(file.fileDescriptor()));
        receivedOptions = options;
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/')
                             + options.value(QStringLiteral("handle_token")).toString();
        QDBusMessage signal = QDBusMessage::createTargetedSignal(message.service(), path,
                                                                 QStringLiteral("org.freedesktop.portal.Request"),
                                                                 QStringLiteral("Response"));
        signal << response << QVariantMap{};
        // After the method's reply, like the real portal.
        QMetaObject::invokeMethod(this, [this, signal] { m_connection.send(signal); }, Qt::QueuedConnection);
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection m_connection;
};

// Stands in for plasmashell's scripting interface.
class FakePlasmaShell : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")
public:
    mutable QMutex mutex;
    bool widgetsLocked = false;
    QString lastScript;

public Q_SLOTS:
    QString evaluateScript(const QString &script)
    {
        QMutexLocker lock(&mutex);
        lastScript = script;
        if (widgetsLocked)
            sendErrorReply(QDBusError::Failed, QStringLiteral("Widgets are locked"));
        return QStringLiteral("1\n");
    }
};

} // namespace

// The session bus for real: a private dbus-daemon, with the desktop services on their own
// connection and thread.
class DBusSessionBusTest : public QObject
{
    Q_OBJECT

    QProcess m_daemon;
    QThread m_serviceThread;
    FakePortal *m_portal = nullptr;
    FakePlasmaShell *m_plasma = nullptr;
    const Display m_display{QStringLiteral("HDMI-1"), QRect(0, 0, 1920, 1080), true};
    QTemporaryDir m_folder;

private Q_SLOTS:
    void initTestCase()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        if (!m_daemon.waitForStarted())
            QSKIP("dbus-daemon is not installed");
        QVERIFY(m_daemon.waitForReadyRead(10000));
        const QByteArray address = m_daemon.readLine().trimmed();
        QVERIFY(!address.isEmpty());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QVERIFY(QDBusConnection::sessionBus().isConnected());

        QDBusConnection services = QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("services"));
        QVERIFY(services.isConnected());
        m_portal = new FakePortal(services);
        m_plasma = new FakePlasmaShell;
        m_portal->moveToThread(&m_serviceThread);
        m_plasma->moveToThread(&m_serviceThread);
        m_serviceThread.start();
        QVERIFY(services.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), m_portal,
                                        QDBusConnection::ExportAllSlots));
        QVERIFY(services.registerObject(QStringLiteral("/PlasmaShell"), m_plasma, QDBusConnection::ExportAllSlots));
        QVERIFY(services.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        QVERIFY(services.registerService(QStringLiteral("org.kde.plasmashell")));
    }

    void cleanupTestCase()
    {
        m_serviceThread.quit();
        m_serviceThread.wait();
        delete m_portal;
        delete m_plasma;
        QDBusConnection::disconnectFromBus(QStringLiteral("services"));
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

    void portalAnswersThroughItsRequest_data()
    {
        QTest::addColumn<uint>("response");
        QTest::addColumn<std::optional<QString>>("error");
        QTest::newRow("done") << 0u << std::optional<QString>();
        QTest::newRow("cancelled") << 1u << std::optional<QString>(QStringLiteral("the wallpaper change was cancelled"));
        QTest::newRow("denied") << 2u << std::optional<QString>(QStringLiteral("the desktop portal denied the wallpaper change"));
    }
    void portalAnswersThroughItsRequest()
    {
        QFETCH(uint, response);
        QFETCH(std::optional<QString>, error);
        {
            QMutexLocker lock(&m_portal->mutex);
            m_portal->response = response;
        }
        const QString file = m_folder.filePath(QString::fromUtf8("it's a \"Café\".jpg"));
        QFile picture(file);
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.close();

        PortalBackend portal(std::make_shared<DBusSessionBus>());
        QCOMPARE(portal.setPicture(m_display, file), error);

        QMutexLocker lock(&m_portal->mutex);
        QCOMPARE(m_portal->receivedFile, file);
        QCOMPARE(m_portal->receivedOptions.value("set-on").toString(), "background");
        QCOMPARE(m_portal->receivedOptions.value("show-preview").toBool(), false);
        QVERIFY(m_portal->receivedOptions.value("handle_token").toString().startsWith("zarnova"));
    }

    void plasmaScriptsArriveAndRefusalsComeBack_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<std::optional<QString>>("error");
        QTest::newRow("set") << false << std::optional<QString>();
        QTest::newRow("widgets locked") << true
                                        << std::optional<QString>(QStringLiteral("KDE Plasma refused the wallpaper: Widgets are locked"));
    }
    void plasmaScriptsArriveAndRefusalsComeBack()
    {
        QFETCH(bool, locked);
        QFETCH(std::optional<QString>, error);
        {
            QMutexLocker lock(&m_plasma->mutex);
            m_plasma->widgetsLocked = locked;
        }
        PlasmaBackend plasma(std::make_shared<DBusSessionBus>());
        QCOMPARE(plasma.setPicture(m_display, QStringLiteral("/home/ana/a b.jpg")), error);
        QMutexLocker lock(&m_plasma->mutex);
        QCOMPARE(m_plasma->lastScript, PlasmaBackend::setScript(m_display, QStringLiteral("/home/ana/a b.jpg")));
    }

    // The engine applies to all Spaces on a background thread; its fallback reaches the portal there.
    void portalFromABackgroundThread()
    {
        {
            QMutexLocker lock(&m_portal->mutex);
            m_portal->response = 0;
        }
        const QString file = m_folder.filePath(QStringLiteral("thread.jpg"));
        QFile picture(file);
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.close();
        std::optional<QString> error = QStringLiteral("not run");
        std::unique_ptr<QThread> thread(QThread::create([&] {
            PortalBackend portal(std::make_shared<DBusSessionBus>());
            error = portal.setPicture(m_display, file);
        }));
        thread->start();
        QVERIFY(thread->wait(QDeadlineTimer(30000)));
        QCOMPARE(error, std::nullopt);
    }

    void knowsWhichServicesRun()
    {
        DBusSessionBus bus;
        QVERIFY(bus.hasService(QStringLiteral("org.kde.plasmashell")));
        QVERIFY(!bus.hasService(QStringLiteral("org.example.NotRunning")));
    }
};

QTEST_GUILESS_MAIN(DBusSessionBusTest)
#include "tst_dbussessionbus.moc"
