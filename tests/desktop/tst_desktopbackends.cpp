#include "DesktopFakes.h"
#include "GSettingsBackend.h"
#include "PlasmaBackend.h"
#include "PortalBackend.h"
#include "SwayBackend.h"
#include "XfceBackend.h"

#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(BusReply)

// The desktops that are not on this machine, held to the exact commands and calls they issue.
class DesktopBackendsTest : public QObject
{
    Q_OBJECT

    const Display hdmi{QStringLiteral("HDMI-1"), QRect(1920, 0, 2560, 1440), false};

    // File names that break naive quoting, with the file URI desktops store for each.
    static void addPictureNames()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("uri");
        QTest::newRow("plain") << "/home/ana/Pictures/dune.jpg" << "file:///home/ana/Pictures/dune.jpg";
        QTest::newRow("spaces and quotes") << "/home/ana/My Pictures/it's \"best\".jpg"
                                           << "file:///home/ana/My%20Pictures/it's%20%22best%22.jpg";
        QTest::newRow("non-ASCII") << QString::fromUtf8("/home/ana/Bilder/Café Zürich ☀.jpg")
                                   << "file:///home/ana/Bilder/Caf%C3%A9%20Z%C3%BCrich%20%E2%98%80.jpg";
        QTest::newRow("shell and URI syntax") << "/home/ana/$(rm -rf ~);`x` #1 100%.jpg"
                                              << "file:///home/ana/$(rm%20-rf%20~);%60x%60%20%231%20100%25.jpg";
    }

