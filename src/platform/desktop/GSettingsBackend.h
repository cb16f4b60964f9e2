#pragma once

#include "CommandRunner.h"
#include "DesktopBackend.h"

#include <memory>

// GNOME and the desktops that keep their picture in GSettings (Cinnamon, MATE, Budgie, ...):
// one picture for all displays and workspaces, set through the gsettings tool.
class GSettingsBackend : public DesktopBackend
{
public:
    struct Keys
    {
        enum class Value { fileUri, plainPath };

        QString schema;
        QString pictureKey;
        QString darkPictureKey;  // shown under a dark style, where the desktop has one
        Value value = Value::fileUri;
        QString optionsKey;       // set to "zoom": fill the display, cropped
    };
    static Keys gnomeKeys();
    static Keys cinnamonKeys();
    static Keys mateKeys();

    GSettingsBackend(QString name, Keys keys, std::shared_ptr<CommandRunner> runner);

    QString name() const override { return m_name; }
    WorkspacePictures workspacePictures() const override { return WorkspacePictures::oneForEveryWorkspace; }
    std::optional<QString> setPicture(const Display &display, const QString &imageFile) override;
    std::optional<QString> picture(const Display &display) const override;

    // A string in GVariant text form, as gsettings reads and prints it.
    static QString gvariantString(const QString &text);
    static std::optional<QString> parseGVariantString(const QString &printed);

private:
    std::optional<QString> set(const QString &key, const QString &text);
    // The key whose picture shows now: the dark one while the desktop prefers a dark style.
    QString shownPictureKey() const;

    QString m_name;
    Keys m_keys;
    std::shared_ptr<CommandRunner> m_runner;
};
