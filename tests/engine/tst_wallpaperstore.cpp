#include "IndexFixture.h"
#include "StoreFileError.h"
#include "TestSupport.h"
#include "WallpaperConfiguration.h"
#include "WallpaperError.h"
#include "WallpaperStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

const QUrl image = QUrl::fromLocalFile(QStringLiteral("/home/user/Pictures/Dune Sea.jpg"));
const QDateTime now(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone::utc());

QByteArray plistXml(const QByteArray &body)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)" + body + "</plist>";
}


}

class WallpaperStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void recognisesKnownRoots_data();
    void recognisesKnownRoots();
    void walksEveryDesktopNode_data();
    void walksEveryDesktopNode();
    void rewritesOneDesktopNode_data();
    void rewritesOneDesktopNode();
    void reportsUnreadableNodesAsAbsent();
    void decodesConfigurationBlobs_data();
    void decodesConfigurationBlobs();
    void encodesConfigurationBlob();
    void readRefusesBadFiles_data();
    void readRefusesBadFiles();
    void roundTripKeepsEverythingElse();
    void writeFailureLeavesIndexInPlace();
    void defaultStoreIsUnderHome();
};

void WallpaperStoreTest::recognisesKnownRoots_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QString>("keyList");

    QTest::newRow("only SystemDefault") << plistXml("<dict><key>SystemDefault</key><dict/></dict>") << true
                                        << R"(["SystemDefault"])";
    QTest::newRow("known beside unknown") << plistXml("<dict><key>zz</key><true/><key>Spaces</key><dict/></dict>")
                                          << true << R"(["Spaces", "zz"])";
    QTest::newRow("unknown keys sorted") << plistXml("<dict><key>b</key><true/><key>a</key><true/></dict>") << false
                                         << R"(["a", "b"])";
    QTest::newRow("empty root") << plistXml("<dict/>") << false << "[]";
    QTest::newRow("case matters") << plistXml("<dict><key>displays</key><true/></dict>") << false
                                  << R"(["displays"])";
}

void WallpaperStoreTest::recognisesKnownRoots()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, known);
    QFETCH(QString, keyList);

    const PlistPtr root = IndexFixture::fromXml(xml);
    QVERIFY(root);
    QCOMPARE(WallpaperStore::looksLikeKnownStore(root.get()), known);
    QCOMPARE(WallpaperStore::keyList(WallpaperStore::rootKeys(root.get())), keyList);
}

void WallpaperStoreTest::walksEveryDesktopNode_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("count");

    QTest::newRow("no Desktop anywhere") << plistXml("<dict><key>Displays</key><dict><key>x</key><dict/></dict></dict>")
                                         << 0;
    QTest::newRow("in nested dictionaries")
        << plistXml("<dict><key>Displays</key><dict><key>A</key><dict><key>Desktop</key><dict/></dict>"
                    "<key>B</key><dict><key>Desktop</key><dict/></dict></dict></dict>")
        << 2;
    QTest::newRow("in a list of displays")
        << plistXml("<dict><key>Spaces</key><dict><key>S</key><dict><key>Displays</key><array>"
                    "<dict><key>Desktop</key><dict/></dict><string>x</string><dict><key>Desktop</key><dict/></dict>"
                    "</array></dict></dict></dict>")
        << 2;
    QTest::newRow("never below Idle")
        << plistXml("<dict><key>SystemDefault</key><dict><key>Desktop</key><dict/><key>Idle</key><dict>"
                    "<key>Desktop</key><dict/><key>More</key><array><dict><key>Desktop</key><dict/></dict></array>"
                    "</dict></dict></dict>")
        << 1;
    QTest::newRow("Desktop that is no dictionary")
        << plistXml("<dict><key>SystemDefault</key><dict><key>Desktop</key><array><dict><key>Desktop</key><dict/>"
                    "</dict></array></dict></dict>")
        << 0;
    QTest::newRow("never inside a Desktop node")
        << plistXml("<dict><key>SystemDefault</key><dict><key>Desktop</key><dict><key>Inner</key><dict>"
                    "<key>Desktop</key><dict/></dict></dict></dict></dict>")
        << 1;
    QTest::newRow("at the root") << plistXml("<dict><key>Desktop</key><dict/><key>Spaces</key><dict/></dict>") << 1;
}

