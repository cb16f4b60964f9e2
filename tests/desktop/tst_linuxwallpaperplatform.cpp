#include "DesktopFakes.h"
#include "GSettingsBackend.h"
#include "LinuxWallpaperPlatform.h"
#include "PlasmaBackend.h"
#include "ProcessCommandRunner.h"
#include "XfceBackend.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

Q_DECLARE_METATYPE(WallpaperWriterSupport)

namespace {

class RecordingBackend : public DesktopBackend
{
public:
    QStringList files;

    QString name() const override { return QStringLiteral("Test"); }
    WorkspacePictures workspacePictures() const override { return WorkspacePictures::oneForEveryWorkspace; }
    std::optional<QString> setPicture(const Display &, const QString &imageFile) override
    {
        files.append(imageFile);
        return std::nullopt;
    }
    std::optional<QString> picture(const Display &) const override { return std::nullopt; }
};

} // namespace

class LinuxWallpaperPlatformTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void storeWriterRunsOnlyWhereAnIndexExists_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("index");  // "file", "folder" or "none"
        QTest::addColumn<WallpaperWriterSupport>("support");
        QTest::newRow("index present") << "GNOME" << "file" << WallpaperWriterSupport::supported();
        QTest::newRow("GNOME") << "GNOME" << "none"
                               << WallpaperWriterSupport::unsupported("GNOME keeps one picture for every workspace");
        QTest::newRow("a folder is no index") << "GNOME" << "folder"
                                              << WallpaperWriterSupport::unsupported("GNOME keeps one picture for every workspace");
        QTest::newRow("XFCE") << "XFCE" << "none"
                              << WallpaperWriterSupport::unsupported("XFCE keeps its own picture for each workspace in its settings");
        QTest::newRow("Plasma") << "Plasma" << "none"
                                << WallpaperWriterSupport::unsupported("KDE Plasma keeps its own picture for each activity in its settings");
    }
    void storeWriterRunsOnlyWhereAnIndexExists()
    {
        QFETCH(QString, desktop);
        QFETCH(QString, index);
        QFETCH(WallpaperWriterSupport, support);
        auto runner = std::make_shared<RecordingRunner>();
        std::unique_ptr<DesktopBackend> backend;
        if (desktop == QLatin1String("GNOME"))
            backend = std::make_unique<GSettingsBackend>(desktop, GSettingsBackend::gnomeKeys(), runner);
        else if (desktop == QLatin1String("XFCE"))
            backend = std::make_unique<XfceBackend>(runner, [] { return std::optional<int>(0); });
        else
            backend = std::make_unique<PlasmaBackend>(std::make_shared<RecordingBus>());
        LinuxWallpaperPlatform platform(std::move(backend), runner);

        QTemporaryDir home;
        const QString indexPath = home.filePath("Index.plist");
        if (index == QLatin1String("file")) {
            QFile file(indexPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (index == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(indexPath));
        }
        QCOMPARE(platform.storeWriterSupport(indexPath), support);
        QVERIFY(runner->commands.isEmpty());
    }

    void runsProgramsWithoutAShell_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("launched");
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QString>("errorOutput");
        QTest::newRow("success") << "/usr/bin/true" << QStringList() << true << 0 << "";
        // killall's own words for a missing process, with status 1.
        QTest::newRow("error output and status") << "/usr/bin/killall" << QStringList{"zn-no-such-agent; rm -rf ~"} << true << 1
                                                 << "zn-no-such-agent; rm -rf ~: no process found\n";
        QTest::newRow("cannot start") << "/nonexistent/program" << QStringList() << false << -1 << "";
    }
    void runsProgramsWithoutAShell()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(bool, launched);
        QFETCH(int, exitStatus);
        QFETCH(QString, errorOutput);
        LinuxWallpaperPlatform platform(std::make_unique<RecordingBackend>(), std::make_shared<ProcessCommandRunner>());
        const ProcessResult result = platform.run(program, arguments);
        QCOMPARE(result.launched, launched);
        QCOMPARE(result.exitStatus, exitStatus);
        QCOMPARE(QString::fromUtf8(result.standardError), errorOutput);
        QCOMPARE(result.launchError.isEmpty(), launched);
    }

    // The agent restart of an all-Spaces apply runs on the engine's background thread.
    void runsProgramsFromABackgroundThread()
    {
        LinuxWallpaperPlatform platform(std::make_unique<RecordingBackend>(), std::make_shared<ProcessCommandRunner>());
        ProcessResult result;
        QList<Display> displays;
        std::unique_ptr<QThread> thread(QThread::create([&] {
            result = platform.run(QStringLiteral("/usr/bin/killall"), {QStringLiteral("zn-no-such-agent")});
            displays = platform.displays();
        }));
        thread->start();
        QVERIFY(thread->wait(QDeadlineTimer(30000)));
        QCOMPARE(result.exitStatus, 1);
        QCOMPARE(result.standardError, "zn-no-such-agent: no process found\n");
        QCOMPARE(displays, platform.displays());
    }

    void displaysComeFromTheScreens()
    {
        LinuxWallpaperPlatform platform(std::make_unique<RecordingBackend>(), std::make_shared<RecordingRunner>());
        const QScreen *screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        const QList<Display> displays = platform.displays();
        QCOMPARE(displays.size(), QGuiApplication::screens().size());
        QCOMPARE(displays.first(), (Display{screen->name(), screen->geometry(), true}));
    }

    void relativePicturesReachTheDesktopAbsolute()
    {
        auto backend = std::make_unique<RecordingBackend>();
        RecordingBackend *recorded = backend.get();
        LinuxWallpaperPlatform platform(std::move(backend), std::make_shared<RecordingRunner>());
        QCOMPARE(platform.setDesktopImage(Display{}, QStringLiteral("pictures/../a.jpg")), std::nullopt);
        QCOMPARE(recorded->files, QStringList{QDir::current().filePath("a.jpg")});
    }
};


QTEST_MAIN(LinuxWallpaperPlatformTest)
#include "tst_linuxwallpaperplatform.moc"
