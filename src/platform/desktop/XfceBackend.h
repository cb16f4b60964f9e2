#pragma once

#include "CommandRunner.h"
#include "DesktopBackend.h"

#include <functional>
#include <memory>

// XFCE: xfconf properties per monitor and workspace; only the current workspace's is set.
class XfceBackend : public DesktopBackend
{
public:
    // The index of the workspace showing now, or nothing when it cannot be told.
    using CurrentWorkspace = std::function<std::optional<int>()>;

    XfceBackend(std::shared_ptr<CommandRunner> runner, CurrentWorkspace currentWorkspace);
    // The workspace named by _NET_CURRENT_DESKTOP on the X root window.
    static std::optional<int> x11CurrentWorkspace();

    QString name() const override { return QStringLiteral("XFCE"); }
    WorkspacePictures workspacePictures() const override { return WorkspacePictures::onePerWorkspace; }
    std::optional<QString> setPicture(const Display &display, const QString &imageFile) override;
    std::optional<QString> picture(const Display &display) const override;

private:
    struct Workspace
    {
        QString base;  // "/backdrop/screen0/monitorHDMI-1/workspace0"
        QStringList existing;
    };
    std::optional<Workspace> workspaceOf(const Display &display, QString *error) const;
    std::optional<QString> query(const QStringList &arguments, QString *value = nullptr) const;
    std::optional<QString> setProperty(const Workspace &workspace, const QString &key, const QString &type,
                                       const QString &value);

    std::shared_ptr<CommandRunner> m_runner;
    CurrentWorkspace m_currentWorkspace;
};
