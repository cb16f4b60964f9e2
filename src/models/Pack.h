#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// A named group of wallpapers sold together; a monthly pack is the membership's pack of one
// calendar month. Its members come from a separate table.
struct Pack {
    QString id;
    QString slug;
    QString title;
    std::optional<QString> description;
    std::optional<qint64> priceCents;
    QString previewPath;
    bool isPublished = false;
    bool isMonthly = false;
    // Month key such as "2026-03" (see currentMonthKey).
    std::optional<QString> monthlyMonth;

    // The monthly pack of the month `nowMonthKey` or of a later month is for members only.
    bool isSubscriberOnly(const QString &nowMonthKey) const;

    static std::optional<Pack> fromJson(const QJsonValue &json, QString *error = nullptr);
    QJsonObject toJson() const;

    bool operator==(const Pack &) const = default;
};
