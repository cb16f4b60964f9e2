#include "Cart.h"
#include "Money.h"
#include "Pricing.h"

#include <QTest>

Q_DECLARE_METATYPE(QList<BundleItem>)
Q_DECLARE_METATYPE(QList<BundleLine>)
Q_DECLARE_METATYPE(DealProgress)

namespace {

BundleItem plate(qint64 cents, bool onSale = false)
{
    return {.kind = PurchaseKind::wallpaper, .priceCents = cents, .onSale = onSale};
}

BundleItem pack(qint64 cents, bool onSale = false)
{
    return {.kind = PurchaseKind::pack, .priceCents = cents, .onSale = onSale};
}

BundleLine full(qint64 cents)
{
    return {.unitCents = cents, .discounted = false};
}

BundleLine reduced(qint64 cents)
{
    return {.unitCents = cents, .discounted = true};
}

DealProgress deal(qint64 eligible, qint64 threshold)
{
    return {.eligible = eligible, .threshold = threshold,
            .remaining = qMax<qint64>(0, threshold - eligible), .unlocked = eligible >= threshold};
}

}

class PricingTest : public QObject
{
    Q_OBJECT

private slots:
    void resolvedPrice_data()
    {
        QTest::addColumn<QVariant>("override");
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<bool>("onSale");

        QTest::newRow("no override") << QVariant() << qint64(99) << false;
        QTest::newRow("below default") << QVariant(49) << qint64(49) << true;
        QTest::newRow("equal to default") << QVariant(99) << qint64(99) << false;
        QTest::newRow("above default") << QVariant(150) << qint64(150) << false;
    }

    void resolvedPrice()
    {
        QFETCH(QVariant, override);
        QFETCH(qint64, cents);
        QFETCH(bool, onSale);
        const std::optional<qint64> overrideCents =
            override.isValid() ? std::optional(override.toLongLong()) : std::nullopt;
        QCOMPARE(resolvePrice(overrideCents, 99),
                 (ResolvedPrice{.cents = cents, .defaultCents = 99, .isOnSale = onSale}));
    }

    void money_data()
    {
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("text");

        QTest::newRow("whole dollars") << qint64(1000) << "$10";
        QTest::newRow("cents") << qint64(1050) << "$10.50";
        QTest::newRow("under a dime") << qint64(5) << "$0.05";
        QTest::newRow("under a dollar") << qint64(99) << "$0.99";
        QTest::newRow("zero") << qint64(0) << "$0";
        QTest::newRow("thousands") << qint64(123450) << "$1,234.50";
        QTest::newRow("large") << qint64(123456789012345) << "$1,234,567,890,123.45";
        QTest::newRow("negative") << qint64(-90) << "-$0.90";
        QTest::newRow("negative whole") << qint64(-123400) << "-$1,234";
    }

    void money()
    {
        QFETCH(qint64, cents);
        QFETCH(QString, text);
        QCOMPARE(Money::string(cents), text);
    }

    void bundledUnit_data()
    {
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<qint64>("unit");

        for (const auto &[cents, unit] : std::initializer_list<std::pair<qint64, qint64>>{
                 {99, 69}, {1299, 909}, {1300, 910}, {999, 699}, {50, 35}, {5, 3}, {2, 1},
                 {1, 1}, {0, 0}, {-5, -3}})
            QTest::addRow("%lld", cents) << cents << unit;
    }

    void bundledUnit()
    {
        QFETCH(qint64, cents);
        QFETCH(qint64, unit);
        QCOMPARE(bundledUnitCents(cents), unit);
    }