void WallpaperStoreTest::walksEveryDesktopNode()
{
    QFETCH(QByteArray, xml);
    QFETCH(int, count);

    const PlistPtr root = IndexFixture::fromXml(xml);
    QVERIFY(root);
    QCOMPARE(WallpaperStore::rewriteAllDesktops(image, root.get(), now), count);

    const QList<std::optional<QUrl>> urls = WallpaperStore::desktopImageURLs(root.get());
    QCOMPARE(urls.size(), count);
    for (const std::optional<QUrl> &url : urls)
        QCOMPARE(url, std::optional<QUrl>(image));
    // Each rewritten node gains one "$null"; a node that must stay untouched gains none.
    QCOMPARE(IndexFixture::render(root.get()).count(QStringLiteral("\"$null\"")), count);
    QCOMPARE(WallpaperStore::anyDesktopImageURL(root.get()), count > 0 ? std::optional<QUrl>(image) : std::nullopt);
}

void WallpaperStoreTest::rewritesOneDesktopNode_data()
{
    QTest::addColumn<QByteArray>("desktop");
    QTest::addColumn<QString>("expected");

    const QString choice = QString::fromUtf8(R"({Configuration:<blob>,Provider:"com.apple.wallpaper.choice.image",Files:[]})");
    const QString lastSet = QStringLiteral("LastSet:@2026-03-04T05:06:07.089Z");

    QTest::newRow("without Content") << QByteArray("<dict><key>Keep</key><string>k</string></dict>")
                                     << R"({Keep:"k",Content:{Choices:[)" + choice + R"(],Shuffle:"$null"},)" + lastSet
            + "}";
    QTest::newRow("Content of another type")
        << QByteArray("<dict><key>Content</key><string>x</string><key>Keep</key><true/></dict>")
        << R"({Content:{Choices:[)" + choice + R"(],Shuffle:"$null"},Keep:true,)" + lastSet + "}";
    QTest::newRow("empty Choices") << QByteArray("<dict><key>Content</key><dict><key>Choices</key><array/></dict></dict>")
                                   << R"({Content:{Choices:[)" + choice + R"(],Shuffle:"$null"},)" + lastSet + "}";
    QTest::newRow("Choices of another type")
        << QByteArray("<dict><key>Content</key><dict><key>Choices</key><string>x</string><key>Other</key>"
                      "<integer>1</integer></dict></dict>")
        << R"({Content:{Choices:[)" + choice + R"(],Other:1,Shuffle:"$null"},)" + lastSet + "}";
    QTest::newRow("every dictionary choice, strangers kept")
        << QByteArray("<dict><key>LastSet</key><date>2020-01-01T00:00:00Z</date><key>Content</key><dict>"
                      "<key>Shuffle</key><true/><key>Choices</key><array>"
                      "<dict><key>Provider</key><string>com.example.dynamic</string><key>Extra</key><string>e</string>"
                      "<key>Configuration</key><data>AAEC</data><key>Files</key><array><string>f</string></array></dict>"
                      "<string>stranger</string><dict/></array></dict></dict>")
        << R"({LastSet:@2026-03-04T05:06:07.089Z,Content:{Shuffle:"$null",Choices:[)"
               R"({Provider:"com.apple.wallpaper.choice.image",Extra:"e",Configuration:<blob>,Files:[]},"stranger",)"
            + choice + "]}}";
}

void WallpaperStoreTest::rewritesOneDesktopNode()
{
    QFETCH(QByteArray, desktop);
    QFETCH(QString, expected);

    const PlistPtr root = IndexFixture::fromXml(plistXml("<dict><key>SystemDefault</key><dict><key>Desktop</key>"
                                                         + desktop + "</dict></dict>"));
    QVERIFY(root);
    QCOMPARE(WallpaperStore::rewriteAllDesktops(image, root.get(), now), 1);
    plist_t node = Plist::item(Plist::item(root.get(), "SystemDefault", PLIST_DICT), "Desktop", PLIST_DICT);
    QCOMPARE(IndexFixture::render(node, WallpaperConfiguration::encode(image)), expected);
}