private Q_SLOTS:
    void gnomeSetsBothPictureKeysAndZoom_data()
    {
        addPictureNames();
    }
    void gnomeSetsBothPictureKeysAndZoom()
    {
        QFETCH(QString, file);
        QFETCH(QString, uri);
        auto runner = std::make_shared<RecordingRunner>();
        GSettingsBackend gnome(QStringLiteral("GNOME"), GSettingsBackend::gnomeKeys(), runner);

        QCOMPARE(gnome.setPicture(hdmi, file), std::nullopt);

        // GVariant text: a quote inside the value is escaped with a backslash.
        QString literal = uri;
        literal.replace(QLatin1String("'"), QLatin1String("\\'"));
        literal = QLatin1Char('\'') + literal + QLatin1Char('\'');
        const QString schema = QStringLiteral("org.gnome.desktop.background");
        QCOMPARE(runner->commands,
                 (QList<QStringList>{{"gsettings", "set", schema, "picture-uri", literal},
                                     {"gsettings", "set", schema, "picture-uri-dark", literal},
                                     {"gsettings", "set", schema, "picture-options", "'zoom'"}}));
    }

    void gsettingsRelativesUseTheirOwnKeys_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QList<QStringList>>("commands");
        const QString file = QStringLiteral("/home/ana/it's here.jpg");
        QTest::newRow("Cinnamon") << "Cinnamon"
                                  << QList<QStringList>{
                                         {"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri",
                                          "'file:///home/ana/it\\'s%20here.jpg'"},
                                         {"gsettings", "set", "org.cinnamon.desktop.background", "picture-options", "'zoom'"}};
        QTest::newRow("MATE takes a plain path") << "MATE"
                                   << QList<QStringList>{
                                          {"gsettings", "set", "org.mate.background", "picture-filename",
                                           "'/home/ana/it\\'s here.jpg'"},
                                          {"gsettings", "set", "org.mate.background", "picture-options", "'zoom'"}};
    }
    void gsettingsRelativesUseTheirOwnKeys()
    {
        QFETCH(QString, desktop);
        QFETCH(QList<QStringList>, commands);
        auto runner = std::make_shared<RecordingRunner>();
        GSettingsBackend backend(desktop,
                                 desktop == QLatin1String("MATE") ? GSettingsBackend::mateKeys()
                                                                  : GSettingsBackend::cinnamonKeys(),
                                 runner);
        QCOMPARE(backend.setPicture(hdmi, QStringLiteral("/home/ana/it's here.jpg")), std::nullopt);
        QCOMPARE(runner->commands, commands);
    }

    void gnomeReportsGsettingsErrorAndStops()
    {
        auto runner = std::make_shared<RecordingRunner>();
        runner->reply = [](const QStringList &) {
            return exited(1, "No such schema \xe2\x80\x9corg.gnome.desktop.background\xe2\x80\x9d\n");
        };
        GSettingsBackend gnome(QStringLiteral("GNOME"), GSettingsBackend::gnomeKeys(), runner);
        QCOMPARE(gnome.setPicture(hdmi, QStringLiteral("/tmp/a.jpg")),
                 QString::fromUtf8("No such schema “org.gnome.desktop.background”"));
        QCOMPARE(runner->commands.size(), 1);
    }

    void gnomeReadsPictureBack_data()
    {
        QTest::addColumn<QByteArray>("style");
        QTest::addColumn<QByteArray>("printed");
        QTest::addColumn<std::optional<QString>>("file");
        QTest::addColumn<QString>("key");
        const QByteArray light("'default'\n");
        QTest::newRow("single-quoted") << light << QByteArray("'file:///home/ana/My%20Pictures/a.jpg'\n")
                                       << std::optional<QString>(QStringLiteral("/home/ana/My Pictures/a.jpg")) << "picture-uri";
        QTest::newRow("double-quoted when it holds a quote") << light << QByteArray("\"file:///home/ana/it's.jpg\"\n")
                                                             << std::optional<QString>(QStringLiteral("/home/ana/it's.jpg")) << "picture-uri";
        QTest::newRow("escapes") << light << QByteArray("'file:///home/ana/it\\'s%20\\u00e9.jpg'\n")
                                 << std::optional<QString>(QString::fromUtf8("/home/ana/it's é.jpg")) << "picture-uri";
        QTest::newRow("unset") << light << QByteArray("''\n") << std::optional<QString>() << "picture-uri";
        QTest::newRow("not a file") << light << QByteArray("'resource:///org/gnome/bg.xml'\n") << std::optional<QString>() << "picture-uri";
        QTest::newRow("garbage") << light << QByteArray("'file:///a.jpg\n") << std::optional<QString>() << "picture-uri";
        QTest::newRow("dark style shows the dark picture") << QByteArray("'prefer-dark'\n") << QByteArray("'file:///home/ana/night.jpg'\n")
                                                           << std::optional<QString>(QStringLiteral("/home/ana/night.jpg")) << "picture-uri-dark";
    }
    void gnomeReadsPictureBack()
    {
        QFETCH(QByteArray, style);
        QFETCH(QByteArray, printed);
        QFETCH(std::optional<QString>, file);
        QFETCH(QString, key);
        auto runner = std::make_shared<RecordingRunner>();
        runner->reply = [&](const QStringList &command) {
            return succeeded(command.last() == QLatin1String("color-scheme") ? style : printed);
        };
        GSettingsBackend gnome(QStringLiteral("GNOME"), GSettingsBackend::gnomeKeys(), runner);
        QCOMPARE(gnome.picture(hdmi), file);
        QCOMPARE(runner->commands,
                 (QList<QStringList>{{"gsettings", "get", "org.gnome.desktop.interface", "color-scheme"},
                                     {"gsettings", "get", "org.gnome.desktop.background", key}}));
    }

    void plasmaScriptsThePictureForOneScreen_data()
    {
        addPictureNames();
    }
    void plasmaScriptsThePictureForOneScreen()
    {
        QFETCH(QString, file);
        QFETCH(QString, uri);
        auto bus = std::make_shared<RecordingBus>();
        PlasmaBackend plasma(bus);

        QCOMPARE(plasma.setPicture(hdmi, file), std::nullopt);

        QCOMPARE(bus->calls.size(), 1);
        const BusCall call = bus->calls.first();
        QCOMPARE(call.service, "org.kde.plasmashell");
        QCOMPARE(call.path, "/PlasmaShell");
        QCOMPARE(call.interface, "org.kde.PlasmaShell");
        QCOMPARE(call.method, "evaluateScript");
        QCOMPARE(call.arguments.size(), 1);
        const QString script = call.arguments.first().toString();
        QVERIFY2(script.startsWith(QStringLiteral("var file = \"%1\";\n").arg(uri)), qPrintable(script));
        QVERIFY(script.contains(QLatin1String("var frame = [1920, 0, 2560, 1440];")));
        QVERIFY(script.contains(QLatin1String("desktopsForActivity(currentActivity())")));
        QVERIFY(script.contains(QLatin1String("if (d.screen < 0) continue;")));
        QVERIFY(script.contains(QLatin1String("d.writeConfig(\"Image\", file);")));
        QVERIFY(script.contains(QLatin1String("d.writeConfig(\"FillMode\", 2);")));
        // The raw path never reaches the script where it could end the string.
        if (file.contains(QLatin1Char('"')))
            QVERIFY(!script.contains(file));
    }

    void plasmaReportsRefusals_data()
    {
        QTest::addColumn<BusReply>("reply");
        QTest::addColumn<std::optional<QString>>("error");
        QTest::newRow("widgets locked") << BusReply{QStringLiteral("Widgets are locked"), {}}
                                        << std::optional<QString>(QStringLiteral("KDE Plasma refused the wallpaper: Widgets are locked"));
        QTest::newRow("no desktop on that screen") << BusReply{std::nullopt, {QStringLiteral("0\n")}}
                                                   << std::optional<QString>(QString::fromUtf8("KDE Plasma has no desktop on the screen at 1920,0 (2560×1440)"));
        QTest::newRow("set") << BusReply{std::nullopt, {QStringLiteral("1\n")}} << std::optional<QString>();
    }
    void plasmaReportsRefusals()
    {
        QFETCH(BusReply, reply);
        QFETCH(std::optional<QString>, error);
        auto bus = std::make_shared<RecordingBus>();
        bus->reply = [&](const BusCall &) { return reply; };
        PlasmaBackend plasma(bus);
        QCOMPARE(plasma.setPicture(hdmi, QStringLiteral("/tmp/a.jpg")), error);
    }

    void plasmaReadsPictureBack()
    {
        auto bus = std::make_shared<RecordingBus>();
        bus->reply = [](const BusCall &) {
            return BusReply{std::nullopt, {QStringLiteral("file:///home/ana/My%20Pictures/a.jpg\n")}};
        };
        PlasmaBackend plasma(bus);
        QCOMPARE(plasma.picture(hdmi), QStringLiteral("/home/ana/My Pictures/a.jpg"));
        const QString script = bus->calls.value(0).arguments.value(0).toString();
        QVERIFY(script.contains(QLatin1String("print(d.readConfig(\"Image\"));")));
        QVERIFY(!script.contains(QLatin1String("writeConfig")));
    }

    void xfceSetsTheCurrentWorkspaceOfTheMonitor_data()
    {
        addPictureNames();
    }
    void xfceSetsTheCurrentWorkspaceOfTheMonitor()
    {
        QFETCH(QString, file);
        const QString base = QStringLiteral("/backdrop/screen0/monitorHDMI-1/workspace2");
        auto runner = std::make_shared<RecordingRunner>();
        runner->reply = [&](const QStringList &command) {
            if (command.contains(QLatin1String("-l")))
                return succeeded((base + "/last-image\n/backdrop/screen0/monitorHDMI-1/workspace0/image-style\n").toUtf8());
            return succeeded();
        };
        XfceBackend xfce(runner, [] { return std::optional<int>(2); });

        QCOMPARE(xfce.setPicture(hdmi, file), std::nullopt);
        // An existing property is set; a missing one is created with its type.
        QCOMPARE(runner->commands,
                 (QList<QStringList>{
                     {"xfconf-query", "-c", "xfce4-desktop", "-p", "/backdrop", "-l"},
                     {"xfconf-query", "-c", "xfce4-desktop", "-p", base + "/image-style", "-n", "-t", "int", "-s", "5"},
                     {"xfconf-query", "-c", "xfce4-desktop", "-p", base + "/last-image", "-s", file}}));
    }

    void xfceSingleWorkspaceModeNamesTheWorkspace()
    {
        auto runner = std::make_shared<RecordingRunner>();
        runner->reply = [](const QStringList &command) {
            if (command.contains(QLatin1String("-l")))
                return succeeded("/backdrop/single-workspace-mode\n/backdrop/single-workspace-number\n");
            if (command.contains(QLatin1String("/backdrop/single-workspace-mode")))
                return succeeded("true\n");
            if (command.contains(QLatin1String("/backdrop/single-workspace-number")))
                return succeeded("0\n");
            return succeeded("/home/ana/a.jpg\n");
        };
        XfceBackend xfce(runner, [] { return std::optional<int>(3); });
        QCOMPARE(xfce.picture(hdmi), QStringLiteral("/home/ana/a.jpg"));
        QCOMPARE(runner->commands.last(),
                 (QStringList{"xfconf-query", "-c", "xfce4-desktop", "-p",
                              "/backdrop/screen0/monitorHDMI-1/workspace0/last-image"}));
    }

    void xfceFailures_data()
    {
        QTest::addColumn<bool>("listingFails");
        QTest::addColumn<std::optional<int>>("workspace");
        QTest::addColumn<QString>("error");
        QTest::newRow("xfconf refuses") << true << std::optional<int>(0) << "Failed to init libxfconf: Could not connect";
        QTest::newRow("workspace unknown") << false << std::optional<int>() << "cannot tell which XFCE workspace is showing";
    }
    void xfceFailures()
    {
        QFETCH(bool, listingFails);
        QFETCH(std::optional<int>, workspace);
        QFETCH(QString, error);
        auto runner = std::make_shared<RecordingRunner>();
        runner->reply = [&](const QStringList &) {
            return listingFails ? exited(1, "Failed to init libxfconf: Could not connect\n") : succeeded();
        };
        XfceBackend xfce(runner, [&] { return workspace; });
        QCOMPARE(xfce.setPicture(hdmi, QStringLiteral("/tmp/a.jpg")), error);
        QCOMPARE(runner->commands.size(), 1);
    }

    void swaySetsEachOutputThroughAPlainLink_data()
    {
        addPictureNames();
    }
    void swaySetsEachOutputThroughAPlainLink()
    {
        QFETCH(QString, file);
        QTemporaryDir state;
        auto runner = std::make_shared<RecordingRunner>();
        SwayBackend sway(runner, PictureRecord(state.filePath("pictures.json")), state.filePath("sway"));

        QCOMPARE(sway.setPicture(hdmi, file), std::nullopt);

        QCOMPARE(runner->commands.size(), 1);
        const QStringList command = runner->commands.first();
        QCOMPARE(command.size(), 6);
        QCOMPARE(command.mid(0, 4), (QStringList{"swaymsg", "output", "HDMI-1", "bg"}));
        QCOMPARE(command.at(5), "fill");
        const QString link = command.at(4);
        QVERIFY2(QRegularExpression("^[A-Za-z0-9._/+-]+$").match(link).hasMatch(), qPrintable(link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), file);

        QCOMPARE(sway.picture(hdmi), file);
        QCOMPARE(sway.picture(Display{QStringLiteral("eDP-1"), QRect(0, 0, 1920, 1080), true}), std::nullopt);
    }

    void swayFailureKeepsTheRecord()
    {
        QTemporaryDir state;
        auto runner = std::make_shared<RecordingRunner>();
        SwayBackend sway(runner, PictureRecord(state.filePath("pictures.json")), state.filePath("sway"));
        QCOMPARE(sway.setPicture(hdmi, QStringLiteral("/tmp/a.jpg")), std::nullopt);
        runner->reply = [](const QStringList &) { return exited(2, "Error: Unknown output HDMI-1\n"); };
        QCOMPARE(sway.setPicture(hdmi, QStringLiteral("/tmp/b.jpg")), QStringLiteral("Error: Unknown output HDMI-1"));
        QCOMPARE(sway.picture(hdmi), QStringLiteral("/tmp/a.jpg"));
    }

    void portalGetsAnOpenFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "a.jpg";
        QTest::newRow("spaces and quotes") << "it's \"best\".jpg";
        QTest::newRow("non-ASCII") << QString::fromUtf8("Café Zürich ☀.jpg");
    }
    void portalGetsAnOpenFile()
    {
        QFETCH(QString, name);
        QTemporaryDir folder;
        const QString file = folder.filePath(name);
        QFile picture(file);
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.close();
        auto bus = std::make_shared<RecordingBus>();
        bus->reply = [](const BusCall &) { return BusReply{std::nullopt, {0u, QVariantMap{}}}; };
        PortalBackend portal(bus);

        QCOMPARE(portal.setPicture(hdmi, file), std::nullopt);

        QCOMPARE(bus->calls.size(), 1);
        const BusCall call = bus->calls.first();
        QCOMPARE(call.service, "org.freedesktop.portal.Desktop");
        QCOMPARE(call.path, "/org/freedesktop/portal/desktop");
        QCOMPARE(call.interface, "org.freedesktop.portal.Wallpaper");
        QCOMPARE(call.method, "SetWallpaperFile");
        QCOMPARE(call.arguments.size(), 3);
        QCOMPARE(call.arguments.at(0).toString(), QString());
        QCOMPARE(bus->descriptorFiles, QStringList{file});
        QCOMPARE(call.arguments.at(2).toMap(),
                 (QVariantMap{{"set-on", "background"}, {"show-preview", false}}));
        QCOMPARE(portal.picture(hdmi), std::nullopt);
    }

    void portalResponses_data()
    {
        QTest::addColumn<BusReply>("reply");
        QTest::addColumn<std::optional<QString>>("error");
        QTest::newRow("done") << BusReply{std::nullopt, {0u, QVariantMap{}}} << std::optional<QString>();
        QTest::newRow("cancelled") << BusReply{std::nullopt, {1u, QVariantMap{}}}
                                   << std::optional<QString>(QStringLiteral("the wallpaper change was cancelled"));
        QTest::newRow("denied") << BusReply{std::nullopt, {2u, QVariantMap{}}}
                                << std::optional<QString>(QStringLiteral("the desktop portal denied the wallpaper change"));
        QTest::newRow("no portal") << BusReply{QStringLiteral("The name org.freedesktop.portal.Desktop was not provided"), {}}
                                   << std::optional<QString>(QStringLiteral("The name org.freedesktop.portal.Desktop was not provided"));
    }
    void portalResponses()
    {
        QFETCH(BusReply, reply);
        QFETCH(std::optional<QString>, error);
        auto bus = std::make_shared<RecordingBus>();
        bus->reply = [&](const BusCall &) { return reply; };
        PortalBackend portal(bus);
        QCOMPARE(portal.setPicture(hdmi, QFINDTESTDATA("tst_desktopbackends.cpp")), error);
    }

    void portalMissingFileNeverReachesTheBus()
    {
        auto bus = std::make_shared<RecordingBus>();
        PortalBackend portal(bus);
        QVERIFY(portal.setPicture(hdmi, QStringLiteral("/nonexistent/a.jpg")).has_value());
        QVERIFY(bus->calls.isEmpty());
    }
};


QTEST_GUILESS_MAIN(DesktopBackendsTest)
#include "tst_desktopbackends.moc"
