#pragma once

#include "CommandRunner.h"
#include "DesktopBackend.h"
#include "WallpaperPlatform.h"

#include <QList>
#include <QMutex>
#include <QObject>

#include <memory>

class QScreen;

// The wallpaper platform of a Linux desktop session: displays from the screens Qt knows,
// pictures through the backend of the running desktop.
// Create it on the thread of the QGuiApplication; use it from any thread.
class LinuxWallpaperPlatform : public QObject, public WallpaperPlatform
{
    Q_OBJECT
public:
    LinuxWallpaperPlatform(std::unique_ptr<DesktopBackend> backend, std::shared_ptr<CommandRunner> runner,
                           QObject *parent = nullptr);
    // The backend of the desktop this session runs, with real processes and the session bus.
    static std::unique_ptr<LinuxWallpaperPlatform> forThisSession();

    const DesktopBackend &backend() const { return *m_backend; }

    QList<Display> displays() const override;
    std::optional<QString> setDesktopImage(const Display &display, const QString &imageFile) override;
    std::optional<QString> desktopImage(const Display &display) const override;
    std::optional<OperatingSystemVersion> systemVersion() const override;
    QString systemVersionString() const override;
    WallpaperWriterSupport storeWriterSupport(const QString &indexPath) const override;
    ProcessResult run(const QString &program, const QStringList &arguments) override;
    void sleep(std::chrono::milliseconds duration) override;

    // Displays as the engine numbers them: the primary screen first, then the others in Qt's order.
    static QList<Display> displaysOf(const QList<QScreen *> &screens, const QScreen *primary);

private:
    void watchScreen(QScreen *screen);
    void refreshDisplays();

    std::unique_ptr<DesktopBackend> m_backend;
    std::shared_ptr<CommandRunner> m_runner;
    mutable QMutex m_displaysMutex;
    QList<Display> m_displays;  // kept current on the GUI thread, read from any thread
};
