#include "AppCommands.h"

#include <QGuiApplication>
#include <QScreen>

void AppCommands::setScenes(QQuickWindow *mainWindow, QQuickWindow *settingsWindow, QQuickWindow *panel)
{
    m_mainWindow = mainWindow;
    m_settingsWindow = settingsWindow;
    m_panel = panel;
}

void AppCommands::bringForward(QQuickWindow *window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->requestActivate();
}

void AppCommands::openMainWindow()
{
    bringForward(m_mainWindow);
}

void AppCommands::openSettings()
{
    bringForward(m_settingsWindow);
}

void AppCommands::togglePanel(QPoint anchor)
{
    if (!m_panel)
        return;
    if (m_panel->isVisible()) {
        m_panel->hide();
        return;
    }
    // Keep the whole panel on the screen that holds the anchor (the tray icon or the cursor).
    const QScreen *screen = m_panel->screen();
    if (QScreen *under = QGuiApplication::screenAt(anchor))
        screen = under;
    const QRect available = screen ? screen->availableGeometry() : QRect(anchor, m_panel->size());
    QPoint topLeft(anchor.x() - m_panel->width() / 2, anchor.y());
    topLeft.setX(qBound(available.left(), topLeft.x(), available.right() - m_panel->width()));
    topLeft.setY(qBound(available.top(), topLeft.y(), available.bottom() - m_panel->height()));
    m_panel->setPosition(topLeft);
    bringForward(m_panel);
}

void AppCommands::quit()
{
    QCoreApplication::quit();
}
