#include "DesktopBackend.h"

#include <QUrl>

QString DesktopBackend::workspaceDescription() const
{
    switch (workspacePictures()) {
    case WorkspacePictures::oneForEveryWorkspace:
        return name() + QStringLiteral(" keeps one picture for every workspace");
    case WorkspacePictures::onePerWorkspace:
        return name() + QStringLiteral(" keeps its own picture for each workspace in its settings");
    case WorkspacePictures::onePerActivity:
        return name() + QStringLiteral(" keeps its own picture for each activity in its settings");
    }
    return name();
}

QString fileUri(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

std::optional<QString> localFileFromUri(const QString &uriOrPath)
{
    if (uriOrPath.startsWith(QLatin1Char('/')))
        return uriOrPath;
    const QUrl url(uriOrPath, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    return url.toLocalFile();
}
