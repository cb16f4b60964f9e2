#include "StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <archive.h>
#include <archive_entry.h>

namespace {
QByteArray items(std::initializer_list<std::pair<const char *, const char *>> list)
{
    QJsonArray array;
    for (const auto &[kind, id] : list)
        array.append(QJsonObject{{"kind", kind}, {"id", id}});
    return toJson({{"items", array}});
}

// The session cookie as the desktop client writes it.
QByteArray sessionCookie(const QString &ref, const QJsonObject &session, qsizetype chunkSize = 3180)
{
    const QJsonObject user = session["user"].toObject();
    const QJsonObject value{{"access_token", session["access_token"]},
                            {"token_type", "bearer"},
                            {"expires_in", 3600},
                            {"expires_at", session["expires_at"]},
                            {"refresh_token", session["refresh_token"]},
                            {"user", QJsonObject{{"id", user["id"]}, {"email", user["email"]}, {"aud", "authenticated"}, {"role", "authenticated"}}}};
    const QByteArray encoded = "base64-" + toJson(value).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    const QByteArray name = "sb-" + ref.toUtf8() + "-auth-token";
    if (encoded.size() <= chunkSize)
        return name + '=' + encoded;
    QList<QByteArray> pieces;
    for (qsizetype i = 0, n = 0; i < encoded.size(); i += chunkSize, ++n)
        pieces.append(name + '.' + QByteArray::number(n) + '=' + encoded.mid(i, chunkSize));
    return pieces.join("; ");
}

QMap<QString, QByteArray> unzip(const QByteArray &zip)
{
    QMap<QString, QByteArray> files;
    archive *reader = archive_read_new();
    archive_read_support_format_zip(reader);
    if (archive_read_open_memory(reader, zip.constData(), size_t(zip.size())) != ARCHIVE_OK) {
        archive_read_free(reader);
        return files;
    }
    archive_entry *entry = nullptr;
    while (archive_read_next_header(reader, &entry) == ARCHIVE_OK) {
        QByteArray content(archive_entry_size(entry), Qt::Uninitialized);
        archive_read_data(reader, content.data(), size_t(content.size()));
        files.insert(QString::fromUtf8(archive_entry_pathname(entry)), content);
    }
    archive_read_free(reader);
    return files;
}

enum class Who { Nobody, SignedIn, Owner, Member, FormerMember };
enum class Credentials { None, Bearer, Cookie, ChunkedCookie, BadBearer, ExpiredBearer };
}
Q_DECLARE_METATYPE(Who)
Q_DECLARE_METATYPE(Credentials)

class TestWebApi : public QObject
{
    Q_OBJECT
    std::unique_ptr<StoreFixture> m_fixture;

