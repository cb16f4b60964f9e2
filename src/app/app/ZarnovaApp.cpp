#include "ZarnovaApp.h"

#include "AppCommands.h"
#include "AppDelegate.h"
#include "AppEnvironment.h"
#include "Log.h"
#include "MenuBarExtra.h"
#include "NotificationCenter.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDirIterator>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>
#include <memory>

Q_IMPORT_QML_PLUGIN(ZarnovaPlugin)

namespace {

const QString viewsRoot = QStringLiteral(":/Zarnova");

QQuickWindow *loadScene(QQmlApplicationEngine &engine, const QString &file)
{
    const auto before = engine.rootObjects().size();
    engine.load(QUrl(QStringLiteral("qrc:/Zarnova/") + file));
    if (engine.rootObjects().size() == before)
        return nullptr;
    return qobject_cast<QQuickWindow *>(engine.rootObjects().constLast());
}

// Compiles every view file and creates each one that can stand alone (singletons cannot).
QStringList loadEveryView(QQmlApplicationEngine &engine)
{
    QStringList failures;
    QDirIterator it(viewsRoot, {QStringLiteral("*.qml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QQmlComponent component(&engine, QUrl(QStringLiteral("qrc") + path));
        if (component.isError()) {
            failures << component.errorString();
            continue;
        }
        QFile source(path);
        source.open(QIODevice::ReadOnly);
        if (source.readAll().contains("pragma Singleton"))
            continue;
        std::unique_ptr<QObject> object(component.create());
        if (!object)
            failures << path + QStringLiteral(": ") + component.errorString();
    }
    return failures;
}

}

int ZarnovaApp::run(int argc, char *argv[])
{
    QApplication::setOrganizationName(QStringLiteral("Zarnova"));
    QApplication::setApplicationName(QStringLiteral("Zarnova"));
    QApplication::setDesktopFileName(QStringLiteral("com.quenby.zarnova"));
    QApplication app(argc, argv);
    Log::installMessageHandler();
    const bool selfTest = app.arguments().contains(QStringLiteral("--self-test"));

    NotificationCenter notifications;
    const std::unique_ptr<AppEnvironment> env = AppEnvironment::live();
    AppDelegate delegate(notifications, QDBusConnection::sessionBus(), QDBusConnection::systemBus());
    AppCommands commands;
    env->inject();
    qmlRegisterSingletonInstance("Zarnova.Services", 1, 0, "AppCommands", &commands);

    QQmlApplicationEngine engine;
    QStringList qmlProblems;
    QObject::connect(&engine, &QQmlEngine::warnings, [&qmlProblems](const QList<QQmlError> &warnings) {
        for (const QQmlError &warning : warnings)
            qmlProblems << warning.toString();
    });

    QQuickWindow *mainWindow = loadScene(engine, QStringLiteral("MainWindow.qml"));
    QQuickWindow *settingsWindow = loadScene(engine, QStringLiteral("SettingsWindow.qml"));
    QQuickWindow *panel = loadScene(engine, QStringLiteral("MenuBarPanel.qml"));
    if (!mainWindow || !settingsWindow || !panel) {
        qCCritical(Log::app, "could not load the app's windows");
        return 1;
    }
    commands.setScenes(mainWindow, settingsWindow, panel);

    if (selfTest) {
        qmlProblems << loadEveryView(engine);
        for (const QString &problem : qmlProblems)
            std::fprintf(stderr, "self-test: %s\n", qUtf8Printable(problem));
        std::fprintf(stderr, "self-test: %s\n", qmlProblems.isEmpty() ? "every view loaded" : "failed");
        return qmlProblems.isEmpty() ? 0 : 1;
    }

    // Closing the main window keeps the app in the tray; with no tray host nothing would be
    // left to bring it back, so the app quits with its last window instead.
    std::unique_ptr<MenuBarExtra> menuBarExtra;
    if (MenuBarExtra::isAvailable())
        menuBarExtra = std::make_unique<MenuBarExtra>(commands);
    app.setQuitOnLastWindowClosed(!menuBarExtra);

    delegate.applicationDidFinishLaunching();
    commands.openMainWindow();
    return app.exec();
}
