#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

class AppCommands;

// The app's status icon in the desktop's tray: a click opens the panel, the context menu
// reaches the main window, the settings and quitting.
class MenuBarExtra : public QObject
{
    Q_OBJECT
public:
    explicit MenuBarExtra(AppCommands &commands, QObject *parent = nullptr);

    // False where the desktop has no tray host; the main window is then the only way in.
    static bool isAvailable();

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    AppCommands &m_commands;
    QMenu m_menu;
    QSystemTrayIcon m_icon;
};
