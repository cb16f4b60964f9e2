#pragma once

#include "CommandRunner.h"
#include "DesktopBackend.h"

#include <QStringList>

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
        QStringList pictureKeys;  // all set; the first is read back
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

    QString m_name;
    Keys m_keys;
    std::shared_ptr<CommandRunner> m_runner;
};
