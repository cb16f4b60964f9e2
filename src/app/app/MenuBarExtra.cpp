#include "MenuBarExtra.h"

#include "AppCommands.h"

#include <QCursor>
#include <QIcon>

MenuBarExtra::MenuBarExtra(AppCommands &commands, QObject *parent)
    : QObject(parent)
    , m_commands(commands)
{
    m_menu.addAction(tr("Zarnova Window"), &m_commands, &AppCommands::openMainWindow);
    m_menu.addAction(tr("Settings…"), &m_commands, &AppCommands::openSettings);
    m_menu.addSeparator();
    m_menu.addAction(tr("Quit Zarnova"), &m_commands, &AppCommands::quit);

    m_icon.setIcon(QIcon(QStringLiteral(":/Zarnova/icons/menubar.svg")));
    m_icon.setToolTip(QStringLiteral("Zarnova"));
    m_icon.setContextMenu(&m_menu);
    connect(&m_icon, &QSystemTrayIcon::activated, this, &MenuBarExtra::activated);
    m_icon.show();
}

bool MenuBarExtra::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void MenuBarExtra::activated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    const QRect geometry = m_icon.geometry();
    const QPoint anchor = geometry.isValid() ? QPoint(geometry.center().x(), geometry.bottom()) : QCursor::pos();
    m_commands.togglePanel(anchor);
}
