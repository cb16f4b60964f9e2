#include "StoreFixture.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTest>

namespace {
// How many whole answers (head and Content-Length body) a byte stream holds.
int completeAnswers(const QByteArray &received)
{
    int answers = 0;
    qsizetype at = 0;
    while (true) {
        const qsizetype headEnd = received.indexOf("\r\n\r\n", at);
        if (headEnd < 0)
            return answers;
        const QByteArray head = received.mid(at, headEnd - at).toLower();
        const qsizetype lengthAt = head.indexOf("content-length: ");
        const qint64 length = lengthAt < 0 ? 0 : head.mid(lengthAt + 16).split('\r').first().toLongLong();
        if (received.size() < headEnd + 4 + length)
            return answers;
        at = headEnd + 4 + length;
        ++answers;
    }
}

}

class TestRobustness : public QObject
{
    Q_OBJECT
    std::unique_ptr<StoreFixture> m_fixture;

    // Sends raw bytes and collects what comes back until the server closes or enough answers
    // arrived; the event loop keeps running so the in-process server can answer.
    QByteArray exchange(const QByteArray &raw, int expectedAnswers = 1)
    {
        QTcpSocket socket;
        QByteArray received;
        connect(&socket, &QTcpSocket::readyRead, &socket, [&] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, m_fixture->store().port());
        if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000))
            return {};
        socket.write(raw);
        // What arrived by the deadline is what the caller judges.
        (void)QTest::qWaitFor([&] {
            return socket.state() == QAbstractSocket::UnconnectedState
                || completeAnswers(received) >= expectedAnswers;
        }, 5000);
        return received;
    }
    void addFault(const QJsonObject &fault)
    {
        QCOMPARE(m_fixture->send("POST", "/__dev/faults", toJson(fault)).status, 201);
    }
    Answer settings(int timeoutMs = 10000)
    {
        return m_fixture->send("GET", "/rest/v1/app_settings?select=*&limit=1", {},
                               {{"apikey", m_fixture->publishableKey().toUtf8()}}, timeoutMs);
    }