    QList<std::pair<QByteArray, QByteArray>> authHeaders(const QJsonObject &session, Credentials credentials)
    {
        switch (credentials) {
        case Credentials::None: return {};
        case Credentials::Bearer: return {{"Authorization", "Bearer " + session["access_token"].toString().toUtf8()}};
        case Credentials::Cookie:
            return {{"Cookie", sessionCookie(m_fixture->store().context().options().projectRef, session)}};
        case Credentials::ChunkedCookie:
            return {{"Cookie", "other=1; " + sessionCookie(m_fixture->store().context().options().projectRef, session, 400)}};
        case Credentials::BadBearer: return {{"Authorization", "Bearer not-a-token"}};
        case Credentials::ExpiredBearer:
            m_fixture->advanceClock(3601);
            return {{"Authorization", "Bearer " + session["access_token"].toString().toUtf8()}};
        }
        return {};
    }
    QString userId(const QJsonObject &session) { return session["user"].toObject()["id"].toString(); }
    StoreDatabase &db() { return m_fixture->store().context().db(); }
    void addSubscription(const QString &user, const QString &status)
    {
        db().run(QStringLiteral("INSERT INTO subscriptions VALUES (?, ?, 'monthly', '2026-01-01T00:00:00.000Z')"), {user, status});
    }
    QList<QString> entitlements(const QJsonObject &session)
    {
        QList<QString> ids;
        const Answer answer = m_fixture->backend("GET", QStringLiteral("/rest/v1/user_wallpaper_entitlements?select=user_id%2Cwallpaper_id&order=wallpaper_id"),
                                                 {}, session["access_token"].toString());
        for (const QJsonValue &row : answer.array())
            ids.append(row.toObject()["wallpaper_id"].toString());
        return ids;
    }
    QString pagePath(const Answer &answer)
    {
        return QUrl(answer.object()["url"].toString()).path();
    }

private slots:
    void init() { m_fixture = std::make_unique<StoreFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void refusals_data()
    {
        QTest::addColumn<Who>("who");
        QTest::addColumn<Credentials>("credentials");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");

        const QByteArray one = items({{"wallpaper", "w1"}});
        QTest::newRow("checkout: no email, signed out") << Who::Nobody << Credentials::None << QByteArray("POST") << "/api/checkout" << one << 400 << "email_required";
        QTest::newRow("checkout: bad token") << Who::SignedIn << Credentials::BadBearer << QByteArray("POST") << "/api/checkout" << one << 401 << "invalid_session";
        QTest::newRow("checkout: expired token") << Who::SignedIn << Credentials::ExpiredBearer << QByteArray("POST") << "/api/checkout" << one << 401 << "invalid_session";
        QTest::newRow("checkout: unknown item") << Who::SignedIn << Credentials::Bearer << QByteArray("POST") << "/api/checkout" << items({{"wallpaper", "w9"}}) << 404 << "not_found";
        QTest::newRow("checkout: unpublished item") << Who::SignedIn << Credentials::Bearer << QByteArray("POST") << "/api/checkout" << items({{"wallpaper", "w5"}}) << 404 << "not_found";
        QTest::newRow("checkout: this month's pack") << Who::SignedIn << Credentials::Bearer << QByteArray("POST") << "/api/checkout" << items({{"pack", "m-this"}}) << 403 << "subscriber_only";
        QTest::newRow("checkout: next month's pack") << Who::SignedIn << Credentials::Cookie << QByteArray("POST") << "/api/checkout" << items({{"pack", "m-next"}}) << 403 << "subscriber_only";
        QTest::newRow("checkout: last month's pack") << Who::SignedIn << Credentials::Bearer << QByteArray("POST") << "/api/checkout" << items({{"pack", "m-last"}}) << 200 << "";
        QTest::newRow("checkout: owned wallpaper") << Who::Owner << Credentials::Bearer << QByteArray("POST") << "/api/checkout" << items({{"wallpaper", "w2"}, {"wallpaper", "w1"}}) << 409 << "owned";
        QTest::newRow("checkout: owned through cookie") << Who::Owner << Credentials::Cookie << QByteArray("POST") << "/api/checkout" << one << 409 << "owned";
        QTest::newRow("checkout: pack partly owned") << Who::Owner << Credentials::Bearer << QByteArray("POST") << "/api/checkout" << items({{"pack", "p1"}}) << 200 << "";
        QTest::newRow("checkout: no items") << Who::SignedIn << Credentials::Bearer << QByteArray("POST") << "/api/checkout" << QByteArray(R"({"items":[]})") << 400 << "invalid_items";
        QTest::newRow("checkout: bad kind") << Who::SignedIn << Credentials::Bearer << QByteArray("POST") << "/api/checkout" << items({{"poster", "w1"}}) << 400 << "invalid_items";
        QTest::newRow("checkout: malformed JSON") << Who::SignedIn << Credentials::Bearer << QByteArray("POST") << "/api/checkout" << QByteArray("{\"items\":") << 400 << "invalid_json";
        QTest::newRow("checkout: GET") << Who::SignedIn << Credentials::Bearer << QByteArray("GET") << "/api/checkout" << QByteArray() << 405 << "method_not_allowed";
        QTest::newRow("subscribe: bad plan") << Who::SignedIn << Credentials::Bearer << QByteArray("POST") << "/api/subscribe" << QByteArray(R"({"plan":"weekly"})") << 400 << "invalid_plan";
        QTest::newRow("subscribe: signed out") << Who::Nobody << Credentials::None << QByteArray("POST") << "/api/subscribe" << QByteArray(R"({"plan":"monthly"})") << 401 << "not_signed_in";
        QTest::newRow("subscribe: active member") << Who::Member << Credentials::Bearer << QByteArray("POST") << "/api/subscribe" << QByteArray(R"({"plan":"yearly"})") << 409 << "already_subscribed";
        QTest::newRow("subscribe: former member") << Who::FormerMember << Credentials::Cookie << QByteArray("POST") << "/api/subscribe" << QByteArray(R"({"plan":"yearly"})") << 200 << "";
        QTest::newRow("portal: signed out") << Who::Nobody << Credentials::None << QByteArray("POST") << "/api/portal" << QByteArray("{}") << 401 << "not_signed_in";
        QTest::newRow("portal: never a member") << Who::SignedIn << Credentials::Bearer << QByteArray("POST") << "/api/portal" << QByteArray("{}") << 404 << "no_subscription";
        QTest::newRow("portal: member") << Who::Member << Credentials::Cookie << QByteArray("POST") << "/api/portal" << QByteArray("{}") << 200 << "";
        QTest::newRow("claim: signed out") << Who::Nobody << Credentials::None << QByteArray("POST") << "/api/claim-purchases" << QByteArray() << 401 << "not_signed_in";
        QTest::newRow("download: signed out") << Who::Nobody << Credentials::None << QByteArray("GET") << "/api/download/w1" << QByteArray() << 401 << "not_signed_in";
        QTest::newRow("download: not owned") << Who::SignedIn << Credentials::Bearer << QByteArray("GET") << "/api/download/w1" << QByteArray() << 403 << "not_owned";
        QTest::newRow("download: former member") << Who::FormerMember << Credentials::Bearer << QByteArray("GET") << "/api/download/w1" << QByteArray() << 403 << "not_owned";
        QTest::newRow("download: unknown") << Who::Member << Credentials::Bearer << QByteArray("GET") << "/api/download/w9" << QByteArray() << 404 << "not_found";
        QTest::newRow("download: member") << Who::Member << Credentials::Bearer << QByteArray("GET") << "/api/download/w3" << QByteArray() << 200 << "";
        QTest::newRow("unknown endpoint") << Who::Nobody << Credentials::None << QByteArray("POST") << "/api/refund" << QByteArray("{}") << 404 << "not_found";
    }
    void refusals()
    {
        QFETCH(Who, who);
        QFETCH(Credentials, credentials);
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, error);
        QJsonObject session;
        if (who != Who::Nobody)
            session = m_fixture->signIn(QStringLiteral("web@example.com"));
        if (who == Who::Owner)
            db().run(QStringLiteral("INSERT INTO user_wallpaper_entitlements VALUES (?, 'w1', '2026-01-01T00:00:00.000Z')"), {userId(session)});
        if (who == Who::Member || who == Who::FormerMember)
            addSubscription(userId(session), who == Who::Member ? QStringLiteral("active") : QStringLiteral("canceled"));
        const Answer answer = m_fixture->send(method, path, body, authHeaders(session, credentials));
        QCOMPARE(answer.status, status);
        if (!error.isEmpty()) {
            QCOMPARE(answer.object()["error"].toString(), error);
            QVERIFY(!answer.object()["message"].toString().isEmpty());
        }
    }

