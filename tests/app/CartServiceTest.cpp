#include "CartService.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct LogLine {
    QtMsgType type;
    QByteArray category;
    QString message;
};

// Records every log line written while it lives.
class LogCapture
{
public:
    LogCapture() { s_lines.clear(); m_previous = qInstallMessageHandler(&record); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    QList<LogLine> lines() const { return s_lines; }

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        s_lines.append({type, context.category, message});
    }

    static inline QList<LogLine> s_lines;
    QtMessageHandler m_previous = nullptr;
};

// The single error line of the app category that matches `pattern`.
void verifyOneAppError(const QList<LogLine> &lines, const QString &pattern)
{
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().type, QtCriticalMsg);
    QCOMPARE(lines.first().category, "com.quenby.zarnova.app");
    QVERIFY2(QRegularExpression(pattern).match(lines.first().message).hasMatch(),
             qPrintable(lines.first().message));
}

CartItem line(PurchaseKind kind, const QString &id, qint64 cents = 99)
{
    return {.kind = kind, .id = id, .slug = id.toLower(), .title = "Title " + id,
            .priceCents = cents, .onSale = false, .previewPath = "previews/" + id + ".jpg"};
}

QByteArray encode(const QList<CartItem> &items)
{
    QJsonArray array;
    for (const CartItem &item : items)
        array.append(item.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using Ref = std::pair<PurchaseKind, QString>;

}

Q_DECLARE_METATYPE(QList<Ref>)

class CartServiceTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath("support/cart.json");
    }

    void addKeepsOneLinePerKindAndId_data()
    {
        QTest::addColumn<QList<Ref>>("added");
        QTest::addColumn<QList<Ref>>("lines");

        const Ref wallpaper{PurchaseKind::wallpaper, "a1"};
        const Ref pack{PurchaseKind::pack, "a1"};
        const Ref capitalised{PurchaseKind::wallpaper, "A1"};
        QTest::newRow("same wallpaper twice") << QList{wallpaper, wallpaper} << QList{wallpaper};
        QTest::newRow("pack and wallpaper with one id") << QList{pack, wallpaper, pack}
                                                        << QList{pack, wallpaper};
        QTest::newRow("ids differing in case") << QList{wallpaper, capitalised}
                                               << QList{wallpaper, capitalised};
    }

    void addKeepsOneLinePerKindAndId()
    {
        QFETCH(QList<Ref>, added);
        QFETCH(QList<Ref>, lines);

        LogCapture log;
        QList<CartItem> expected;
        for (const auto &[kind, id] : lines)
            expected.append(line(kind, id));
        {
            CartService cart(m_path);
            QSignalSpy changed(&cart, &CartService::itemsChanged);
            for (const auto &[kind, id] : added)
                cart.add(line(kind, id));
            QCOMPARE(cart.items(), expected);
            QCOMPARE(changed.count(), lines.size());
            for (const auto &[kind, id] : lines)
                QVERIFY(cart.contains(kind, id));
            QVERIFY(!cart.contains(PurchaseKind::wallpaper, "a"));
        }
        QCOMPARE(readFile(m_path), encode(expected));
        QCOMPARE(CartService(m_path).items(), expected);
        QVERIFY(log.lines().isEmpty());
    }

    void itemsForScreens()
    {
        CartService cart(m_path);
        cart.add(line(PurchaseKind::pack, "p1", 1299));
        const QVariantList items = cart.property("items").toList();
        QCOMPARE(items.size(), 1);
        const QVariantMap first = items.first().toMap();
        QCOMPARE(first.value("kind"), "pack");
        QCOMPARE(first.value("priceCents").toLongLong(), 1299);
        QCOMPARE(first.value("onSale"), false);
    }

    void ownedItemsAreNotAdded()
    {
        CartService cart(m_path);
        QSignalSpy ownedChanged(&cart, &CartService::ownedChanged);
        cart.setOwned({OwnedRef{PurchaseKind::wallpaper, "w1"}});
        QCOMPARE(ownedChanged.count(), 1);

        cart.add(line(PurchaseKind::wallpaper, "w1"));
        cart.add(line(PurchaseKind::pack, "w1"));
        QCOMPARE(cart.items(), QList{line(PurchaseKind::pack, "w1")});
    }

    void duplicateLinesInTheFileLoadAndGoTogether()
    {
        const CartItem twice = line(PurchaseKind::wallpaper, "w1");
        const CartItem other = line(PurchaseKind::pack, "w1");
        QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
        writeFile(m_path, encode({twice, other, twice}));

        CartService cart(m_path);
        QCOMPARE(cart.items(), (QList{twice, other, twice}));
        cart.remove(twice);
        QCOMPARE(cart.items(), QList{other});
        QCOMPARE(readFile(m_path), encode({other}));
    }

    void unreadableFileResetsTheCart_data()
    {
        QTest::addColumn<QByteArray>("content");

        // One good line, without the closing bracket.
        const QByteArray good = encode({line(PurchaseKind::wallpaper, "w1")}).chopped(1);
        QTest::newRow("one malformed line")
            << good + R"(,{"kind":"wallpaper","id":"w2","slug":"w2","title":"T","onSale":false,"previewPath":"p"}])";
        QTest::newRow("unknown kind")
            << QByteArray(R"([{"kind":"bundle","id":"w2","slug":"w2","title":"T","priceCents":1,"onSale":false,"previewPath":"p"}])");
        QTest::newRow("truncated") << good;
        QTest::newRow("object instead of array") << QByteArray(R"({"items":[]})");
        QTest::newRow("empty file") << QByteArray();
    }

    void unreadableFileResetsTheCart()
    {
        QFETCH(QByteArray, content);
        QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
        writeFile(m_path, content);

        LogCapture log;
        CartService cart(m_path);
        QVERIFY(cart.items().isEmpty());
        QVERIFY(!QFileInfo::exists(m_path));
        verifyOneAppError(log.lines(), "^cart load failed, resetting: \\S.*$");
    }

    void emptyOrMissingFileLoadsSilently()
    {
        LogCapture log;
        QVERIFY(CartService(m_path).items().isEmpty());
        QVERIFY(!QFileInfo::exists(m_path));

        QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
        writeFile(m_path, "[]");
        QVERIFY(CartService(m_path).items().isEmpty());
        QCOMPARE(readFile(m_path), "[]");
        QVERIFY(log.lines().isEmpty());
    }

    void validFileIsLeftAsItIs()
    {
        // Written by hand: spaced out, keys in another order.
        const QByteArray content = R"([
  {"previewPath": "p/w1.jpg", "onSale": true, "priceCents": 49, "title": "Dune",
   "slug": "dune", "id": "w1", "kind": "wallpaper"}
]
)";
        QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
        writeFile(m_path, content);

        CartService cart(m_path);
        QCOMPARE(cart.items(), (QList{CartItem{.kind = PurchaseKind::wallpaper, .id = "w1",
                                               .slug = "dune", .title = "Dune", .priceCents = 49,
                                               .onSale = true, .previewPath = "p/w1.jpg"}}));
        QCOMPARE(readFile(m_path), content);
    }

    void failedSaveKeepsTheChangeInMemory()
    {
        // A file where the support folder belongs: the folder cannot be made (even as root).
        const QString blocker = m_dir->filePath("support");
        writeFile(blocker, "not a folder");
        const CartItem first = line(PurchaseKind::wallpaper, "w1");
        const CartItem second = line(PurchaseKind::pack, "p1");

        CartService cart(m_path);
        {
            LogCapture log;
            cart.add(first);
            verifyOneAppError(log.lines(), "^cart save failed: \\S.*$");
        }
        QCOMPARE(cart.items(), QList{first});
        QVERIFY(!QFileInfo::exists(m_path));

        QVERIFY(QFile::remove(blocker));
        LogCapture log;
        cart.add(second);
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(readFile(m_path), encode({first, second}));
    }
};

QTEST_GUILESS_MAIN(CartServiceTest)
#include "CartServiceTest.moc"