private slots:
    void init() { m_fixture = std::make_unique<StoreFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void rawRequests_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("statusLine");
        QTest::newRow("garbage") << QByteArray("GARBAGE\r\n\r\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("no version") << QByteArray("GET /\r\n\r\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("header without colon") << QByteArray("GET / HTTP/1.1\r\nbroken\r\n\r\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("huge head") << "GET / HTTP/1.1\r\nX-Long: " + QByteArray(70 * 1024, 'a') + "\r\n\r\n" << QByteArray("HTTP/1.1 431");
        QTest::newRow("oversized body") << QByteArray("POST /api/checkout HTTP/1.1\r\nContent-Length: 100000000\r\n\r\n{") << QByteArray("HTTP/1.1 413");
        QTest::newRow("chunked body") << QByteArray("POST /api/checkout HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1\r\n{\r\n0\r\n\r\n") << QByteArray("HTTP/1.1 411");
        QTest::newRow("bad length") << QByteArray("POST /api/checkout HTTP/1.1\r\nContent-Length: ten\r\n\r\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("storage traversal") << QByteArray("GET /storage/v1/object/sign/previews/../../store.sqlite?token=x HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("encoded traversal") << QByteArray("GET /storage/v1/object/sign/previews/%2e%2e/store.sqlite?token=x HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("backslash traversal") << QByteArray("GET /storage/v1/object/sign/previews/..%5cstore.sqlite?token=x HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("absolute target") << QByteArray("GET http://127.0.0.1/license HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 200");
    }
    void rawRequests()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, statusLine);
        QVERIFY2(exchange(raw).startsWith(statusLine), raw.left(80));
        QCOMPARE(settings().status, 200);  // still serving
    }

    void keepAliveAndPipelining()
    {
        const QByteArray key = m_fixture->publishableKey().toUtf8();
        const QByteArray request = "GET /rest/v1/packs?select=id&id=eq.p1 HTTP/1.1\r\nHost: x\r\napikey: " + key + "\r\n\r\n";
        const QByteArray answers = exchange(request + request + request, 3);
        QCOMPARE(answers.count("HTTP/1.1 200 OK"), 3);
        QCOMPARE(answers.count(R"([{"id":"p1"}])"), 3);

        // A flood of small pipelined requests is answered in turn, not by ever deeper recursion.
        const QByteArray health = "GET /auth/v1/health HTTP/1.1\r\nHost: x\r\n\r\n";
        QCOMPARE(completeAnswers(exchange(health.repeated(3000), 3000)), 3000);
    }

    void oversizedBodyThroughClient()
    {
        const Answer answer = m_fixture->send("POST", "/api/preview-urls", QByteArray(2 * 1024 * 1024, ' '));
        QCOMPARE(answer.status, 413);
    }

    void statusFault()
    {
        addFault({{"prefix", "/rest/v1/app_settings"}, {"kind", "status"}, {"status", 503}, {"body", QJsonObject{{"message", "down"}}}, {"count", 2}});
        QCOMPARE(m_fixture->backend("GET", "/rest/v1/packs?select=id").status, 200);
        for (int i = 0; i < 2; ++i) {
            const Answer answer = settings();
            QCOMPARE(answer.status, 503);
            QCOMPARE(answer.body, QByteArray(R"({"message":"down"})"));
        }
        QCOMPARE(settings().status, 200);
    }

    void dropFault()
    {
        // More than one: the client resends once on a fresh connection when a reused one closes.
        addFault({{"prefix", "/api/preview-urls"}, {"kind", "drop"}, {"count", 3}});
        const Answer dropped = m_fixture->send("POST", "/api/preview-urls", R"({"paths":[]})");
        QVERIFY(dropped.error != QNetworkReply::NoError);
        QCOMPARE(dropped.status, 0);
        QCOMPARE(m_fixture->send("DELETE", "/__dev/faults").status, 204);
        QCOMPARE(m_fixture->send("POST", "/api/preview-urls", R"({"paths":[]})").status, 200);
    }

    void truncateFault_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("buffered body") << "/license";
        QTest::newRow("streamed body") << "/api/download/w1";
    }
    void truncateFault()
    {
        QFETCH(QString, path);
        const QJsonObject session = m_fixture->signIn("cut@example.com");
        m_fixture->store().context().db().run(
            QStringLiteral("INSERT INTO user_wallpaper_entitlements VALUES (?, 'w1', '2026-01-01T00:00:00.000Z')"),
            {session["user"].toObject()["id"].toString()});
        const QList<std::pair<QByteArray, QByteArray>> auth = {{"Authorization", "Bearer " + session["access_token"].toString().toUtf8()}};
        const Answer whole = m_fixture->send("GET", path, {}, auth);
        QCOMPARE(whole.status, 200);
        addFault({{"prefix", path}, {"kind", "truncate"}});
        const Answer cut = m_fixture->send("GET", path, {}, auth);
        QVERIFY(cut.error != QNetworkReply::NoError);
        QVERIFY(cut.body.size() < whole.body.size());
    }

    void delayFaultOutlastsTheClientAndBlocksNobody()
    {
        addFault({{"prefix", "/rest/v1/app_settings"}, {"kind", "delay"}, {"delay_ms", 60000}});
        QNetworkAccessManager network;
        QNetworkRequest slowRequest(QUrl(m_fixture->url("/rest/v1/app_settings?select=*")));
        slowRequest.setRawHeader("apikey", m_fixture->publishableKey().toUtf8());
        slowRequest.setTransferTimeout(300);
        QNetworkReply *slow = network.get(slowRequest);
        // Another request is answered while the delayed one waits.
        QCOMPARE(m_fixture->backend("GET", "/rest/v1/packs?select=id&limit=1").status, 200);
        QVERIFY(!slow->isFinished());
        QVERIFY(QTest::qWaitFor([slow] { return slow->isFinished(); }, 5000));
        QCOMPARE(slow->error(), QNetworkReply::OperationCanceledError);
        slow->deleteLater();
    }

    void countsAndReset()
    {
        settings();
        settings();
        m_fixture->send("GET", "/license");
        m_fixture->signIn("count@example.com");
        m_fixture->advanceClock(120);
        addFault({{"prefix", "/license"}, {"kind", "status"}, {"status", 500}, {"count", 5}});
        const QJsonObject counts = m_fixture->send("GET", "/__dev/requests").object();
        QCOMPARE(counts["/rest/v1/app_settings"].toInt(), 2);
        QCOMPARE(counts["/license"].toInt(), 1);
        QCOMPARE(counts["/auth/v1/otp"].toInt(), 1);
        QVERIFY(!counts.contains("/__dev/outbox"));

        QCOMPARE(m_fixture->send("POST", "/__dev/reset").status, 204);
        QCOMPARE(m_fixture->send("GET", "/__dev/requests").body, QByteArray("{}"));
        QCOMPARE(m_fixture->send("GET", "/__dev/outbox").body, QByteArray("[]"));
        QCOMPARE(m_fixture->send("GET", "/__dev/clock").object()["offset"].toInt(), 0);
        QCOMPARE(m_fixture->send("GET", "/license").status, 200);
        // Users stay unless the data is reset too.
        QCOMPARE(m_fixture->store().context().db().scalar("SELECT count(*) FROM users").toInt(), 1);
        m_fixture->send("POST", "/__dev/reset", R"({"data":true})");
        QCOMPARE(m_fixture->store().context().db().scalar("SELECT count(*) FROM users").toInt(), 0);
    }

    void badControlRequests_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("no prefix") << QByteArray(R"({"kind":"drop"})");
        QTest::newRow("unknown kind") << QByteArray(R"({"prefix":"/api","kind":"explode"})");
        QTest::newRow("bad status") << QByteArray(R"({"prefix":"/api","status":99})");
        QTest::newRow("zero count") << QByteArray(R"({"prefix":"/api","count":0})");
        QTest::newRow("malformed") << QByteArray(R"({"prefix":)");
    }
    void badControlRequests()
    {
        QFETCH(QByteArray, body);
        QCOMPARE(m_fixture->send("POST", "/__dev/faults", body).status, 400);
    }

    void controlsNeedTheFlag()
    {
        QTemporaryDir dir;
        StoreOptions options;
        options.dataDir = dir.path();
        options.printMail = false;
        LocalStore store(options);
        QString error;
        QVERIFY(store.start(&error));
        QCOMPARE(m_fixture->send("GET", store.baseUrl() + "/__dev/outbox").status, 404);
    }
};

QTEST_GUILESS_MAIN(TestRobustness)
#include "tst_robustness.moc"
