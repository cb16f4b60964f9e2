#include "AppSettings.h"
#include "CartItem.h"
#include "LossyDecode.h"
#include "MonthKey.h"
#include "Orientation.h"
#include "OwnedRef.h"
#include "Pack.h"
#include "Subscription.h"
#include "SubscriptionPlan.h"
#include "Wallpaper.h"

#include <QJsonArray>
#include <QSet>
#include <QTest>

namespace {

QJsonObject wallpaperRow()
{
    return {
        {"id", "w1"},
        {"slug", "dune"},
        {"title", "Dune"},
        {"description", "Sand"},
        {"price_cents", 149},
        {"landscape_preview_path", "p/l.jpg"},
        {"portrait_preview_path", "p/p.jpg"},
        {"landscape_file_path", "f/l.jpg"},
        {"portrait_file_path", "f/p.jpg"},
        {"landscape_width", 6016},
        {"landscape_height", 3384},
        {"is_published", true},
    };
}

QJsonObject cartLine()
{
    return {{"kind", "pack"}, {"id", "p1"},       {"slug", "autumn"},   {"title", "Autumn"},
            {"priceCents", 1299}, {"onSale", false}, {"previewPath", "p/a.jpg"}};
}

QJsonObject with(QJsonObject object, const QString &key, const QJsonValue &value)
{
    if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    return object;
}

template <typename T>
void verifyRoundTrip(const T &record)
{
    const std::optional<T> decoded = T::fromJson(record.toJson());
    QVERIFY(decoded);
    QVERIFY(*decoded == record);
}

}

class CatalogRecordsTest : public QObject
{
    Q_OBJECT

private slots:
    void wallpaperDecoding_data()
    {
        QTest::addColumn<QJsonValue>("row");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<QVariant>("priceCents");

        const QJsonObject row = wallpaperRow();
        QTest::newRow("complete") << QJsonValue(row) << true << QVariant(149);
        QTest::newRow("price null") << QJsonValue(with(row, "price_cents", QJsonValue::Null))
                                    << true << QVariant();
        QTest::newRow("price missing")
            << QJsonValue(with(row, "price_cents", QJsonValue::Undefined)) << true << QVariant();
        QTest::newRow("price not whole") << QJsonValue(with(row, "price_cents", 1.5)) << false
                                         << QVariant();
        QTest::newRow("price as text") << QJsonValue(with(row, "price_cents", "149")) << false
                                       << QVariant();
        QTest::newRow("is_published missing")
            << QJsonValue(with(row, "is_published", QJsonValue::Undefined)) << false << QVariant();
        QTest::newRow("is_published null")
            << QJsonValue(with(row, "is_published", QJsonValue::Null)) << false << QVariant();
        QTest::newRow("id is a number") << QJsonValue(with(row, "id", 7)) << false << QVariant();
        QTest::newRow("optional text mistyped") << QJsonValue(with(row, "description", 3))
                                                << false << QVariant();
        QTest::newRow("not an object") << QJsonValue(QJsonArray{row}) << false << QVariant();
    }

    void wallpaperDecoding()
    {
        QFETCH(QJsonValue, row);
        QFETCH(bool, decodes);
        QFETCH(QVariant, priceCents);

        QString error;
        const std::optional<Wallpaper> wallpaper = Wallpaper::fromJson(row, &error);
        QCOMPARE(wallpaper.has_value(), decodes);
        QCOMPARE(error.isEmpty(), decodes);
        if (!wallpaper)
            return;
        QCOMPARE(wallpaper->priceCents.has_value(), priceCents.isValid());
        if (priceCents.isValid())
            QCOMPARE(*wallpaper->priceCents, priceCents.toLongLong());
        QCOMPARE(wallpaper->landscapeWidth, std::optional<qint64>(6016));
        QCOMPARE(wallpaper->portraitWidth, std::nullopt);
    }

