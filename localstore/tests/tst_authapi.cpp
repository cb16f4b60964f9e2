#include "Jwt.h"
#include "StoreFixture.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QUrlQuery>

namespace {
// The error code in either of the two error forms.
QString errorCode(const Answer &answer)
{
    const QJsonObject body = answer.object();
    return body.contains("error_code") ? body["error_code"].toString() : body["code"].toString();
}
}

class TestAuthApi : public QObject
{
    Q_OBJECT
    std::unique_ptr<StoreFixture> m_fixture;

    Answer requestCode(const QString &email, bool createUser = true, const QJsonObject &extra = {})
    {
        QJsonObject body = extra;
        body.insert("email", email);
        body.insert("create_user", createUser);
        return m_fixture->backend("POST", QStringLiteral("/auth/v1/otp"), toJson(body));
    }
    QJsonObject lastMail(const QString &email)
    {
        return m_fixture->send("GET", QStringLiteral("/__dev/outbox?email=") + email).array().last().toObject();
    }
    Answer verify(const QString &email, const QString &token, const QString &type)
    {
        return m_fixture->backend("POST", QStringLiteral("/auth/v1/verify"),
                                  toJson({{"email", email}, {"token", token}, {"type", type}}));
    }
    Answer refresh(const QString &token)
    {
        return m_fixture->backend("POST", QStringLiteral("/auth/v1/token?grant_type=refresh_token"),
                                  toJson({{"refresh_token", token}}));
    }

private slots:
    void init() { m_fixture = std::make_unique<StoreFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void sendCodeRefusals_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("code");
        QTest::newRow("bad address") << QByteArray(R"({"email":"not-an-address"})") << 400 << "validation_failed";
        QTest::newRow("no address") << QByteArray(R"({"create_user":true})") << 400 << "validation_failed";
        QTest::newRow("unknown user, no sign-up") << QByteArray(R"({"email":"new@example.com","create_user":false})") << 422 << "otp_disabled";
        QTest::newRow("malformed JSON") << QByteArray(R"({"email":)") << 400 << "bad_json";
        QTest::newRow("bad challenge method") << QByteArray(R"({"email":"a@example.com","code_challenge":"x","code_challenge_method":"md5"})")
                                              << 400 << "validation_failed";
    }
    void sendCodeRefusals()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, code);
        const Answer answer = m_fixture->backend("POST", QStringLiteral("/auth/v1/otp"), body);
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.object()["error_code"].toString(), code);
        QCOMPARE(answer.object()["code"].toInt(), status);
        QVERIFY(!answer.object()["msg"].toString().isEmpty());
    }

    void versionedErrorForm()
    {
        const Answer answer = m_fixture->send("POST", QStringLiteral("/auth/v1/otp"), R"({"email":"bad"})",
                                              {{"apikey", m_fixture->publishableKey().toUtf8()},
                                               {"X-Supabase-Api-Version", "2024-01-01"}});
        QCOMPARE(answer.object(), (QJsonObject{{"code", "validation_failed"},
                                               {"message", "Unable to validate email address: invalid format"}}));
    }

    void codeMailAndSendInterval()
    {
        QCOMPARE(requestCode("Dee@Example.com").status, 200);
        const QJsonObject mail = lastMail("dee@example.com");
        QVERIFY(QRegularExpression("^\\d{8}$").match(mail["code"].toString()).hasMatch());
        QCOMPARE(mail["type"].toString(), QStringLiteral("signup"));
        QVERIFY(mail["link"].toString().startsWith(m_fixture->url("/auth/v1/verify?token=")));

        const Answer again = requestCode("dee@example.com");
        QCOMPARE(again.status, 429);
        QCOMPARE(again.object()["error_code"].toString(), QStringLiteral("over_email_send_rate_limit"));
        QCOMPARE(again.object()["msg"].toString(), QStringLiteral("For security purposes, you can only request this after 60 seconds."));
        m_fixture->advanceClock(45);
        QVERIFY(requestCode("dee@example.com").object()["msg"].toString().contains("after 15 seconds"));
        m_fixture->advanceClock(15);
        QCOMPARE(requestCode("dee@example.com").status, 200);
        // A new code replaces the old one.
        const QString old = mail["code"].toString();
        QCOMPARE(errorCode(verify("dee@example.com", old, "email")), QStringLiteral("otp_expired"));
    }

    void verifyTypes_data()
    {
        QTest::addColumn<bool>("existingUser");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("status");
        QTest::newRow("new user, email") << false << "email" << 200;
        QTest::newRow("new user, signup") << false << "signup" << 200;
        QTest::newRow("new user, magiclink") << false << "magiclink" << 403;
        QTest::newRow("known user, email") << true << "email" << 200;
        QTest::newRow("known user, magiclink") << true << "magiclink" << 200;
        QTest::newRow("known user, signup") << true << "signup" << 403;
        QTest::newRow("known user, recovery") << true << "recovery" << 403;
        QTest::newRow("unknown type") << true << "password" << 400;
    }
    void verifyTypes()
    {
        QFETCH(bool, existingUser);
        QFETCH(QString, type);
        QFETCH(int, status);
        const QString email = QStringLiteral("eve@example.com");
        if (existingUser) {
            m_fixture->signIn(email);
            m_fixture->advanceClock(60);
        }
        requestCode(email);
        const Answer answer = verify(email, lastMail(email)["code"].toString(), type);
        QCOMPARE(answer.status, status);
        if (status == 200) {
            const QJsonObject session = answer.object();
            QCOMPARE(session["token_type"].toString(), QStringLiteral("bearer"));
            QCOMPARE(session["expires_in"].toInt(), 3600);
            QCOMPARE(session["user"].toObject()["email"].toString(), email);
            QVERIFY(!session["user"].toObject()["email_confirmed_at"].toString().isEmpty());
            QVERIFY(!session["refresh_token"].toString().isEmpty());
        } else if (status == 403) {
            QCOMPARE(errorCode(answer), QStringLiteral("otp_expired"));
        }
    }

    void codeIsUsedOnceAndExpires()
    {
        const QString email = QStringLiteral("fay@example.com");
        requestCode(email);
        const QString code = lastMail(email)["code"].toString();
        QCOMPARE(verify(email, code == "00000000" ? "11111111" : "00000000", "email").status, 403);
        QCOMPARE(verify(email, code, "email").status, 200);
        QCOMPARE(verify(email, code, "email").status, 403);

        m_fixture->advanceClock(60);
        requestCode(email);
        const QString second = lastMail(email)["code"].toString();
        m_fixture->advanceClock(3601);
        const Answer expired = verify(email, second, "email");
        QCOMPARE(expired.status, 403);
        QCOMPARE(expired.object()["msg"].toString(), QStringLiteral("Token has expired or is invalid"));
    }

    void guessingStops()
    {
        const QString email = QStringLiteral("guess@example.com");
        requestCode(email);
        const QString code = lastMail(email)["code"].toString();
        const QString wrong = code == "00000000" ? "11111111" : "00000000";
        for (int i = 0; i < 10; ++i)
            QCOMPARE(verify(email, wrong, "email").status, 403);
        const Answer stopped = verify(email, code, "email");
        QCOMPARE(stopped.status, 429);
        QCOMPARE(errorCode(stopped), QStringLiteral("over_request_rate_limit"));
        // A new code starts afresh.
        m_fixture->advanceClock(60);
        requestCode(email);
        QCOMPARE(verify(email, lastMail(email)["code"].toString(), "email").status, 200);
    }

    void accessTokenClaims()
    {
        const QJsonObject session = m_fixture->signIn(QStringLiteral("gus@example.com"));
        const QByteArray token = session["access_token"].toString().toUtf8();
        const QByteArray secret = m_fixture->store().context().db().meta("jwt_secret").toUtf8();
        const Jwt::Verified verified = Jwt(secret).verify(token, QDateTime::currentSecsSinceEpoch(), 0);
        QCOMPARE(verified.status, Jwt::Status::Valid);
        const QJsonObject claims = verified.claims;
        QCOMPARE(claims["sub"].toString(), session["user"].toObject()["id"].toString());
        QCOMPARE(claims["aud"].toString(), QStringLiteral("authenticated"));
        QCOMPARE(claims["role"].toString(), QStringLiteral("authenticated"));
        QCOMPARE(claims["iss"].toString(), m_fixture->url("/auth/v1"));
        QCOMPARE(claims["aal"].toString(), QStringLiteral("aal1"));
        QCOMPARE(claims["email"].toString(), QStringLiteral("gus@example.com"));
        QCOMPARE(claims["exp"].toInteger() - claims["iat"].toInteger(), 3600);
        QCOMPARE(claims["exp"].toInteger(), session["expires_at"].toInteger());
        QVERIFY(!claims["session_id"].toString().isEmpty());
        QCOMPARE(claims["amr"].toArray().first().toObject()["method"].toString(), QStringLiteral("otp"));

        const Answer user = m_fixture->backend("GET", QStringLiteral("/auth/v1/user"), {}, QString::fromUtf8(token));
        QCOMPARE(user.status, 200);
        QCOMPARE(user.object()["id"], session["user"].toObject()["id"]);
    }

    void refreshRotates()
    {
        const QJsonObject session = m_fixture->signIn(QStringLiteral("hal@example.com"));
        const QString first = session["refresh_token"].toString();
        const Answer rotated = refresh(first);
        QCOMPARE(rotated.status, 200);
        const QString second = rotated.object()["refresh_token"].toString();
        QVERIFY(second != first);

        // Within the reuse window the old token answers with its successor.
        const Answer retry = refresh(first);
        QCOMPARE(retry.status, 200);
        QCOMPARE(retry.object()["refresh_token"].toString(), second);

        // After it, reuse is refused and ends the session.
        m_fixture->advanceClock(11);
        const Answer reused = refresh(first);
        QCOMPARE(reused.status, 400);
        QCOMPARE(errorCode(reused), QStringLiteral("refresh_token_already_used"));
        QCOMPARE(errorCode(refresh(second)), QStringLiteral("refresh_token_not_found"));
        QCOMPARE(errorCode(refresh(QStringLiteral("never-issued"))), QStringLiteral("refresh_token_not_found"));
    }

    void refreshAfterExpiry()
    {
        const QJsonObject session = m_fixture->signIn(QStringLiteral("ida@example.com"));
        m_fixture->advanceClock(7200);
        const Answer user = m_fixture->backend("GET", QStringLiteral("/auth/v1/user"), {}, session["access_token"].toString());
        QCOMPARE(user.status, 403);
        QCOMPARE(errorCode(user), QStringLiteral("bad_jwt"));
        const Answer refreshed = refresh(session["refresh_token"].toString());
        QCOMPARE(refreshed.status, 200);
        QCOMPARE(m_fixture->backend("GET", QStringLiteral("/auth/v1/user"), {}, refreshed.object()["access_token"].toString()).status, 200);
    }

    void logoutScopes_data()
    {
        QTest::addColumn<QString>("scope");
        QTest::addColumn<bool>("thisSessionLives");
        QTest::addColumn<bool>("otherSessionLives");
        QTest::newRow("global") << "global" << false << false;
        QTest::newRow("default is global") << "" << false << false;
        QTest::newRow("local") << "local" << false << true;
        QTest::newRow("others") << "others" << true << false;
    }
    void logoutScopes()
    {
        QFETCH(QString, scope);
        QFETCH(bool, thisSessionLives);
        QFETCH(bool, otherSessionLives);
        const QString email = QStringLiteral("jo@example.com");
        const QJsonObject one = m_fixture->signIn(email);
        m_fixture->advanceClock(60);
        const QJsonObject two = m_fixture->signIn(email);
        const QString path = scope.isEmpty() ? QStringLiteral("/auth/v1/logout") : QStringLiteral("/auth/v1/logout?scope=") + scope;
        const Answer answer = m_fixture->backend("POST", path, {}, one["access_token"].toString());
        QCOMPARE(answer.status, 204);
        QVERIFY(answer.body.isEmpty());
        QCOMPARE(refresh(one["refresh_token"].toString()).status == 200, thisSessionLives);
        QCOMPARE(refresh(two["refresh_token"].toString()).status == 200, otherSessionLives);
        const Answer user = m_fixture->backend("GET", QStringLiteral("/auth/v1/user"), {}, one["access_token"].toString());
        QCOMPARE(user.status == 200, thisSessionLives);
    }

    void logoutRefusals()
    {
        QCOMPARE(m_fixture->backend("POST", QStringLiteral("/auth/v1/logout")).status, 401);
        const Answer bad = m_fixture->backend("POST", QStringLiteral("/auth/v1/logout"), {}, QStringLiteral("a.b.c"));
        QCOMPARE(bad.status, 403);
        QCOMPARE(errorCode(bad), QStringLiteral("bad_jwt"));
    }

    void implicitLink()
    {
        const QString email = QStringLiteral("kim@example.com");
        requestCode(email);
        const QUrl link(lastMail(email)["link"].toString());
        const Answer answer = m_fixture->send("GET", link.toString());
        QCOMPARE(answer.status, 303);
        const QUrl target(QString::fromUtf8(answer.header("Location")));
        QCOMPARE(target.scheme(), QStringLiteral("zarnova"));
        QCOMPARE(target.host(), QStringLiteral("auth"));
        const QUrlQuery fragment(target.fragment());
        QCOMPARE(fragment.queryItemValue("token_type"), QStringLiteral("bearer"));
        QCOMPARE(fragment.queryItemValue("type"), QStringLiteral("signup"));
        QCOMPARE(fragment.queryItemValue("expires_in"), QStringLiteral("3600"));
        QVERIFY(!fragment.queryItemValue("refresh_token").isEmpty());
        const QString token = fragment.queryItemValue("access_token");
        QCOMPARE(m_fixture->backend("GET", QStringLiteral("/auth/v1/user"), {}, token).object()["email"].toString(), email);

        // The link works once.
        const Answer again = m_fixture->send("GET", link.toString());
        const QString location = QString::fromUtf8(again.header("Location"));
        QVERIFY(location.startsWith("zarnova://auth#error=access_denied&error_code=otp_expired"
                                    "&error_description=Email+link+is+invalid+or+has+expired"));
    }

    void linkRedirectMustBeAllowed()
    {
        const QString email = QStringLiteral("lou@example.com");
        m_fixture->backend("POST", QStringLiteral("/auth/v1/otp?redirect_to=https%3A%2F%2Fevil.example%2F"),
                           toJson({{"email", email}}));
        const Answer answer = m_fixture->send("GET", lastMail(email)["link"].toString());
        QVERIFY(answer.header("Location").startsWith("zarnova://auth#access_token="));
    }

    void pkceFlow()
    {
        const QString email = QStringLiteral("max@example.com");
        const QByteArray verifier = "a-verifier-with-enough-entropy-0123456789-abcdefghijklmnop";
        const QString challenge = QString::fromLatin1(
            QCryptographicHash::hash(verifier, QCryptographicHash::Sha256).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
        requestCode(email, true, {{"code_challenge", challenge}, {"code_challenge_method", "s256"}});
        const Answer answer = m_fixture->send("GET", lastMail(email)["link"].toString());
        const QUrl target(QString::fromUtf8(answer.header("Location")));
        const QString code = QUrlQuery(target).queryItemValue("code");
        QVERIFY(!code.isEmpty());
        const QString exchange = QStringLiteral("/auth/v1/token?grant_type=pkce");
        const Answer wrong = m_fixture->backend("POST", exchange, toJson({{"auth_code", code}, {"code_verifier", "wrong"}}));
        QCOMPARE(wrong.status, 400);
        QCOMPARE(errorCode(wrong), QStringLiteral("bad_code_verifier"));
        const Answer session = m_fixture->backend("POST", exchange, toJson({{"auth_code", code}, {"code_verifier", QString::fromLatin1(verifier)}}));
        QCOMPARE(session.status, 200);
        QCOMPARE(session.object()["user"].toObject()["email"].toString(), email);
        const Answer twice = m_fixture->backend("POST", exchange, toJson({{"auth_code", code}, {"code_verifier", QString::fromLatin1(verifier)}}));
        QCOMPARE(twice.status, 404);
        QCOMPARE(errorCode(twice), QStringLiteral("flow_state_not_found"));
    }

    void pkceCodeExpires()
    {
        const QString email = QStringLiteral("ned@example.com");
        requestCode(email, true, {{"code_challenge", "plain-verifier"}, {"code_challenge_method", "plain"}});
        const Answer answer = m_fixture->send("GET", lastMail(email)["link"].toString());
        const QString code = QUrlQuery(QUrl(QString::fromUtf8(answer.header("Location")))).queryItemValue("code");
        m_fixture->advanceClock(301);
        const Answer expired = m_fixture->backend("POST", QStringLiteral("/auth/v1/token?grant_type=pkce"),
                                                  toJson({{"auth_code", code}, {"code_verifier", "plain-verifier"}}));
        QCOMPARE(expired.status, 422);
        QCOMPARE(errorCode(expired), QStringLiteral("flow_state_expired"));
    }

    void sessionsSurviveRestart()
    {
        QTemporaryDir dir;
        StoreOptions options;
        options.dataDir = dir.path();
        options.printMail = false;
        options.devControls = true;
        options.seedCatalog = seedTestCatalog;
        const QByteArray key = options.publishableKey.toUtf8();
        QString refreshToken;
        QString accessToken;
        {
            LocalStore store(options);
            QString error;
            QVERIFY(store.start(&error));
            const QString base = store.baseUrl();
            m_fixture->send("POST", base + "/auth/v1/otp", toJson({{"email", "oz@example.com"}}), {{"apikey", key}});
            const QString code = m_fixture->send("GET", base + "/__dev/outbox").array().last().toObject()["code"].toString();
            const QJsonObject session = m_fixture->send("POST", base + "/auth/v1/verify",
                                                        toJson({{"email", "oz@example.com"}, {"token", code}, {"type", "email"}}),
                                                        {{"apikey", key}})
                                            .object();
            refreshToken = session["refresh_token"].toString();
            accessToken = session["access_token"].toString();
            QVERIFY(!refreshToken.isEmpty());
        }
        LocalStore restarted(options);
        QString error;
        QVERIFY(restarted.start(&error));
        const QString base = restarted.baseUrl();
        QCOMPARE(m_fixture->send("GET", base + "/auth/v1/user", {}, {{"apikey", key}, {"Authorization", "Bearer " + accessToken.toUtf8()}}).status,
                 200);
        QCOMPARE(m_fixture->send("POST", base + "/auth/v1/token?grant_type=refresh_token",
                                 toJson({{"refresh_token", refreshToken}}), {{"apikey", key}})
                     .status,
                 200);
    }
};

QTEST_GUILESS_MAIN(TestAuthApi)
#include "tst_authapi.moc"