    void checkoutPageShowsBundleAndPayGrants()
    {
        const QJsonObject session = m_fixture->signIn(QStringLiteral("pay@example.com"));
        const auto auth = authHeaders(session, Credentials::Bearer);
        // Three full-price wallpapers (99, 150, 99) earn 30 % off each; the sale one (49) stays.
        const Answer checkout = m_fixture->send("POST", "/api/checkout",
                                                items({{"wallpaper", "w1"}, {"wallpaper", "w2"}, {"wallpaper", "w3"}, {"wallpaper", "w4"}}), auth);
        QCOMPARE(checkout.status, 200);
        QVERIFY(checkout.object()["url"].toString().startsWith(m_fixture->url("/checkout/")));
        const Answer page = m_fixture->send("GET", pagePath(checkout));
        QCOMPARE(page.status, 200);
        QVERIFY(page.header("Content-Type").startsWith("text/html"));
        QVERIFY(page.body.contains("data-cents=\"292\""));
        QVERIFY(page.body.contains("$2.92"));
        QVERIFY(page.body.contains("<s>$1.50</s>$1.05"));
        QVERIFY(page.body.contains(">Pay</button>"));

        const Answer paid = m_fixture->send("POST", pagePath(checkout) + "/pay");
        QCOMPARE(paid.status, 303);
        QVERIFY(paid.header("Location").contains("/purchase/confirmed"));
        QCOMPARE(m_fixture->send("GET", QString::fromUtf8(paid.header("Location"))).status, 200);
        QCOMPARE(entitlements(session), (QList<QString>{"w1", "w2", "w3", "w4"}));
        // Paying again changes nothing.
        QCOMPARE(m_fixture->send("POST", pagePath(checkout) + "/pay").header("Location"), paid.header("Location"));
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM orders")).toInt(), 1);
        QCOMPARE(db().scalar(QStringLiteral("SELECT total_cents FROM orders")).toInt(), 292);
    }

