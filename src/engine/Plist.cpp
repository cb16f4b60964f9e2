#include "Plist.h"

#include <cstdlib>
#include <limits>

namespace Plist {
namespace {

// Property-list dates count from 2001-01-01 00:00:00 UTC.
constexpr qint64 referenceDateUnixSeconds = 978307200;

}

PlistPtr fromData(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<uint32_t>::max())
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    return PlistPtr(root);
}

QByteArray toBinary(plist_t node)
{
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &bytes, &length);
    QByteArray result(bytes, bytes ? qsizetype(length) : 0);
    plist_to_bin_free(bytes);
    return result;
}

bool isDictionary(plist_t node)
{
    return node && plist_get_node_type(node) == PLIST_DICT;
}

bool isArray(plist_t node)
{
    return node && plist_get_node_type(node) == PLIST_ARRAY;
}

plist_t item(plist_t dictionary, const char *key, plist_type type)
{
    if (!isDictionary(dictionary))
        return nullptr;
    plist_t value = plist_dict_get_item(dictionary, key);
    return value && plist_get_node_type(value) == type ? value : nullptr;
}

std::optional<QString> stringValue(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    char *text = nullptr;
    plist_get_string_val(node, &text);
    QString result = QString::fromUtf8(text);
    free(text);
    return result;
}

std::optional<QByteArray> dataValue(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_DATA)
        return std::nullopt;
    char *bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node, &bytes, &length);
    QByteArray result(bytes, bytes ? qsizetype(length) : 0);
    free(bytes);
    return result;
}

PlistPtr newString(const QString &value)
{
    return PlistPtr(plist_new_string(value.toUtf8().constData()));
}

PlistPtr newData(const QByteArray &value)
{
    return PlistPtr(plist_new_data(value.constData(), uint64_t(value.size())));
}

PlistPtr newDate(const QDateTime &value)
{
    const qint64 msecs = value.toMSecsSinceEpoch() - referenceDateUnixSeconds * 1000;
    const qint64 seconds = msecs >= 0 ? msecs / 1000 : -((-msecs + 999) / 1000);
    const qint64 remainder = msecs - seconds * 1000;
    return PlistPtr(plist_new_date(int32_t(seconds), int32_t(remainder * 1000)));
}

std::optional<QDateTime> dateValue(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_DATE)
        return std::nullopt;
    int32_t seconds = 0;
    int32_t micros = 0;
    plist_get_date_val(node, &seconds, &micros);
    // libplist keeps dates as doubles and truncates the fraction it hands out: round to the millisecond.
    return QDateTime::fromMSecsSinceEpoch((referenceDateUnixSeconds + seconds) * 1000 + (micros + 500) / 1000,
                                          Qt::UTC);
}

void setItem(plist_t dictionary, const char *key, PlistPtr value)
{
    plist_dict_set_item(dictionary, key, value.release());
}

void append(plist_t array, PlistPtr value)
{
    plist_array_append_item(array, value.release());
}

}
