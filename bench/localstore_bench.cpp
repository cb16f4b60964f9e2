// Catalog-query requests per second and download throughput of the local store on loopback,
// with the server's peak memory. Starts zn-localstore as a child process with a fresh data folder.
//
//   localstore_bench [--wallpapers N] [--original-mb M] [--requests R] [--downloads D] [--parallel P]

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

namespace {
struct Server
{
    QProcess process;
    QString base;
    QByteArray key;
};

qint64 peakKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

QByteArray call(QNetworkAccessManager &network, const QByteArray &method, const QString &url, const QByteArray &body,
                const QList<std::pair<QByteArray, QByteArray>> &headers, int *status = nullptr)
{
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = network.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray answer = reply->readAll();
    reply->deleteLater();
    return answer;
}

bool startServer(Server &server, const QStringList &arguments)
{
    server.process.setProgram(QStringLiteral(ZN_LOCALSTORE_PATH));
    server.process.setArguments(arguments);
    server.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.process.start();
    QByteArray out;
    const QRegularExpression listening(QStringLiteral("listening on (http://127\\.0\\.0\\.1:\\d+)"));
    const QRegularExpression anonKey(QStringLiteral("ZN_SUPABASE_ANON_KEY=(\\S+)"));
    while (server.base.isEmpty() || server.key.isEmpty()) {
        if (!server.process.waitForReadyRead(600000)) {
            std::fprintf(stderr, "the store did not start\n");
            return false;
        }
        out += server.process.readAllStandardOutput();
        const auto url = listening.match(QString::fromUtf8(out));
        const auto key = anonKey.match(QString::fromUtf8(out));
        if (url.hasMatch())
            server.base = url.captured(1);
        if (key.hasMatch())
            server.key = key.captured(1).toUtf8();
    }
    return true;
}

// Runs `total` GETs, `parallel` at a time; answers the seconds taken and the bytes received.
std::pair<double, qint64> run(QNetworkAccessManager &network, const QStringList &urls, int total, int parallel,
                              const QList<std::pair<QByteArray, QByteArray>> &headers, int *failures)
{
    QElapsedTimer timer;
    timer.start();
    int started = 0;
    int finished = 0;
    qint64 bytes = 0;
    QEventLoop loop;
    std::function<void()> startOne = [&] {
        QNetworkRequest request{QUrl(urls[started % urls.size()])};
        for (const auto &[name, value] : headers)
            request.setRawHeader(name, value);
        ++started;
        QNetworkReply *reply = network.get(request);
        // Read as it arrives so the client's memory stays flat too.
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [&bytes, reply] { bytes += reply->readAll().size(); });
        QObject::connect(reply, &QNetworkReply::finished, reply, [&, reply] {
            bytes += reply->readAll().size();
            if (reply->error() != QNetworkReply::NoError)
                ++*failures;
            reply->deleteLater();
            if (++finished == total)
                loop.quit();
            else if (started < total)
                startOne();
        });
    };
    for (int i = 0; i < qMin(parallel, total); ++i)
        startOne();
    loop.exec();
    return {timer.nsecsElapsed() / 1e9, bytes};
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption wallpapers(QStringLiteral("wallpapers"), QStringLiteral("Catalog size."), QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption originalMb(QStringLiteral("original-mb"), QStringLiteral("Size of the downloaded original, MiB."), QStringLiteral("m"), QStringLiteral("200"));
    const QCommandLineOption requests(QStringLiteral("requests"), QStringLiteral("Catalog queries to send."), QStringLiteral("r"), QStringLiteral("400"));
    const QCommandLineOption downloads(QStringLiteral("downloads"), QStringLiteral("Downloads of the original."), QStringLiteral("d"), QStringLiteral("3"));
    const QCommandLineOption parallel(QStringLiteral("parallel"), QStringLiteral("Requests in flight at once."), QStringLiteral("p"), QStringLiteral("4"));
    parser.addOptions({wallpapers, originalMb, requests, downloads, parallel});
    parser.addHelpOption();
    parser.process(app);

    QTemporaryDir data;
    const QStringList arguments = {QStringLiteral("--data"), data.path(), QStringLiteral("--port"), QStringLiteral("0"),
                                   QStringLiteral("--dev-controls"), QStringLiteral("--wallpapers"), parser.value(wallpapers),
                                   QStringLiteral("--original-mb"), parser.value(originalMb)};
    QElapsedTimer seedTimer;
    seedTimer.start();
    {
        // The first start renders the catalog; its memory is the catalog generator's, not the server's.
        Server seeding;
        if (!startServer(seeding, arguments))
            return 1;
        seeding.process.terminate();
        seeding.process.waitForFinished(10000);
    }
    std::printf("catalog of %s wallpapers seeded in %.1f s\n", qPrintable(parser.value(wallpapers)), seedTimer.nsecsElapsed() / 1e9);
    Server server;
    if (!startServer(server, arguments))
        return 1;
    const qint64 pid = server.process.processId();
    const qint64 idleKiB = peakKiB(pid);

    QNetworkAccessManager network;
    const QList<std::pair<QByteArray, QByteArray>> keyHeader = {{"apikey", server.key}};
    const QString rest = server.base + QStringLiteral("/rest/v1/");
    const QStringList catalog = {
        rest + QStringLiteral("app_settings?select=*&limit=1"),
        rest + QStringLiteral("wallpapers?select=*&is_published=eq.true&order=created_at.desc.nullslast"),
        rest + QStringLiteral("packs?select=*&is_published=eq.true&order=created_at.desc.nullslast"),
        rest + QStringLiteral("pack_wallpapers?select=*"),
    };
    int failures = 0;
    QElapsedTimer cold;
    cold.start();
    const QByteArray all = call(network, "GET", catalog[1], {}, keyHeader);
    std::printf("first (uncached) query of all published wallpapers: %.0f ms, %.1f MB\n", cold.nsecsElapsed() / 1e6, all.size() / 1e6);
    const int requestCount = parser.value(requests).toInt();
    const auto [catalogSecs, catalogBytes] = run(network, catalog, requestCount, parser.value(parallel).toInt(), keyHeader, &failures);
    std::printf("catalog queries: %d in %.2f s = %.0f requests/s (%d in flight, %.1f MB of JSON, %d failed)\n", requestCount,
                catalogSecs, requestCount / catalogSecs, parser.value(parallel).toInt(), catalogBytes / 1e6, failures);
    const qint64 afterCatalogKiB = peakKiB(pid);

    // A member may download any original: sign in through the outbox, subscribe, pay.
    const QByteArray email = "bench@example.com";
    call(network, "POST", server.base + "/auth/v1/otp", R"({"email":")" + email + R"("})", keyHeader);
    const QJsonArray mails = QJsonDocument::fromJson(call(network, "GET", server.base + "/__dev/outbox", {}, {})).array();
    const QString code = mails.last().toObject()["code"].toString();
    const QJsonObject session = QJsonDocument::fromJson(
        call(network, "POST", server.base + "/auth/v1/verify",
             QJsonDocument(QJsonObject{{"email", QString::fromLatin1(email)}, {"token", code}, {"type", "email"}}).toJson(), keyHeader)).object();
    const QList<std::pair<QByteArray, QByteArray>> bearer = {{"Authorization", "Bearer " + session["access_token"].toString().toUtf8()}};
    const QString page = QJsonDocument::fromJson(call(network, "POST", server.base + "/api/subscribe", R"({"plan":"monthly"})", bearer))
                             .object()["url"].toString();
    call(network, "POST", page + "/pay", {}, {});
    const QJsonArray newest = QJsonDocument::fromJson(
        call(network, "GET", rest + "wallpapers?select=id&order=created_at.desc&limit=1", {}, keyHeader)).array();
    const QString download = server.base + "/api/download/" + newest.first().toObject()["id"].toString();

    const int downloadCount = parser.value(downloads).toInt();
    failures = 0;
    run(network, {download}, 1, 1, bearer, &failures);  // the first one also computes the checksums
    const auto [downloadSecs, downloadBytes] = run(network, {download}, downloadCount, 1, bearer, &failures);
    std::printf("downloads: %d × %.1f MB in %.2f s = %.0f MB/s (%d failed)\n", downloadCount,
                downloadBytes / 1e6 / qMax(1, downloadCount), downloadSecs, downloadBytes / 1e6 / downloadSecs, failures);
    const qint64 peak = peakKiB(pid);
    std::printf("server peak memory (VmHWM): %.1f MB after start, %.1f MB after the catalog queries, %.1f MB after the downloads\n",
                idleKiB / 1024.0, afterCatalogKiB / 1024.0, peak / 1024.0);
    server.process.terminate();
    server.process.waitForFinished(5000);
    return 0;
}
