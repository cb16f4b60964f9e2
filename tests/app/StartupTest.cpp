#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Starts the real executable headless in a fresh home and checks what it leaves on disk.
class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void selfTestLoadsEveryView();
    void malformedCartIsDeletedAtStartup();
    void validCartSurvivesRestarts();

private:
    struct Run
    {
        int exitCode;
        QString standardError;
    };
    Run startApp(const QTemporaryDir &home);
    static QString cartPath(const QTemporaryDir &home);
};

QString StartupTest::cartPath(const QTemporaryDir &home)
{
    return home.filePath(QStringLiteral("data/Zarnova/cart.json"));
}

StartupTest::Run StartupTest::startApp(const QTemporaryDir &home)
{
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(ZARNOVA_EXECUTABLE), {QStringLiteral("--self-test")});
    if (!app.waitForFinished(60000))
        return {-1, QStringLiteral("timed out")};
    return {app.exitCode(), QString::fromUtf8(app.readAllStandardError())};
}

void StartupTest::selfTestLoadsEveryView()
{
    QTemporaryDir home;
    const Run run = startApp(home);
    QVERIFY2(run.exitCode == 0, qPrintable(run.standardError));
    QVERIFY(run.standardError.contains(QStringLiteral("self-test: every view loaded")));
}

void StartupTest::malformedCartIsDeletedAtStartup()
{
    QTemporaryDir home;
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("data/Zarnova"))));
    QFile cart(cartPath(home));
    QVERIFY(cart.open(QIODevice::WriteOnly));
    cart.write(R"([{"kind":"wallpaper","id":"w1"}])");
    cart.close();

    const Run run = startApp(home);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.standardError.contains(QStringLiteral("com.quenby.zarnova.app [error] cart load failed, resetting: ")),
             qPrintable(run.standardError));
    QVERIFY(!QFile::exists(cartPath(home)));
}

void StartupTest::validCartSurvivesRestarts()
{
    QTemporaryDir home;
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("data/Zarnova"))));
    const QByteArray saved = R"([{"kind":"pack","id":"p1","slug":"dusk","title":"Dusk","priceCents":1299,"onSale":false,"previewPath":"packs/dusk.jpg"}])";
    QFile cart(cartPath(home));
    QVERIFY(cart.open(QIODevice::WriteOnly));
    cart.write(saved);
    cart.close();

    for (int launch = 0; launch < 2; ++launch) {
        const Run run = startApp(home);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!run.standardError.contains(QStringLiteral("cart")));
    }
    QVERIFY(cart.open(QIODevice::ReadOnly));
    QCOMPARE(cart.readAll(), saved);
}

QTEST_GUILESS_MAIN(StartupTest)
#include "StartupTest.moc"
