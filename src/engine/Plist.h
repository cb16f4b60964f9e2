#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <plist/plist.h>

#include <memory>
#include <optional>

// Owning handle for a libplist tree; the C API keeps dictionary key order, which the index relies on.
struct PlistFree
{
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

namespace Plist {

// Parses binary or XML; nothing when the bytes are no property list.
PlistPtr fromData(const QByteArray &bytes);
QByteArray toBinary(plist_t node);

bool isDictionary(plist_t node);
bool isArray(plist_t node);

// The value under key when it has the wanted type, else nullptr.
plist_t item(plist_t dictionary, const char *key, plist_type type);

std::optional<QString> stringValue(plist_t node);
std::optional<QByteArray> dataValue(plist_t node);

PlistPtr newString(const QString &value);
PlistPtr newData(const QByteArray &value);
PlistPtr newDate(const QDateTime &value);
std::optional<QDateTime> dateValue(plist_t node);

// Stores value under key, taking ownership; an existing key keeps its place.
void setItem(plist_t dictionary, const char *key, PlistPtr value);
void append(plist_t array, PlistPtr value);

// Calls visit(key, value) for each entry in the dictionary's own order.
template<typename Visit>
void forEachEntry(plist_t dictionary, Visit &&visit)
{
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dictionary, &iter);
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dictionary, iter, &key, &value);
        if (!value) {
            free(key);
            break;
        }
        const std::unique_ptr<char, decltype(&free)> owned(key, &free);
        visit(static_cast<const char *>(key), value);
    }
    free(iter);
}

}