    void encodingLeavesOutAbsentOptionals()
    {
        Wallpaper wallpaper = *Wallpaper::fromJson(wallpaperRow());
        wallpaper.description.reset();
        const QJsonObject json = wallpaper.toJson();
        QVERIFY(!json.contains("description"));
        QVERIFY(!json.contains("portrait_width"));
        QCOMPARE(json.value("price_cents").toInteger(), 149);
        QCOMPARE(json.size(), wallpaperRow().size() - 1);
    }

    void recordsRoundTrip()
    {
        verifyRoundTrip(*Wallpaper::fromJson(wallpaperRow()));
        verifyRoundTrip(Pack{.id = "p1", .slug = "march", .title = "March", .previewPath = "c.jpg",
                             .isPublished = true, .isMonthly = true, .monthlyMonth = "2026-03"});
        verifyRoundTrip(AppSettings::fallback());
        verifyRoundTrip(AppSettings{.defaultWallpaperPriceCents = 1, .defaultPackPriceCents = 2,
                                    .subscriptionMonthlyCents = 3, .subscriptionYearlyCents = 4,
                                    .yearlyMonthlyCredits = 6});
        verifyRoundTrip(*CartItem::fromJson(cartLine()));
        verifyRoundTrip(OwnedRef{.kind = PurchaseKind::pack, .id = "p1"});
        verifyRoundTrip(Subscription{.status = "active", .plan = "yearly"});
        verifyRoundTrip(Subscription{.status = "canceled"});
    }

    void cartLineDecoding_data()
    {
        QTest::addColumn<QJsonObject>("line");
        QTest::addColumn<bool>("decodes");

        QTest::newRow("complete") << cartLine() << true;
        QTest::newRow("kind of another case") << with(cartLine(), "kind", "Pack") << false;
        QTest::newRow("unknown kind") << with(cartLine(), "kind", "bundle") << false;
        QTest::newRow("onSale missing") << with(cartLine(), "onSale", QJsonValue::Undefined)
                                        << false;
        QTest::newRow("priceCents as text") << with(cartLine(), "priceCents", "1299") << false;
        QTest::newRow("backend key names") << with(with(cartLine(), "priceCents", QJsonValue::Undefined),
                                                   "price_cents", 1299)
                                           << false;
    }

    void cartLineDecoding()
    {
        QFETCH(QJsonObject, line);
        QFETCH(bool, decodes);
        QCOMPARE(CartItem::fromJson(line).has_value(), decodes);
    }

    void lossyArraySkipsBadElements()
    {
        const QJsonObject first = with(wallpaperRow(), "id", "a");
        const QJsonObject third = with(wallpaperRow(), "id", "c");
        const QJsonArray rows{first, with(wallpaperRow(), "id", 42), third};

        const LossyArray<Wallpaper> decoded =
            decodeLossyArray<Wallpaper>(QJsonDocument(rows).toJson());
        QCOMPARE(decoded.failures, 1);
        QCOMPARE(decoded.elements.size(), 2);
        QCOMPARE(decoded.elements.at(0).id, "a");
        QCOMPARE(decoded.elements.at(1).id, "c");
    }

