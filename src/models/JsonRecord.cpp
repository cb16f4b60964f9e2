#include "JsonRecord.h"

JsonRecordReader::JsonRecordReader(const QJsonValue &value)
    : m_object(value.toObject())
{
    if (!value.isObject())
        m_fault = QStringLiteral("not a JSON object");
}

std::optional<QJsonValue> JsonRecordReader::field(const char *key, Presence presence)
{
    const QJsonValue value = m_object.value(QLatin1StringView(key));
    if (value.isUndefined() || value.isNull()) {
        if (presence == Presence::required)
            fail(key, QStringLiteral("is missing"));
        return std::nullopt;
    }
    return value;
}

void JsonRecordReader::fail(const char *key, const QString &problem)
{
    if (m_fault.isEmpty())
        m_fault = QStringLiteral("key \"%1\" %2").arg(QLatin1StringView(key), problem);
}

std::optional<QString> JsonRecordReader::readText(const char *key, Presence presence)
{
    const std::optional<QJsonValue> value = field(key, presence);
    if (!value)
        return std::nullopt;
    if (!value->isString()) {
        fail(key, QStringLiteral("is not text"));
        return std::nullopt;
    }
    return value->toString();
}

std::optional<qint64> JsonRecordReader::readInteger(const char *key, Presence presence)
{
    const std::optional<QJsonValue> value = field(key, presence);
    if (!value)
        return std::nullopt;
    const std::optional<qint64> number = wholeNumber(*value);
    if (!number)
        fail(key, QStringLiteral("is not a whole number"));
    return number;
}

QString JsonRecordReader::text(const char *key)
{
    return readText(key, Presence::required).value_or(QString());
}

std::optional<QString> JsonRecordReader::optionalText(const char *key)
{
    return readText(key, Presence::optional);
}

qint64 JsonRecordReader::integer(const char *key)
{
    return readInteger(key, Presence::required).value_or(0);
}

std::optional<qint64> JsonRecordReader::optionalInteger(const char *key)
{
    return readInteger(key, Presence::optional);
}

bool JsonRecordReader::boolean(const char *key)
{
    const std::optional<QJsonValue> value = field(key, Presence::required);
    if (value && !value->isBool())
        fail(key, QStringLiteral("is not a boolean"));
    return value && value->toBool();
}

std::optional<qint64> wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger falls back to its argument for fractions and out-of-range values.
    const qint64 first = value.toInteger(1);
    if (first != value.toInteger(2))
        return std::nullopt;
    return first;
}
