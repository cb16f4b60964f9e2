// The all-Spaces path against real files and real processes: a sandbox HOME holding a generated
// store, a stand-in agent process named WallpaperAgent, and the system's own killall.
#include "IndexFixture.h"
#include "TestSupport.h"
#include "WallpaperEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <thread>

using namespace TestSupport;

namespace {

constexpr int displayCount = 3;
constexpr int spaceCount = 4;
const QString notKept = QStringLiteral("the wallpaper system didn't keep the change after two attempts");

// The session around the agent: starts it, and brings it back each time killall stopped it, as
// the system does.
class AgentSession
{
public:
    explicit AgentSession(QString modeFile)
        : m_modeFile(std::move(modeFile))
    {
    }
    ~AgentSession() { stop(); }

    bool start()
    {
        m_agent = std::make_unique<QProcess>();
        m_agent->start(QStringLiteral(WALLPAPER_AGENT_PATH), {m_modeFile});
        // It reads the index and blocks SIGTERM before it says so.
        return m_agent->waitForReadyRead(10000) && m_agent->readAll().startsWith("ready");
    }

    // After killall: wait until the old agent has written whatever it writes, then start anew.
    void restartAfterKill()
    {
        m_agent->waitForFinished(10000);
        ++m_stops;
        start();
    }

    int stops() const { return m_stops; }

    void stop()
    {
        if (m_agent && m_agent->state() != QProcess::NotRunning) {
            m_agent->kill();
            m_agent->waitForFinished(10000);
        }
    }

private:
    QString m_modeFile;
    std::unique_ptr<QProcess> m_agent;
    int m_stops = 0;
};

// Real processes and real (shortened) sleeps; two scripted displays for the fallback.
class ProcessPlatform : public WallpaperPlatform
{
public:
    explicit ProcessPlatform(AgentSession &session)
        : m_session(session)
    {
    }

    QHash<QString, QString> images;

    QList<Display> displays() const override
    {
        return {{QStringLiteral("DP-1"), QRect(0, 0, 2560, 1440), true},
                {QStringLiteral("HDMI-1"), QRect(2560, 0, 1920, 1080), false}};
    }
    std::optional<QString> setDesktopImage(const Display &display, const QString &imageFile) override
    {
        images.insert(display.name, imageFile);
        return std::nullopt;
    }
    std::optional<QString> desktopImage(const Display &display) const override
    {
        return images.contains(display.name) ? std::optional(images.value(display.name)) : std::nullopt;
    }
    std::optional<OperatingSystemVersion> systemVersion() const override { return std::nullopt; }
    QString systemVersionString() const override { return QStringLiteral("Debian GNU/Linux 12"); }
    WallpaperWriterSupport storeWriterSupport(const QString &indexPath) const override
    {
        return QFileInfo::exists(indexPath) ? WallpaperWriterSupport::supported()
                                            : WallpaperWriterSupport::unsupported(QStringLiteral("no wallpaper store"));
    }
    ProcessResult run(const QString &program, const QStringList &arguments) override
    {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForStarted())
            return {false, process.errorString(), -1, {}};
        process.waitForFinished();
        const ProcessResult result{true, {}, process.exitCode(), process.readAllStandardError()};
        if (result.exitStatus == 0)
            m_session.restartAfterKill();
        return result;
    }
    // A tenth of the real schedule: the session has already waited for the agent to finish.
    void sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration / 10); }

private:
    AgentSession &m_session;
};

// One apply's world: the agent, the session around it, and an engine on the sandbox's store.
struct AgentRun
{
    AgentSession session;
    ProcessPlatform platform{session};
    WallpaperEngine engine;

    AgentRun(const QString &modeFile, const QDateTime &now)
        : session(modeFile)
        , engine(WallpaperStore::defaultStore(), platform, WallpaperEngine::defaultBackupDirectory(),
                 [now] { return now; })
    {
    }
};

}

class AllSpacesEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void holdsOnTheSecondAttemptAndUndoes();
    void fallsBackWhenTheAgentAlwaysWins();

private:
    QString storePath() const { return WallpaperStore::defaultStore().indexURL(); }
    void writeMode(int rewrites) const { writeAll(m_modeFile, QByteArray::number(rewrites)); }
    QStringList backups() const
    {
        return QDir(WallpaperEngine::defaultBackupDirectory()).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir m_home;
    QString m_modeFile;
    QUrl m_image;
    QByteArray m_original;
    QDateTime m_now{QDate(2026, 5, 6), QTime(7, 8, 9, 10), QTimeZone::utc()};
};

