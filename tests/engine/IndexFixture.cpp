#include "IndexFixture.h"

#include "WallpaperConfiguration.h"

#include <QStringList>

namespace IndexFixture {
namespace {

QString uuid(char kind, int number)
{
    return QStringLiteral("%1%2-0000-4000-8000-000000000000").arg(QChar::fromLatin1(kind)).arg(number, 7, 10, QChar(u'0'));
}

// An entry as the system keeps it: its Desktop, a screen-saver twin under "Idle" and a type.
PlistPtr entry(const QUrl &image, const QDateTime &lastSet)
{
    PlistPtr node(plist_new_dict());
    Plist::setItem(node.get(), "Desktop", desktopNode(image, lastSet));
    PlistPtr idle(plist_new_dict());
    Plist::setItem(idle.get(), "Desktop", desktopNode(QUrl(QStringLiteral("file:///idle/never-touched.heic"))));
    Plist::setItem(idle.get(), "Provider", Plist::newString(QStringLiteral("com.example.screensaver")));
    Plist::setItem(node.get(), "Idle", std::move(idle));
    Plist::setItem(node.get(), "Type", Plist::newString(QStringLiteral("individual")));
    return node;
}

}

QDateTime initialLastSet()
{
    return QDateTime(QDate(2023, 3, 8), QTime(1, 2, 3, 456), Qt::UTC);
}

PlistPtr desktopNode(const QUrl &image, const QDateTime &lastSet)
{
    PlistPtr choice(plist_new_dict());
    Plist::setItem(choice.get(), "Provider", Plist::newString(WallpaperConfiguration::imageFileProvider));
    Plist::setItem(choice.get(), "Configuration", Plist::newData(WallpaperConfiguration::encode(image)));
    Plist::setItem(choice.get(), "Files", PlistPtr(plist_new_array()));
    PlistPtr choices(plist_new_array());
    Plist::append(choices.get(), std::move(choice));
    PlistPtr content(plist_new_dict());
    Plist::setItem(content.get(), "Choices", std::move(choices));
    Plist::setItem(content.get(), "Shuffle", Plist::newString(QStringLiteral("$null")));
    PlistPtr desktop(plist_new_dict());
    Plist::setItem(desktop.get(), "Content", std::move(content));
    Plist::setItem(desktop.get(), "LastSet", Plist::newDate(lastSet));
    return desktop;
}

PlistPtr makeIndex(int displays, int spaces, const QUrl &image, int payloadBytes, const QDateTime &lastSet)
{
    PlistPtr root(plist_new_dict());
    Plist::setItem(root.get(), "SystemDefault", entry(image, lastSet));
    Plist::setItem(root.get(), "AllSpacesAndDisplays", entry(image, lastSet));

    PlistPtr displayEntries(plist_new_dict());
    for (int d = 0; d < displays; ++d)
        Plist::setItem(displayEntries.get(), uuid('D', d).toUtf8().constData(), entry(image, lastSet));
    Plist::setItem(root.get(), "Displays", std::move(displayEntries));

    PlistPtr spaceEntries(plist_new_dict());
    for (int s = 0; s < spaces; ++s) {
        PlistPtr space(plist_new_dict());
        Plist::setItem(space.get(), "Default", entry(image, lastSet));
        PlistPtr list(plist_new_array());
        for (int d = 0; d < displays; ++d) {
            PlistPtr display = entry(image, lastSet);
            Plist::setItem(display.get(), "Display", Plist::newString(uuid('D', d)));
            if (payloadBytes > 0)
                Plist::setItem(display.get(), "Snapshot", Plist::newData(QByteArray(payloadBytes, char(s + d))));
            Plist::append(list.get(), std::move(display));
        }
        Plist::setItem(space.get(), "Displays", std::move(list));
        Plist::setItem(spaceEntries.get(), uuid('S', s).toUtf8().constData(), std::move(space));
    }
    Plist::setItem(root.get(), "Spaces", std::move(spaceEntries));
    return root;
}

int desktopCount(int displays, int spaces)
{
    return 2 + displays + spaces * (1 + displays);
}

PlistPtr passThroughValues()
{
    // XML is the one way to get libplist to keep an integer above 2^63 as unsigned (16 bytes).
    PlistPtr values = fromXml(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>big</key><integer>18446744073709551600</integer>
  <key>negative</key><integer>-5</integer>
  <key>real</key><real>2.5</real>
  <key>flag</key><true/>
  <key>blob</key><data>AAECAwQF/w==</data>
  <key>nested</key><array><array><dict><key>zeta</key><string>z</string><key>alpha</key><string>a</string></dict></array></array>
</dict></plist>)");
    Plist::setItem(values.get(), "when", PlistPtr(plist_new_date(712345678, 987654)));
    return values;
}

PlistPtr fromXml(const QByteArray &xml)
{
    return Plist::fromData(xml);
}

namespace {

enum class Detail { summary, exact };

QString render(plist_t node, const QByteArray &blob, Detail detail)
{
    switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
        QStringList entries;
        Plist::forEachEntry(node, [&](const char *key, plist_t value) {
            entries.append(QString::fromUtf8(key) + u':' + render(value, blob, detail));
        });
        return u'{' + entries.join(u',') + u'}';
    }
    case PLIST_ARRAY: {
        QStringList items;
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
            items.append(render(plist_array_get_item(node, i), blob, detail));
        return u'[' + items.join(u',') + u']';
    }
    case PLIST_STRING:
        return u'"' + *Plist::stringValue(node) + u'"';
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QString::number(value);
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value ? QStringLiteral("true") : QStringLiteral("false");
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QString::number(value);
    }
    case PLIST_DATE: {
        if (detail == Detail::summary)
            return u'@' + Plist::dateValue(node)->toString(Qt::ISODateWithMs);
        int32_t seconds = 0;
        int32_t micros = 0;
        plist_get_date_val(node, &seconds, &micros);
        return QStringLiteral("@%1.%2").arg(seconds).arg(micros, 6, 10, QChar(u'0'));
    }
    case PLIST_DATA: {
        const QByteArray data = *Plist::dataValue(node);
        if (detail == Detail::exact)
            return u'<' + QString::fromLatin1(data.toHex()) + u'>';
        return !blob.isEmpty() && data == blob ? QStringLiteral("<blob>") : QStringLiteral("<%1 bytes>").arg(data.size());
    }
    default:
        return QStringLiteral("?");
    }
}

}

QString render(plist_t node, const QByteArray &blob)
{
    return render(node, blob, Detail::summary);
}

QString renderExactly(plist_t node)
{
    return render(node, {}, Detail::exact);
}

}
