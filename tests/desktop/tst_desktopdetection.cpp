#include "DesktopDetection.h"

#include <QTest>

Q_DECLARE_METATYPE(DesktopKind)

class DesktopDetectionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void detects_data()
    {
        QTest::addColumn<QString>("currentDesktop");
        QTest::addColumn<QString>("desktopSession");
        QTest::addColumn<QString>("sessionDesktop");
        QTest::addColumn<QString>("kdeFullSession");
        QTest::addColumn<QString>("swaySocket");
        QTest::addColumn<bool>("plasmaShellOnBus");
        QTest::addColumn<bool>("sandboxed");
        QTest::addColumn<DesktopKind>("kind");
        QTest::addColumn<QString>("name");

        const QString none;
        QTest::newRow("GNOME") << "GNOME" << none << none << none << none << false << false << DesktopKind::gnome << "GNOME";
        QTest::newRow("Ubuntu's GNOME") << "ubuntu:GNOME" << none << none << none << none << false << false << DesktopKind::gnome << "GNOME";
        QTest::newRow("Budgie before GNOME") << "Budgie:GNOME" << none << none << none << none << false << false << DesktopKind::gnome << "Budgie";
        QTest::newRow("Pantheon") << "Pantheon" << none << none << none << none << false << false << DesktopKind::gnome << "Pantheon";
        QTest::newRow("Cinnamon") << "X-Cinnamon" << none << none << none << none << false << false << DesktopKind::cinnamon << "Cinnamon";
        QTest::newRow("MATE") << "MATE" << none << none << none << none << false << false << DesktopKind::mate << "MATE";
        QTest::newRow("Plasma") << "KDE" << none << none << none << none << false << false << DesktopKind::plasma << "KDE Plasma";
        QTest::newRow("XFCE") << "XFCE" << none << none << none << none << false << false << DesktopKind::xfce << "XFCE";
        QTest::newRow("sway by name") << "sway" << none << none << none << none << false << false << DesktopKind::sway << "sway";
        QTest::newRow("case does not matter") << "gnome" << none << none << none << none << false << false << DesktopKind::gnome << "GNOME";
        QTest::newRow("session name variant") << none << "gnome-xorg" << none << none << none << false << false << DesktopKind::gnome << "GNOME";
        QTest::newRow("session as a path") << none << "/usr/share/xsessions/plasma" << none << none << none << false << false << DesktopKind::plasma << "KDE Plasma";
        QTest::newRow("session desktop") << none << none << "xfce" << none << none << false << false << DesktopKind::xfce << "XFCE";
        QTest::newRow("unknown name, then a known session") << "i3" << "mate" << none << none << none << false << false << DesktopKind::mate << "MATE";
        QTest::newRow("KDE full session") << none << none << none << "true" << none << false << false << DesktopKind::plasma << "KDE Plasma";
        QTest::newRow("plasmashell on the bus") << none << none << none << none << none << true << false << DesktopKind::plasma << "KDE Plasma";
        QTest::newRow("sway socket") << none << none << none << none << "/run/user/1000/sway-ipc.sock" << false << false << DesktopKind::sway << "sway";
        QTest::newRow("sandbox wins over the host's desktop") << "GNOME" << none << none << none << none << false << true << DesktopKind::portal << "the desktop portal";
        QTest::newRow("window manager on X11") << "i3" << none << none << none << none << false << false << DesktopKind::bareX11 << "i3 on X11";
        QTest::newRow("nothing declared") << none << none << none << none << none << false << false << DesktopKind::bareX11 << "X11";
    }

    void detects()
    {
        QFETCH(QString, currentDesktop);
        QFETCH(QString, desktopSession);
        QFETCH(QString, sessionDesktop);
        QFETCH(QString, kdeFullSession);
        QFETCH(QString, swaySocket);
        QFETCH(bool, plasmaShellOnBus);
        QFETCH(bool, sandboxed);
        QFETCH(DesktopKind, kind);
        QFETCH(QString, name);

        DesktopSession session;
        const auto set = [&](const char *variable, const QString &value) {
            if (!value.isNull())
                session.environment.insert(QLatin1String(variable), value);
        };
        set("XDG_CURRENT_DESKTOP", currentDesktop);
        set("DESKTOP_SESSION", desktopSession);
        set("XDG_SESSION_DESKTOP", sessionDesktop);
        set("KDE_FULL_SESSION", kdeFullSession);
        set("SWAYSOCK", swaySocket);
        session.plasmaShellOnBus = [plasmaShellOnBus] { return plasmaShellOnBus; };
        session.sandboxed = sandboxed;

        QCOMPARE(detectDesktop(session), (DetectedDesktop{kind, name}));
    }

    void busAskedOnlyWhenTheEnvironmentDoesNotTell()
    {
        DesktopSession session;
        session.environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
        session.plasmaShellOnBus = [] {
            qFatal("the session bus was asked");
            return true;
        };
        QCOMPARE(detectDesktop(session).kind, DesktopKind::gnome);
    }

    void flatpakIdMeansSandboxed()
    {
        DesktopSession session;
        session.environment.insert(QStringLiteral("FLATPAK_ID"), QStringLiteral("com.quenby.zarnova"));
        session.environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
        QCOMPARE(detectDesktop(session).kind, DesktopKind::portal);
    }
};

QTEST_GUILESS_MAIN(DesktopDetectionTest)
#include "tst_desktopdetection.moc"
