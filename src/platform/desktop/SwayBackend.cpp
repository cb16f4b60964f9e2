#include "SwayBackend.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {
const QString swaymsg = QStringLiteral("swaymsg");
}

SwayBackend::SwayBackend(std::shared_ptr<CommandRunner> runner, PictureRecord record, QString linkFolder)
    : m_runner(std::move(runner))
    , m_record(std::move(record))
    , m_linkFolder(std::move(linkFolder))
{
}

QString SwayBackend::linkFor(const QString &imageFile) const
{
    const QByteArray digest = QCryptographicHash::hash(imageFile.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return m_linkFolder + QLatin1Char('/') + QString::fromLatin1(digest);
}

std::optional<QString> SwayBackend::setPicture(const Display &display, const QString &imageFile)
{
    // swaymsg joins its arguments into one sway command, which sway splits, unquotes and
    // word-expands again: quotes, spaces, ';' or '$' in a path would change the command.
    // sway gets a link with a plain name instead.
    const QString link = linkFor(imageFile);
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._/+-]+$"));
    if (!plain.match(link).hasMatch())
        return QStringLiteral("cannot hand sway the picture through ") + link
               + QStringLiteral(": sway would reinterpret characters in that path");
    if (!QDir().mkpath(m_linkFolder))
        return QStringLiteral("cannot create ") + m_linkFolder;
    QFile::remove(link);
    if (!QFile::link(imageFile, link))
        return QStringLiteral("cannot link the picture at ") + link;

    const CommandOutput output = m_runner->run(
        swaymsg, {QStringLiteral("output"), display.name, QStringLiteral("bg"), link, QStringLiteral("fill")});
    if (auto error = output.failure(swaymsg))
        return error;
    return m_record.update(QLatin1String(recordSection), [&](PictureRecord::Section &section) {
        section.files.insert(display.name, imageFile);
    });
}

std::optional<QString> SwayBackend::picture(const Display &display) const
{
    const PictureRecord::Section section = m_record.read(QLatin1String(recordSection));
    const auto file = section.files.constFind(display.name);
    if (file == section.files.cend())
        return std::nullopt;
    return *file;
}
