#pragma once

#include "RawEnum.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Reads the fields of one JSON record. A required key that is missing, null or of the wrong
// type, or an optional key of the wrong type, fails the record; the first such fault is kept
// as its description.
class JsonRecordReader
{
public:
    explicit JsonRecordReader(const QJsonValue &value);

    QString text(const char *key);
    std::optional<QString> optionalText(const char *key);
    qint64 integer(const char *key);
    std::optional<qint64> optionalInteger(const char *key);
    bool boolean(const char *key);

    template <RawEnum E>
    E rawEnum(const char *key)
    {
        const QString raw = text(key);
        if (const std::optional<E> value = fromRaw<E>(raw))
            return *value;
        if (m_fault.isEmpty())
            fail(key, QStringLiteral("holds \"%1\", which names no known case").arg(raw));
        return E{};
    }

    // The record when every field read well, else nothing (and the fault in `error`).
    template <typename T>
    std::optional<T> result(T record, QString *error) const
    {
        if (m_fault.isEmpty())
            return record;
        if (error)
            *error = m_fault;
        return std::nullopt;
    }

private:
    enum class Presence { required, optional };

    // The value of a present, non-null key; nothing (and a fault when required) otherwise.
    std::optional<QJsonValue> field(const char *key, Presence presence);
    std::optional<QString> readText(const char *key, Presence presence);
    std::optional<qint64> readInteger(const char *key, Presence presence);
    void fail(const char *key, const QString &problem);

    QJsonObject m_object;
    QString m_fault;
};

// JSON integers must be whole numbers: 1.5 is no integer.
std::optional<qint64> wholeNumber(const QJsonValue &value);

// Absent optionals are left out, never written as null.
template <typename T>
void insertIfPresent(QJsonObject &json, const char *key, const std::optional<T> &value)
{
    if (value)
        json.insert(QLatin1StringView(key), *value);
}