    void guestPurchaseIsClaimed()
    {
        const Answer checkout = m_fixture->send("POST", "/api/checkout", toJson({{"items", QJsonArray{QJsonObject{{"kind", "pack"}, {"id", "p1"}}}},
                                                                                {"email", "Guest@Example.com"}}));
        QCOMPARE(checkout.status, 200);
        QCOMPARE(m_fixture->send("POST", pagePath(checkout) + "/pay").status, 303);
        const QJsonObject session = m_fixture->signIn(QStringLiteral("guest@example.com"));
        QVERIFY(entitlements(session).isEmpty());
        const Answer claim = m_fixture->send("POST", "/api/claim-purchases", {}, authHeaders(session, Credentials::Cookie));
        QCOMPARE(claim.status, 200);
        QCOMPARE(claim.object()["claimed"].toInt(), 1);
        QCOMPARE(entitlements(session), (QList<QString>{"w1", "w4"}));
        QCOMPARE(m_fixture->send("POST", "/api/claim-purchases", {}, authHeaders(session, Credentials::Bearer)).object()["claimed"].toInt(), 0);
    }

    void membershipAndPortal()
    {
        const QJsonObject session = m_fixture->signIn(QStringLiteral("member@example.com"));
        const auto auth = authHeaders(session, Credentials::Bearer);
        const Answer subscribe = m_fixture->send("POST", "/api/subscribe", R"({"plan":"monthly"})", auth);
        QCOMPARE(subscribe.status, 200);
        QVERIFY(m_fixture->send("GET", pagePath(subscribe)).body.contains("$9.99 / month"));
        QCOMPARE(m_fixture->send("POST", pagePath(subscribe) + "/pay").status, 303);

        const QString active = QStringLiteral("/rest/v1/subscriptions?select=status%2Cplan&status=in.%28active%2Ctrialing%2Cpast_due%29");
        QCOMPARE(m_fixture->backend("GET", active, {}, session["access_token"].toString()).body,
                 QByteArray(R"([{"status":"active","plan":"monthly"}])"));
        // This month's pack is the member's to keep.
        QCOMPARE(entitlements(session), QList<QString>{"w4"});
        QCOMPARE(m_fixture->send("GET", "/api/download/w3", {}, auth).status, 200);

        const Answer portal = m_fixture->send("POST", "/api/portal", "{}", auth);
        QCOMPARE(portal.status, 200);
        const Answer page = m_fixture->send("GET", pagePath(portal));
        QVERIFY(page.body.contains(">active<"));
        QCOMPARE(m_fixture->send("POST", pagePath(portal) + "/cancel").status, 303);
        QVERIFY(m_fixture->send("GET", pagePath(portal)).body.contains(">canceled<"));
        QCOMPARE(m_fixture->backend("GET", active, {}, session["access_token"].toString()).body, QByteArray("[]"));
        QCOMPARE(m_fixture->send("GET", "/api/download/w3", {}, auth).status, 403);
        QCOMPARE(m_fixture->send("GET", "/api/download/w4", {}, auth).status, 200);
    }

