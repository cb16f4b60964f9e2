#include "LinuxWallpaperPlatform.h"
#include "WallpaperCommandLine.h"
#include "WallpaperEngine.h"
#include "WallpaperStore.h"

#include <QGuiApplication>
#include <QTextStream>

#include <memory>

int main(int argc, char **argv)
{
    // Without a display server, undo and --help still work; setting finds no display.
    const bool displayServer = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                               || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    std::unique_ptr<QCoreApplication> app = displayServer ? std::make_unique<QGuiApplication>(argc, argv)
                                                          : std::make_unique<QCoreApplication>(argc, argv);

    const std::unique_ptr<LinuxWallpaperPlatform> platform = LinuxWallpaperPlatform::forThisSession();
    WallpaperEngine engine(WallpaperStore::defaultStore(), *platform, WallpaperEngine::defaultBackupDirectory());
    QTextStream out(stdout);
    QTextStream err(stderr);
    return WallpaperCommandLine(engine, *platform, out, err).run(app->arguments());
}
