#pragma once

#include <QMap>
#include <QString>

#include <functional>
#include <optional>

// Our own note of the picture set on each display, for desktops that cannot report it:
// a small JSON file with one section per backend. Safe to use from several threads.
class PictureRecord
{
public:
    struct Section
    {
        QMap<QString, QString> files;  // display name → picture file
        quint64 pixmap = 0;            // the X11 root pixmap that shows them

        bool operator==(const Section &) const = default;
    };

    explicit PictureRecord(QString filePath);
    // "$XDG_STATE_HOME/Zarnova/desktop-pictures.json".
    static QString defaultFilePath();

    QString filePath() const { return m_filePath; }
    Section read(const QString &section) const;
    // Reads, changes and writes back one section as one step. Returns the error text when the
    // record cannot be written.
    std::optional<QString> update(const QString &section, const std::function<void(Section &)> &change);

private:
    QString m_filePath;
};