    void deals_data()
    {
        QTest::addColumn<QList<BundleItem>>("items");
        QTest::addColumn<QList<BundleLine>>("lines");
        QTest::addColumn<qint64>("subtotal");
        QTest::addColumn<DealProgress>("plates");
        QTest::addColumn<DealProgress>("packs");

        QTest::newRow("empty") << QList<BundleItem>{} << QList<BundleLine>{} << qint64(0)
                               << deal(0, 3) << deal(0, 2);
        QTest::newRow("worked example")
            << QList{plate(99), plate(99), plate(99), pack(1299), plate(50, true)}
            << QList{reduced(69), reduced(69), reduced(69), full(1299), full(50)} << qint64(1646)
            << deal(3, 3) << deal(1, 2);
        QTest::newRow("two packs") << QList{pack(1299), pack(1299)}
                                   << QList{reduced(909), reduced(909)} << qint64(2598)
                                   << deal(0, 3) << deal(2, 2);
        QTest::newRow("sale wallpaper does not count")
            << QList{plate(99), plate(99), plate(49, true)}
            << QList{full(99), full(99), full(49)} << qint64(247) << deal(2, 3) << deal(0, 2);
        QTest::newRow("every eligible wallpaper discounted")
            << QList{plate(99), plate(99), plate(99), plate(99)}
            << QList{reduced(69), reduced(69), reduced(69), reduced(69)} << qint64(396)
            << deal(4, 3) << deal(0, 2);
        QTest::newRow("sale pack does not count")
            << QList{pack(1299), pack(999, true)} << QList{full(1299), full(999)}
            << qint64(2298) << deal(0, 3) << deal(1, 2);
        QTest::newRow("rounding of tiny prices")
            << QList{plate(5), plate(1), plate(2)} << QList{reduced(3), full(1), reduced(1)}
            << qint64(8) << deal(3, 3) << deal(0, 2);
        QTest::newRow("order kept when sale and full price alternate")
            << QList{plate(49, true), plate(99), pack(999, true), plate(99), plate(49, true),
                     plate(199)}
            << QList{full(49), reduced(69), full(999), reduced(69), full(49), reduced(139)}
            << qint64(1494) << deal(3, 3) << deal(0, 2);
    }

    void deals()
    {
        QFETCH(QList<BundleItem>, items);
        QFETCH(QList<BundleLine>, lines);
        QFETCH(qint64, subtotal);
        QFETCH(DealProgress, plates);
        QFETCH(DealProgress, packs);

        const BundleResult result = computeBundle(items);
        QVERIFY(result.lines == lines);
        qint64 total = 0;
        for (const BundleLine &line : lines)
            total += line.unitCents;
        QCOMPARE(result.subtotalCents, subtotal);
        QCOMPARE(result.totalCents, total);
        QCOMPARE(result.discountCents, subtotal - total);
        QCOMPARE(result.plateDealApplies, plates.unlocked);
        QCOMPARE(result.packDealApplies, packs.unlocked);
        QVERIFY(bundleProgress(items) == (BundleProgress{.plates = plates, .packs = packs}));
    }

    void cartLinesKeepTheirSnapshot()
    {
        const auto line = [](PurchaseKind kind, const char *id, qint64 cents, bool onSale) {
            return CartItem{.kind = kind, .id = id, .priceCents = cents, .onSale = onSale};
        };
        const QList<CartItem> cart{
            line(PurchaseKind::wallpaper, "a", 99, false), line(PurchaseKind::pack, "b", 1299, false),
            line(PurchaseKind::wallpaper, "c", 99, false), line(PurchaseKind::wallpaper, "d", 50, true),
            line(PurchaseKind::wallpaper, "e", 99, false)};

        const BundleResult result = bundle(cart);
        QCOMPARE(result.subtotalCents, 1646);
        QCOMPARE(result.totalCents, 1556);
        QVERIFY(result.lines
                == (QList{reduced(69), full(1299), reduced(69), full(50), reduced(69)}));
        QVERIFY(progress(cart) == (BundleProgress{.plates = deal(3, 3), .packs = deal(1, 2)}));
    }
};

QTEST_GUILESS_MAIN(PricingTest)
#include "PricingTest.moc"
