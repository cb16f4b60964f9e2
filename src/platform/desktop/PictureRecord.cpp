#include "PictureRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

QMutex recordMutex;

QJsonObject readRoot(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

PictureRecord::Section sectionFrom(const QJsonObject &object)
{
    PictureRecord::Section section;
    const QJsonObject files = object.value(QLatin1String("files")).toObject();
    for (auto it = files.begin(); it != files.end(); ++it)
        section.files.insert(it.key(), it.value().toString());
    section.pixmap = object.value(QLatin1String("pixmap")).toString().toULongLong();
    return section;
}

QJsonObject objectFrom(const PictureRecord::Section &section)
{
    QJsonObject files;
    for (auto it = section.files.begin(); it != section.files.end(); ++it)
        files.insert(it.key(), it.value());
    QJsonObject object{{QLatin1String("files"), files}};
    if (section.pixmap != 0)
        object.insert(QLatin1String("pixmap"), QString::number(section.pixmap));
    return object;
}

} // namespace

PictureRecord::PictureRecord(QString filePath)
    : m_filePath(std::move(filePath))
{
}

QString PictureRecord::defaultFilePath()
{
    QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (stateHome.isEmpty() || QDir::isRelativePath(stateHome))
        stateHome = QDir::homePath() + QStringLiteral("/.local/state");
    return stateHome + QStringLiteral("/Zarnova/desktop-pictures.json");
}

PictureRecord::Section PictureRecord::read(const QString &section) const
{
    QMutexLocker lock(&recordMutex);
    return sectionFrom(readRoot(m_filePath).value(section).toObject());
}

std::optional<QString> PictureRecord::update(const QString &section, const std::function<void(Section &)> &change)
{
    QMutexLocker lock(&recordMutex);
    QJsonObject root = readRoot(m_filePath);
    Section value = sectionFrom(root.value(section).toObject());
    change(value);
    root.insert(section, objectFrom(value));

    if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath()))
        return QStringLiteral("cannot create the folder of ") + m_filePath;
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return m_filePath + QStringLiteral(": ") + file.errorString();
    file.write(QJsonDocument(root).toJson());
    if (!file.commit())
        return m_filePath + QStringLiteral(": ") + file.errorString();
    return std::nullopt;
}
