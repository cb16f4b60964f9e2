#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickWindow>

// The menu commands and scene switching that every window, the tray and the panel share.
class AppCommands : public QObject
{
    Q_OBJECT
    // Stays false until the app can update itself.
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates CONSTANT)
public:
    using QObject::QObject;

    void setScenes(QQuickWindow *mainWindow, QQuickWindow *settingsWindow, QQuickWindow *panel);

    bool canCheckForUpdates() const { return false; }

    Q_INVOKABLE void openMainWindow();
    Q_INVOKABLE void openSettings();
    // Shows the panel near `anchor` (screen coordinates), or hides it when it is showing.
    Q_INVOKABLE void togglePanel(QPoint anchor);
    Q_INVOKABLE void quit();

private:
    static void bringForward(QQuickWindow *window);

    QPointer<QQuickWindow> m_mainWindow;
    QPointer<QQuickWindow> m_settingsWindow;
    QPointer<QQuickWindow> m_panel;
};