    void lossyArrayOfUnreadableInput_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("object") << QByteArray(R"({"id":"w1"})");
        QTest::newRow("invalid JSON") << QByteArray("[{\"id\":");
        QTest::newRow("empty") << QByteArray();
    }

    void lossyArrayOfUnreadableInput()
    {
        QFETCH(QByteArray, data);
        const LossyArray<Wallpaper> decoded = decodeLossyArray<Wallpaper>(data);
        QVERIFY(decoded.elements.isEmpty());
        QCOMPARE(decoded.failures, 0);
    }

    void subscriberOnly_data()
    {
        QTest::addColumn<bool>("isMonthly");
        QTest::addColumn<QString>("month");
        QTest::addColumn<bool>("expected");

        QTest::newRow("this month") << true << "2026-03" << true;
        QTest::newRow("next month") << true << "2026-04" << true;
        QTest::newRow("past month") << true << "2026-02" << false;
        QTest::newRow("not monthly") << false << "2026-03" << false;
        QTest::newRow("no month") << true << QString() << false;
    }

    void subscriberOnly()
    {
        QFETCH(bool, isMonthly);
        QFETCH(QString, month);
        QFETCH(bool, expected);
        const Pack pack{.isMonthly = isMonthly,
                        .monthlyMonth = month.isNull() ? std::nullopt : std::optional(month)};
        QCOMPARE(pack.isSubscriberOnly("2026-03"), expected);
    }

    void subscriptionActive_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("active");
        QTest::newRow("active") << "active" << true;
        QTest::newRow("trialing") << "trialing" << true;
        QTest::newRow("past_due") << "past_due" << true;
        QTest::newRow("canceled") << "canceled" << false;
        QTest::newRow("capitalised") << "Active" << false;
        QTest::newRow("empty") << "" << false;
    }

    void subscriptionActive()
    {
        QFETCH(QString, status);
        QFETCH(bool, active);
        QCOMPARE(Subscription{.status = status}.isActive(), active);
    }

    void monthKey_data()
    {
        QTest::addColumn<QDateTime>("instant");
        QTest::addColumn<QTimeZone>("zone");
        QTest::addColumn<QString>("key");

        // 2026-03-01 01:30 in a zone two hours ahead of UTC.
        const QDateTime lateFebruaryUtc(QDate(2026, 2, 28), QTime(23, 30), QTimeZone::utc());
        QTest::newRow("UTC") << lateFebruaryUtc << QTimeZone::utc() << "2026-02";
        QTest::newRow("UTC+2") << lateFebruaryUtc << QTimeZone(2 * 3600) << "2026-03";
        QTest::newRow("early year") << QDateTime(QDate(987, 7, 4), QTime(12, 0), QTimeZone::utc())
                                    << QTimeZone::utc() << "0987-07";
        QTest::newRow("invalid instant") << QDateTime() << QTimeZone::utc() << "0000-00";
    }

    void monthKey()
    {
        QFETCH(QDateTime, instant);
        QFETCH(QTimeZone, zone);
        QFETCH(QString, key);
        QCOMPARE(currentMonthKey(instant, zone), key);
    }

    void ownedRefsDifferByKind()
    {
        const OwnedRef wallpaper{.kind = PurchaseKind::wallpaper, .id = "x"};
        const OwnedRef pack{.kind = PurchaseKind::pack, .id = "x"};
        QVERIFY(wallpaper != pack);
        QVERIFY(qHash(wallpaper) != qHash(pack));
        QVERIFY(std::hash<OwnedRef>{}(wallpaper) != std::hash<OwnedRef>{}(pack));
        QCOMPARE((QSet<OwnedRef>{wallpaper, pack, OwnedRef{.kind = PurchaseKind::pack, .id = "x"}})
                     .size(),
                 2);
    }

    void rawValues()
    {
        QCOMPARE(toRaw(PurchaseKind::pack), "pack");
        QCOMPARE(toRaw(Orientation::portrait), "portrait");
        QCOMPARE(toRaw(SubscriptionPlan::yearly), "yearly");
        QCOMPARE(fromRaw<PurchaseKind>(u"wallpaper"), PurchaseKind::wallpaper);
        QCOMPARE(fromRaw<Orientation>(u"landscape"), Orientation::landscape);
        QCOMPARE(fromRaw<SubscriptionPlan>(u"monthly"), SubscriptionPlan::monthly);
        QCOMPARE(fromRaw<SubscriptionPlan>(u"Monthly"), std::nullopt);
        QCOMPARE(fromRaw<PurchaseKind>(u""), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(CatalogRecordsTest)
#include "CatalogRecordsTest.moc"
