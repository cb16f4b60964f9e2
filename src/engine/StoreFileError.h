#pragma once

#include <QString>

#include <stdexcept>

// A file-system or parser failure around the wallpaper store, passed on with the system's wording.
class StoreFileError : public std::runtime_error
{
public:
    explicit StoreFileError(const QString &description)
        : std::runtime_error(description.toUtf8().toStdString())
    {
    }
    QString description() const { return QString::fromUtf8(what()); }
};