void WallpaperStoreTest::reportsUnreadableNodesAsAbsent()
{
    const QUrl other = QUrl::fromLocalFile(QStringLiteral("/other.png"));
    const QByteArray blob = WallpaperConfiguration::encode(other).toBase64();
    const PlistPtr root = IndexFixture::fromXml(plistXml(
        "<dict><key>Displays</key><array>"
        "<dict><key>Desktop</key><dict/></dict>"
        "<dict><key>Desktop</key><dict><key>Content</key><dict><key>Choices</key><array><string>x</string>"
        "</array></dict></dict></dict>"
        "<dict><key>Desktop</key><dict><key>Content</key><dict><key>Choices</key><array><dict>"
        "<key>Configuration</key><data>" + QByteArray("garbage").toBase64() + "</data></dict></array></dict></dict></dict>"
        "<dict><key>Desktop</key><dict><key>Content</key><dict><key>Choices</key><array><dict>"
        "<key>Configuration</key><data>" + blob + "</data></dict></array></dict></dict></dict>"
        "</array></dict>"));
    QVERIFY(root);
    const QList<std::optional<QUrl>> expected{std::nullopt, std::nullopt, std::nullopt, other};
    QCOMPARE(WallpaperStore::desktopImageURLs(root.get()), expected);
    QCOMPARE(WallpaperStore::anyDesktopImageURL(root.get()), std::optional<QUrl>(other));
}

void WallpaperStoreTest::decodesConfigurationBlobs_data()
{
    QTest::addColumn<QByteArray>("blob");
    QTest::addColumn<std::optional<QUrl>>("url");

    const auto xmlBlob = [](const QByteArray &body) { return plistXml(body); };
    const QUrl file(QStringLiteral("file:///tmp/a%20b.jpg"));

    QTest::newRow("own encoding") << WallpaperConfiguration::encode(file) << std::optional<QUrl>(file);
    QTest::newRow("other type, XML format")
        << xmlBlob("<dict><key>type</key><string>dynamic</string><key>url</key><dict><key>relative</key>"
                   "<string>file:///tmp/a%20b.jpg</string></dict></dict>")
        << std::optional<QUrl>(file);
    QTest::newRow("relative is a number")
        << xmlBlob("<dict><key>url</key><dict><key>relative</key><integer>3</integer></dict></dict>")
        << std::optional<QUrl>();
    QTest::newRow("url missing") << xmlBlob("<dict><key>type</key><string>imageFile</string></dict>")
                                 << std::optional<QUrl>();
    QTest::newRow("url not a dictionary") << xmlBlob("<dict><key>url</key><string>file:///x</string></dict>")
                                          << std::optional<QUrl>();
    QTest::newRow("root not a dictionary") << xmlBlob("<array/>") << std::optional<QUrl>();
    QTest::newRow("not a URL")
        << xmlBlob("<dict><key>url</key><dict><key>relative</key><string>http://exa mple.com/%zz</string></dict></dict>")
        << std::optional<QUrl>();
    QTest::newRow("empty relative")
        << xmlBlob("<dict><key>url</key><dict><key>relative</key><string></string></dict></dict>")
        << std::optional<QUrl>();
    QTest::newRow("garbage") << QByteArray("bplist00garbage") << std::optional<QUrl>();
    QTest::newRow("empty") << QByteArray() << std::optional<QUrl>();
}

void WallpaperStoreTest::decodesConfigurationBlobs()
{
    QFETCH(QByteArray, blob);
    QFETCH(std::optional<QUrl>, url);

    QCOMPARE(WallpaperConfiguration::decodeImageFileURL(blob), url);
}

void WallpaperStoreTest::encodesConfigurationBlob()
{
    const QByteArray blob = WallpaperConfiguration::encode(image);
    QVERIFY(blob.startsWith("bplist00"));
    const PlistPtr root = Plist::fromData(blob);
    const QString expected = QString::fromUtf8(R"({type:"imageFile",url:{relative:"file:///home/user/Pictures/Dune%20Sea.jpg"}})");
    QCOMPARE(IndexFixture::render(root.get()), expected);
}

void WallpaperStoreTest::readRefusesBadFiles_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("description");

    QTest::newRow("missing") << QByteArray() << "Wallpaper store not found at %1";
    QTest::newRow("not a property list") << QByteArray("hello") << "%1: not a property list";
    QTest::newRow("root is an array") << plistXml("<array><dict/></array>")
                                      << "Unexpected wallpaper store format: root is not a dictionary";
}

