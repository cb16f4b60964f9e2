#include "LinuxWallpaperPlatform.h"

#include "DBusSessionBus.h"
#include "DesktopDetection.h"
#include "GSettingsBackend.h"
#include "PictureRecord.h"
#include "PlasmaBackend.h"
#include "PortalBackend.h"
#include "ProcessCommandRunner.h"
#include "SwayBackend.h"
#include "X11RootBackend.h"
#include "XfceBackend.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>
#include <QThread>

namespace {

std::unique_ptr<DesktopBackend> backendFor(const DetectedDesktop &desktop, std::shared_ptr<CommandRunner> runner,
                                           std::shared_ptr<SessionBus> bus)
{
    const PictureRecord record(PictureRecord::defaultFilePath());
    switch (desktop.kind) {
    case DesktopKind::gnome:
        return std::make_unique<GSettingsBackend>(desktop.name, GSettingsBackend::gnomeKeys(), runner);
    case DesktopKind::cinnamon:
        return std::make_unique<GSettingsBackend>(desktop.name, GSettingsBackend::cinnamonKeys(), runner);
    case DesktopKind::mate:
        return std::make_unique<GSettingsBackend>(desktop.name, GSettingsBackend::mateKeys(), runner);
    case DesktopKind::plasma:
        return std::make_unique<PlasmaBackend>(bus);
    case DesktopKind::xfce:
        return std::make_unique<XfceBackend>(runner, &XfceBackend::x11CurrentWorkspace);
    case DesktopKind::sway:
        return std::make_unique<SwayBackend>(runner, record,
                                             QFileInfo(record.filePath()).absolutePath() + QStringLiteral("/sway"));
    case DesktopKind::portal:
        return std::make_unique<PortalBackend>(bus);
    case DesktopKind::bareX11:
        break;
    }
    return std::make_unique<X11RootBackend>(desktop.name, record);
}

} // namespace

LinuxWallpaperPlatform::LinuxWallpaperPlatform(std::unique_ptr<DesktopBackend> backend,
                                               std::shared_ptr<CommandRunner> runner, QObject *parent)
    : QObject(parent)
    , m_backend(std::move(backend))
    , m_runner(std::move(runner))
{
    // Screens may only be asked on the GUI thread; the engine asks from any thread, so the
    // list is copied here and whenever it changes.
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    for (QScreen *screen : QGuiApplication::screens())
        watchScreen(screen);
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watchScreen(screen);
        refreshDisplays();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &LinuxWallpaperPlatform::refreshDisplays);
    connect(app, &QGuiApplication::primaryScreenChanged, this, &LinuxWallpaperPlatform::refreshDisplays);
    refreshDisplays();
}

std::unique_ptr<LinuxWallpaperPlatform> LinuxWallpaperPlatform::forThisSession()
{
    auto runner = std::make_shared<ProcessCommandRunner>();
    auto bus = std::make_shared<DBusSessionBus>();
    return std::make_unique<LinuxWallpaperPlatform>(backendFor(detectDesktop(DesktopSession::current()), runner, bus),
                                                    runner);
}

void LinuxWallpaperPlatform::watchScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &LinuxWallpaperPlatform::refreshDisplays);
}

void LinuxWallpaperPlatform::refreshDisplays()
{
    const QList<Display> displays = displaysOf(QGuiApplication::screens(), QGuiApplication::primaryScreen());
    QMutexLocker lock(&m_displaysMutex);
    m_displays = displays;
}

QList<Display> LinuxWallpaperPlatform::displaysOf(const QList<QScreen *> &screens, const QScreen *primary)
{
    QList<Display> displays;
    // On X11 desktops place pictures in device pixels; Qt keeps a screen's origin there and
    // scales only its size.
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    for (const QScreen *screen : screens) {
        const QRect logical = screen->geometry();
        const QRect frame = x11 ? QRect(logical.topLeft(), logical.size() * screen->devicePixelRatio()) : logical;
        const Display display{screen->name(), frame, screen == primary};
        if (display.isMain)
            displays.prepend(display);
        else
            displays.append(display);
    }
    return displays;
}

QList<Display> LinuxWallpaperPlatform::displays() const
{
    QMutexLocker lock(&m_displaysMutex);
    return m_displays;
}

std::optional<QString> LinuxWallpaperPlatform::setDesktopImage(const Display &display, const QString &imageFile)
{
    // Desktops resolve relative paths against their own working folder, not ours.
    return m_backend->setPicture(display, QFileInfo(imageFile).absoluteFilePath());
}

std::optional<QString> LinuxWallpaperPlatform::desktopImage(const Display &display) const
{
    return m_backend->picture(display);
}

std::optional<OperatingSystemVersion> LinuxWallpaperPlatform::systemVersion() const
{
    return std::nullopt;
}

QString LinuxWallpaperPlatform::systemVersionString() const
{
    return QSysInfo::prettyProductName() + QStringLiteral(", ") + QSysInfo::kernelType() + QLatin1Char(' ')
           + QSysInfo::kernelVersion();
}

WallpaperWriterSupport LinuxWallpaperPlatform::storeWriterSupport(const QString &indexPath) const
{
    if (QFileInfo(indexPath).isFile())
        return WallpaperWriterSupport::supported();
    return WallpaperWriterSupport::unsupported(m_backend->workspaceDescription());
}

ProcessResult LinuxWallpaperPlatform::run(const QString &program, const QStringList &arguments)
{
    const CommandOutput output = m_runner->run(program, arguments);
    return {output.launched, output.launchError, output.exitStatus, output.standardError};
}

void LinuxWallpaperPlatform::sleep(std::chrono::milliseconds duration)
{
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}
