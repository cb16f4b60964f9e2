#pragma once

#include "CommandRunner.h"
#include "DesktopBackend.h"
#include "PictureRecord.h"

#include <memory>

// sway: "swaymsg output NAME bg FILE fill" per output; sway cannot say what it shows, so we
// keep our own record.
class SwayBackend : public DesktopBackend
{
public:
    // Plain-named links to the pictures go in linkFolder.
    SwayBackend(std::shared_ptr<CommandRunner> runner, PictureRecord record, QString linkFolder);

    QString name() const override { return QStringLiteral("sway"); }
    WorkspacePictures workspacePictures() const override { return WorkspacePictures::oneForEveryWorkspace; }
    std::optional<QString> setPicture(const Display &display, const QString &imageFile) override;
    std::optional<QString> picture(const Display &display) const override;

    static constexpr const char *recordSection = "sway";
    // The link sway is given for a picture: its name is a digest of the picture's path.
    QString linkFor(const QString &imageFile) const;

private:
    std::shared_ptr<CommandRunner> m_runner;
    mutable PictureRecord m_record;
    QString m_linkFolder;
};
