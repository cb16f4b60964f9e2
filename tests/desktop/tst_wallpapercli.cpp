#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Xlib calls its connection type "Display".
#define Display XDisplay
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Display

// The command-line tool as users run it, in a sandbox HOME.
class WallpaperCliTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };

    enum class Screen { none, x11 };

    Run run(const QStringList &arguments, Screen screen) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *desktopHint : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "XDG_SESSION_DESKTOP",
                                        "KDE_FULL_SESSION", "SWAYSOCK", "FLATPAK_ID", "WAYLAND_DISPLAY", "DISPLAY",
                                        "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(desktopHint));
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_STATE_HOME"), m_home.filePath("state"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath("data"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
        // No session bus: nothing to start one for, and no desktop to find there.
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
        if (screen == Screen::x11) {
            environment.insert(QStringLiteral("DISPLAY"), qEnvironmentVariable("DISPLAY"));
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        }
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(ZARNOVA_WALLPAPER), arguments);
        if (!process.waitForFinished(60000))
            return {-1, {}, process.errorString()};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QString writePicture(const QString &name, QColor colour) const
    {
        QImage image(320, 200, QImage::Format_RGB32);
        image.fill(colour);
        const QString file = m_home.filePath(name);
        image.save(file, "PNG");
        return file;
    }

    static QColor rootPixel(QPoint at)
    {
        XDisplay *x = XOpenDisplay(nullptr);
        if (!x)
            return {};
        XImage *image = XGetImage(x, DefaultRootWindow(x), at.x(), at.y(), 1, 1, AllPlanes, ZPixmap);
        const unsigned long pixel = XGetPixel(image, 0, 0);
        const QColor colour(int((pixel & image->red_mask) >> 16), int((pixel & image->green_mask) >> 8),
                            int(pixel & image->blue_mask));
        XDestroyImage(image);
        XCloseDisplay(x);
        return colour;
    }

private Q_SLOTS:
    void withoutADesktop_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("errStart");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: zarnova-wallpaper set [--all-spaces] FILE\n" << "";
        QTest::newRow("undo without a backup")
            << QStringList{"undo"} << 1 << ""
            << "Couldn't undo: Failed to apply wallpaper: no wallpaper-store backup to restore\n";
        QTest::newRow("no command") << QStringList{} << 2 << "" << "zarnova-wallpaper: no command given\n";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "" << "zarnova-wallpaper: unknown command frobnicate\n";
        QTest::newRow("unknown option") << QStringList{"set", "--every-space", "a.png"} << 2 << ""
                                        << "zarnova-wallpaper: unknown option --every-space\n";
        QTest::newRow("two files") << QStringList{"set", "a.png", "b.png"} << 2 << ""
                                   << "zarnova-wallpaper: set takes one picture file\n";
        QTest::newRow("missing picture") << QStringList{"set", "/nonexistent/a.png"} << 1 << ""
                                         << "Couldn't set wallpaper: Failed to apply wallpaper: image file missing at /nonexistent/a.png\n";
        QTest::newRow("missing picture, all Spaces") << QStringList{"set", "--all-spaces", "/nonexistent/a.png"} << 1 << ""
                                                     << "Couldn't set the wallpaper: image file missing at /nonexistent/a.png\n";
        QTest::newRow("no display") << QStringList{"set", "--", QFINDTESTDATA("tst_wallpapercli.cpp")} << 1 << ""
                                    << "Couldn't set wallpaper: Failed to apply wallpaper: no displays (not connected to the window server)\n";
    }
    void withoutADesktop()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, errStart);
        const Run result = run(arguments, Screen::none);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.out.left(out.size()), out);
        QCOMPARE(result.err.left(errStart.size()), errStart);
    }

    void setsTheX11RootPictureThatOutlivesTheTool()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (run under xvfb-run, as scripts/test.sh does)");
        const QString picture = writePicture(QString::fromUtf8("it's a \"blue\" Café.png"), QColor(51, 102, 204));

        const Run set = run({"set", picture}, Screen::x11);
        QVERIFY2(set.out == QLatin1String("Set for This Space.\n"), qPrintable(set.err));
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(rootPixel(QPoint(700, 400)), QColor(51, 102, 204));

        const Run current = run({"current"}, Screen::x11);
        QCOMPARE(current.exitCode, 0);
        QVERIFY2(current.out.startsWith(QStringLiteral("display 1 (")), qPrintable(current.out));
        QVERIFY2(current.out.endsWith(QStringLiteral("): ") + picture + QLatin1Char('\n')), qPrintable(current.out));

        // No wallpaper store here: every workspace shares the root picture, which is said.
        const QString green = writePicture(QStringLiteral("green.png"), QColor(0, 153, 0));
        const Run allSpaces = run({"set", "--all-spaces", green}, Screen::x11);
        QCOMPARE(allSpaces.out, QStringLiteral("Set on the current desktops — other Spaces update as you switch to "
                                               "them. (X11 keeps one picture for every workspace)\n"));
        QCOMPARE(allSpaces.exitCode, 0);
        QCOMPARE(rootPixel(QPoint(10, 10)), QColor(0, 153, 0));
    }
};

QTEST_GUILESS_MAIN(WallpaperCliTest)
#include "tst_wallpapercli.moc"