void WallpaperStoreTest::readRefusesBadFiles()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, description);

    QTemporaryDir dir;
    const WallpaperStore store(dir.filePath(QStringLiteral("Index.plist")));
    if (!contents.isEmpty())
        TestSupport::writeAll(store.indexURL(), contents);
    QCOMPARE(store.exists(), !contents.isEmpty());
    try {
        store.read();
        QFAIL("read() accepted the file");
    } catch (const std::exception &error) {
        QCOMPARE(QString::fromUtf8(error.what()), description.replace(QStringLiteral("%1"), store.indexURL()));
    }
}

void WallpaperStoreTest::roundTripKeepsEverythingElse()
{
    QTemporaryDir dir;
    const WallpaperStore store(dir.filePath(QStringLiteral("Index.plist")));
    PlistPtr original = IndexFixture::makeIndex(2, 3, QUrl::fromLocalFile(QStringLiteral("/old.png")));
    Plist::setItem(original.get(), "Unknown", IndexFixture::passThroughValues());
    // Any format is read.
    TestSupport::writeAll(store.indexURL(), plistXml("<dict><key>Spaces</key><dict/></dict>"));
    QCOMPARE(WallpaperStore::rootKeys(store.read().get()), QStringList{QStringLiteral("Spaces")});
    TestSupport::writeAll(store.indexURL(), Plist::toBinary(original.get()));

    PlistPtr root = store.read();
    const PlistPtr expected(plist_copy(root.get()));
    QCOMPARE(WallpaperStore::rewriteAllDesktops(image, root.get(), now), IndexFixture::desktopCount(2, 3));
    store.write(root.get());

    QFile file(store.indexURL());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("bplist00"));
    const PlistPtr reread = store.read();
    // The rewrite touched Desktop nodes only: their siblings, the Idle twins, are as they were.
    plist_t before = Plist::item(expected.get(), "SystemDefault", PLIST_DICT);
    plist_t after = Plist::item(reread.get(), "SystemDefault", PLIST_DICT);
    QCOMPARE(IndexFixture::renderExactly(Plist::item(after, "Idle", PLIST_DICT)),
             IndexFixture::renderExactly(Plist::item(before, "Idle", PLIST_DICT)));
    QCOMPARE(IndexFixture::render(after).section(u',', -1), QStringLiteral("Type:\"individual\"}"));
    QCOMPARE(WallpaperStore::rootKeys(reread.get()), WallpaperStore::rootKeys(expected.get()));
    const QString unknown = QString::fromUtf8(R"({big:18446744073709551600,negative:18446744073709551611,real:2.5,)"
                                              R"(flag:true,blob:<7 bytes>,nested:[[{zeta:"z",alpha:"a"}]],)"
                                              R"(when:@2023-07-29T17:47:58.988Z})");
    QCOMPARE(IndexFixture::render(Plist::item(reread.get(), "Unknown", PLIST_DICT)), unknown);
    // The date keeps its microseconds.
    QCOMPARE(IndexFixture::renderExactly(Plist::item(reread.get(), "Unknown", PLIST_DICT)),
             IndexFixture::renderExactly(Plist::item(original.get(), "Unknown", PLIST_DICT)));
    // Above 2^63 stays unsigned only as a 16-byte integer.
    QVERIFY(Plist::toBinary(reread.get()).contains(QByteArray::fromHex("140000000000000000fffffffffffffff0")));
}

void WallpaperStoreTest::writeFailureLeavesIndexInPlace()
{
    QTemporaryDir dir;
    const WallpaperStore missingFolder(dir.filePath(QStringLiteral("nowhere/Index.plist")));
    const PlistPtr root = IndexFixture::makeIndex(1, 1, image);
    QVERIFY_THROWS_EXCEPTION(StoreFileError, missingFolder.write(root.get()));
    QVERIFY(!missingFolder.exists());
}

void WallpaperStoreTest::defaultStoreIsUnderHome()
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    QCOMPARE(WallpaperStore::defaultStore().indexURL(),
             home.path() + QStringLiteral("/Library/Application Support/com.apple.wallpaper/Store/Index.plist"));
}

QTEST_GUILESS_MAIN(WallpaperStoreTest)
#include "tst_wallpaperstore.moc"