    void downloadIsTheOriginalsZip_data()
    {
        QTest::addColumn<Credentials>("credentials");
        QTest::newRow("bearer") << Credentials::Bearer;
        QTest::newRow("cookie alone") << Credentials::Cookie;
        QTest::newRow("cookie in chunks") << Credentials::ChunkedCookie;
    }
    void downloadIsTheOriginalsZip()
    {
        QFETCH(Credentials, credentials);
        const QJsonObject session = m_fixture->signIn(QStringLiteral("zip@example.com"));
        db().run(QStringLiteral("INSERT INTO user_wallpaper_entitlements VALUES (?, 'w2', '2026-01-01T00:00:00.000Z')"), {userId(session)});
        for (int attempt = 0; attempt < 2; ++attempt) {  // the second one reads the kept checksums
            const Answer answer = m_fixture->send("GET", "/api/download/w2", {}, authHeaders(session, credentials));
            QCOMPARE(answer.status, 200);
            QCOMPARE(answer.header("Content-Type"), QByteArray("application/zip"));
            QCOMPARE(answer.header("Content-Length").toLongLong(), answer.body.size());
            const QMap<QString, QByteArray> files = unzip(answer.body);
            QCOMPARE(files.keys(), (QStringList{"w2-2.jpg", "w2.jpg"}));
            QCOMPARE(files["w2.jpg"], QByteArray(70000, 'L') + "w2");
            QCOMPARE(files["w2-2.jpg"], QByteArray(50000, 'P') + "w2");
        }
    }

    void previewUrlsAreSignedAndLapse()
    {
        const Answer answer = m_fixture->send("POST", "/api/preview-urls",
                                              toJson({{"paths", QJsonArray{"w1/landscape.jpg", "w1/landscape.jpg", "nope.jpg", "../store.sqlite",
                                                                          "w1/../w2/landscape.jpg", "/etc/passwd", "w2/portrait.jpg"}}}));
        QCOMPARE(answer.status, 200);
        const QJsonObject urls = answer.object()["urls"].toObject();
        QCOMPARE(urls.keys(), (QStringList{"w1/landscape.jpg", "w2/portrait.jpg"}));
        const QString signedUrl = urls["w1/landscape.jpg"].toString();
        const Answer image = m_fixture->send("GET", signedUrl);
        QCOMPARE(image.status, 200);
        QCOMPARE(image.body, QByteArray("preview w1"));
        QCOMPARE(image.header("Content-Type"), QByteArray("image/jpeg"));

        // A signature for one object opens no other.
        QString swapped = signedUrl;
        swapped.replace("w1/landscape.jpg", "w2/landscape.jpg");
        QCOMPARE(m_fixture->send("GET", swapped).status, 400);

        m_fixture->advanceClock(3599);
        QCOMPARE(m_fixture->send("GET", signedUrl).status, 200);
        m_fixture->advanceClock(2);
        const Answer lapsed = m_fixture->send("GET", signedUrl);
        QCOMPARE(lapsed.status, 400);
        QCOMPARE(lapsed.object()["error"].toString(), QStringLiteral("InvalidJWT"));
    }

    void pages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::newRow("license") << "/license" << 200;
        QTest::newRow("privacy") << "/privacy" << 200;
        QTest::newRow("contact") << "/contact" << 200;
        QTest::newRow("confirmation") << "/purchase/confirmed?order=x" << 200;
        QTest::newRow("unknown checkout") << "/checkout/cs_nope" << 404;
        QTest::newRow("unknown page") << "/nowhere" << 404;
    }
    void pages()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        const Answer answer = m_fixture->send("GET", path);
        QCOMPARE(answer.status, status);
        QVERIFY(answer.body.startsWith("<!DOCTYPE html>"));
    }
};

QTEST_GUILESS_MAIN(TestWebApi)
#include "tst_webapi.moc"
