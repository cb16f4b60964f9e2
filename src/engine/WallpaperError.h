#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The wallpaper module's own failures, thrown as exceptions; what() is the description in UTF-8.
class WallpaperError : public std::exception
{
public:
    enum class Kind { unexpectedStoreFormat, storeMissing, applyFailed };

    static WallpaperError unexpectedStoreFormat(const QString &detail);
    static WallpaperError storeMissing(const QString &path);
    static WallpaperError applyFailed(const QString &detail);

    Kind kind() const { return m_kind; }
    // The case's payload: the detail, or the path for storeMissing.
    QString detail() const { return m_detail; }
    QString description() const;
    const char *what() const noexcept override { return m_what.constData(); }

private:
    WallpaperError(Kind kind, const QString &detail);

    Kind m_kind;
    QString m_detail;
    QByteArray m_what;
};