void AllSpacesEndToEndTest::initTestCase()
{
    if (!QFileInfo(QStringLiteral("/usr/bin/killall")).isExecutable())
        QSKIP("needs /usr/bin/killall (psmisc)");
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (m_home.path() + QStringLiteral("/.local/share")).toUtf8());
    QCOMPARE(storePath(),
             m_home.path() + QStringLiteral("/Library/Application Support/com.apple.wallpaper/Store/Index.plist"));
    QCOMPARE(WallpaperEngine::defaultBackupDirectory(), m_home.path() + QStringLiteral("/.local/share/Zarnova/Backups"));
    m_modeFile = m_home.filePath(QStringLiteral("agent-mode"));
    m_image = QUrl::fromLocalFile(m_home.filePath(QStringLiteral("Pictures/Crème brûlée #1.jpg")));
    QDir().mkpath(QFileInfo(m_image.toLocalFile()).path());
    writeAll(m_image.toLocalFile(), "jpeg");

    PlistPtr root = IndexFixture::makeIndex(displayCount, spaceCount,
                                            QUrl::fromLocalFile(QStringLiteral("/usr/share/backgrounds/Old.heic")));
    Plist::setItem(root.get(), "ZNUnknownBeforeKnown", IndexFixture::passThroughValues());
    m_original = Plist::toBinary(root.get());
}

void AllSpacesEndToEndTest::init()
{
    QDir().mkpath(QFileInfo(storePath()).path());
    writeAll(storePath(), m_original);
    QDir(WallpaperEngine::defaultBackupDirectory()).removeRecursively();
}

void AllSpacesEndToEndTest::cleanup()
{
    QFile::remove(storePath());
}

void AllSpacesEndToEndTest::holdsOnTheSecondAttemptAndUndoes()
{
    writeMode(1);
    AgentRun run(m_modeFile, m_now);
    auto &[session, platform, engine] = run;
    QVERIFY(session.start());
    expectNotVerified(1);
    expectApplied(IndexFixture::desktopCount(displayCount, spaceCount), 2);

    QCOMPARE(engine.setAllSpaces(m_image), AllSpacesOutcome::appliedAllSpaces());

    QCOMPARE(session.stops(), 2);
    QCOMPARE(readAll(m_modeFile), QByteArray("0"));
    QVERIFY(platform.images.isEmpty());
    QCOMPARE(backups(), QStringList{QStringLiteral("Index-20260506-070809-010.plist.bak")});
    QCOMPARE(readAll(*engine.latestBackupURL()), m_original);

    // Exactly what the same layout holds when built for the new picture at this time: every
    // Desktop node rewritten, the Idle twins, the unknown values and the key order untouched.
    PlistPtr expected = IndexFixture::makeIndex(displayCount, spaceCount, m_image, 0, m_now);
    Plist::setItem(expected.get(), "ZNUnknownBeforeKnown", IndexFixture::passThroughValues());
    QCOMPARE(IndexFixture::renderExactly(engine.store().read().get()), IndexFixture::renderExactly(expected.get()));

    engine.restorePreviousAllSpaces();

    QCOMPARE(readAll(storePath()), m_original);
    QCOMPARE(session.stops(), 3);
}

void AllSpacesEndToEndTest::fallsBackWhenTheAgentAlwaysWins()
{
    writeMode(100);
    AgentRun run(m_modeFile, m_now);
    auto &[session, platform, engine] = run;
    QVERIFY(session.start());
    expectNotVerified(1);
    expectNotVerified(2);

    const AllSpacesOutcome outcome = engine.setAllSpaces(m_image);

    QCOMPARE(outcome, AllSpacesOutcome::fellBackToPublicAPI(notKept));
    QCOMPARE(session.stops(), 2);
    QCOMPARE(readAll(m_modeFile), QByteArray("98"));
    QCOMPARE(readAll(storePath()), m_original);
    QCOMPARE(backups().size(), 1);
    QCOMPARE(readAll(*engine.latestBackupURL()), m_original);
    QCOMPARE(engine.currentThisSpaceURLs(), QList<QUrl>({m_image, m_image}));
}

QTEST_GUILESS_MAIN(AllSpacesEndToEndTest)
#include "tst_allspacesendtoend.moc"
