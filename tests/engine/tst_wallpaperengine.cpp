#include "FakeWallpaperPlatform.h"
#include "IndexFixture.h"
#include "MacOSCompatibilityTable.h"
#include "TestSupport.h"
#include "WallpaperConfiguration.h"
#include "WallpaperEngine.h"
#include "WallpaperError.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace std::chrono_literals;
using namespace TestSupport;

namespace {

const QString killall = QStringLiteral("/usr/bin/killall");
const FakeWallpaperPlatform::Run agentRestart{killall, {QStringLiteral("WallpaperAgent")}};
const QString notKept = QStringLiteral("the wallpaper system didn't keep the change after two attempts");

// A temporary store with two displays and three Spaces, a picture to set, and an engine over both.
struct Sandbox
{
    QTemporaryDir dir;
    FakeWallpaperPlatform platform;
    QDateTime now{QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone::utc()};
    WallpaperEngine engine{WallpaperStore(dir.filePath(QStringLiteral("Store/Index.plist"))), platform,
                           dir.filePath(QStringLiteral("Backups")), [this] { return now; }};
    QUrl image = QUrl::fromLocalFile(dir.filePath(QStringLiteral("Dune Sea.jpg")));
    QByteArray original;

    Sandbox()
    {
        QDir().mkpath(dir.filePath(QStringLiteral("Store")));
        writeAll(image.toLocalFile(), "jpeg");
        platform.scriptedDisplays.append({QStringLiteral("HDMI-1"), QRect(2560, 0, 1920, 1080), false});
        const PlistPtr root = IndexFixture::makeIndex(2, 3, QUrl::fromLocalFile(QStringLiteral("/old.png")));
        writeIndex(Plist::toBinary(root.get()));
        original = index();
    }

    QString indexPath() const { return engine.store().indexURL(); }
    QByteArray index() const { return readAll(indexPath()); }
    void writeIndex(const QByteArray &bytes) const { writeAll(indexPath(), bytes); }
    QStringList backups() const
    {
        return QDir(engine.backupDirectory()).entryList(QDir::Files, QDir::Name);
    }
    QString backupPath(const QString &name) const { return engine.backupDirectory() + u'/' + name; }

    // Every Desktop node of the index on disk names the picture.
    bool indexNamesImage() const
    {
        const PlistPtr root = engine.store().read();
        const QList<std::optional<QUrl>> urls = WallpaperStore::desktopImageURLs(root.get());
        return urls.size() == IndexFixture::desktopCount(2, 3)
            && std::all_of(urls.cbegin(), urls.cend(), [&](const auto &url) { return url == image; });
    }

    // Points the first Desktop node's choice at another blob, as another writer would.
    void overwriteFirstChoice(const QByteArray &blob) const
    {
        const PlistPtr root = engine.store().read();
        plist_t desktop = Plist::item(Plist::item(root.get(), "SystemDefault", PLIST_DICT), "Desktop", PLIST_DICT);
        plist_t choices = Plist::item(Plist::item(desktop, "Content", PLIST_DICT), "Choices", PLIST_ARRAY);
        Plist::setItem(plist_array_get_item(choices, 0), "Configuration", Plist::newData(blob));
        engine.store().write(root.get());
    }
};

}

Q_DECLARE_METATYPE(AllSpacesOutcome::Kind)

class WallpaperEngineTest : public QObject
{
    Q_OBJECT

private slots:
    void evaluatesSystemVersions_data();
    void evaluatesSystemVersions();
    void appliesAllSpacesByVersion_data();
    void appliesAllSpacesByVersion();
    void unsupportedDesktopTouchesNothing();
    void missingImageDoesNothing();
    void storeFailuresFallBack_data();
    void storeFailuresFallBack();
    void retriesOnceWhenTheAgentRewritesTheStore();
    void fallsBackWhenTheChangeDoesNotHold();
    void verificationJudgesEveryReadableNode_data();
    void verificationJudgesEveryReadableNode();
    void fallbackTexts_data();
    void fallbackTexts();
    void setsThisSpacePerDisplay_data();
    void setsThisSpacePerDisplay();
    void restartsTheAgent_data();
    void restartsTheAgent();
    void namesBackupsInUtcWithoutOverwriting();
    void prunesOnlyTimestampedBackups();
    void keepsCreationOrderWhenTheClockGoesBack();
    void findsTheLatestBackup_data();
    void findsTheLatestBackup();
    void undoRestoresTheExactEarlierIndex();
    void undoWithoutBackupFails();
    void reportsCurrentPictures();
    void describesOutcomes();
};

void WallpaperEngineTest::evaluatesSystemVersions_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<bool>("verified");

    QTest::newRow("13") << 13 << "macOS 13 predates the modern wallpaper store" << false;
    QTest::newRow("14") << 14 << "" << true;
    QTest::newRow("15") << 15 << "" << true;
    QTest::newRow("16") << 16 << "" << false;
    QTest::newRow("26") << 26 << "" << true;
}

void WallpaperEngineTest::evaluatesSystemVersions()
{
    QFETCH(int, major);
    QFETCH(QString, refusal);
    QFETCH(bool, verified);

    const OperatingSystemVersion version{major, 2, 1};
    QCOMPARE(MacOSCompatibilityTable::evaluate(version),
             refusal.isEmpty() ? WallpaperWriterSupport::supported() : WallpaperWriterSupport::unsupported(refusal));
    QCOMPARE(MacOSCompatibilityTable::isHandsOnVerified(version), verified);
}

void WallpaperEngineTest::appliesAllSpacesByVersion_data()
{
    QTest::addColumn<int>("major"); // 0: the system reports no version
    QTest::addColumn<bool>("unverifiedLine");

    QTest::newRow("no version") << 0 << false;
    QTest::newRow("14") << 14 << false;
    QTest::newRow("15") << 15 << false;
    QTest::newRow("26") << 26 << false;
    QTest::newRow("16") << 16 << true;
}

void WallpaperEngineTest::appliesAllSpacesByVersion()
{
    QFETCH(int, major);
    QFETCH(bool, unverifiedLine);

    Sandbox sandbox;
    if (major > 0)
        sandbox.platform.version = OperatingSystemVersion{major, 0, 0};
    sandbox.platform.versionString = QStringLiteral("Version %1.0 (Build 25A1)").arg(major);
    if (unverifiedLine)
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("store writer running on an unverified macOS major "
                                                                     "(Version %1.0 (Build 25A1)) — relying on probe + verify")
                                                          .arg(major)));
    else
        QTest::failOnWarning(QRegularExpression(QStringLiteral("unverified")));
    expectApplied(IndexFixture::desktopCount(2, 3), 1);

    QCOMPARE(sandbox.engine.setAllSpaces(sandbox.image), AllSpacesOutcome::appliedAllSpaces());

    QVERIFY(sandbox.indexNamesImage());
    QCOMPARE(sandbox.platform.supportQueries, QStringList{sandbox.indexPath()});
    QCOMPARE(sandbox.platform.runs, QList{agentRestart});
    QCOMPARE(sandbox.platform.sleeps, QList{350ms});
    QCOMPARE(sandbox.backups(), QStringList{QStringLiteral("Index-20260304-050607-089.plist.bak")});
    QCOMPARE(readAll(sandbox.backupPath(sandbox.backups().first())), sandbox.original);
    QVERIFY(sandbox.platform.images.isEmpty());
}

void WallpaperEngineTest::unsupportedDesktopTouchesNothing()
{
    // The desktop's own refusal comes first; an old version would give the table's refusal.
    for (const bool desktopRefuses : {true, false}) {
        Sandbox sandbox;
        const QString reason = desktopRefuses ? QStringLiteral("GNOME keeps one picture for every workspace")
                                              : QStringLiteral("macOS 13 predates the modern wallpaper store");
        if (desktopRefuses)
            sandbox.platform.support = WallpaperWriterSupport::unsupported(reason);
        sandbox.platform.version = OperatingSystemVersion{13, 6, 0};

        QCOMPARE(sandbox.engine.setAllSpaces(sandbox.image), AllSpacesOutcome::fellBackToPublicAPI(reason));

        QCOMPARE(sandbox.index(), sandbox.original);
        QVERIFY(!QFileInfo::exists(sandbox.engine.backupDirectory()));
        QVERIFY(sandbox.platform.runs.isEmpty());
        QCOMPARE(sandbox.platform.images.size(), 2);
    }
}

void WallpaperEngineTest::missingImageDoesNothing()
{
    Sandbox sandbox;
    const QString missing = sandbox.dir.filePath(QStringLiteral("gone.jpg"));

    QCOMPARE(sandbox.engine.setAllSpaces(QUrl::fromLocalFile(missing)),
             AllSpacesOutcome::failed(QStringLiteral("image file missing at ") + missing));

    QVERIFY(sandbox.platform.supportQueries.isEmpty());
    QVERIFY(!QFileInfo::exists(sandbox.engine.backupDirectory()));
    QVERIFY(sandbox.platform.runs.isEmpty());
    QVERIFY(sandbox.platform.images.isEmpty());
    QCOMPARE(sandbox.index(), sandbox.original);
}

void WallpaperEngineTest::storeFailuresFallBack_data()
{
    QTest::addColumn<QByteArray>("index"); // empty: no index file
    QTest::addColumn<ProcessResult>("killallResult");
    QTest::addColumn<QString>("error");    // %1: the index path
    QTest::addColumn<int>("backups");
    QTest::addColumn<bool>("written");

    const ProcessResult clean{true, {}, 0, {}};
    const QByteArray xmlHead = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)";

    QTest::newRow("no index") << QByteArray() << clean << "Wallpaper store not found at %1" << 0 << false;
    QTest::newRow("unknown keys")
        << xmlHead + "<dict><key>b</key><true/><key>a</key><true/></dict></plist>" << clean
        << R"(Unexpected wallpaper store format: unrecognized top-level keys ["a", "b"])" << 1 << false;
    QTest::newRow("no Desktop nodes")
        << xmlHead + "<dict><key>Displays</key><dict/><key>Other</key><array/></dict></plist>" << clean
        << R"(Unexpected wallpaper store format: no Desktop nodes found (top-level keys: ["Displays", "Other"]))" << 1
        << false;
    QTest::newRow("not a property list") << QByteArray("{ broken") << clean << "%1: not a property list" << 1 << false;
    QTest::newRow("agent restart fails")
        << QByteArray("generated") << ProcessResult{true, {}, 2, "killall: boom\n"}
        << "Failed to apply wallpaper: killall WallpaperAgent exited 2: killall: boom" << 1 << true;
    QTest::newRow("killall cannot start")
        << QByteArray("generated") << ProcessResult{false, QStringLiteral("No such file or directory"), -1, {}}
        << "Failed to apply wallpaper: killall WallpaperAgent: No such file or directory" << 1 << true;
}

void WallpaperEngineTest::storeFailuresFallBack()
{
    QFETCH(QByteArray, index);
    QFETCH(ProcessResult, killallResult);
    QFETCH(QString, error);
    QFETCH(int, backups);
    QFETCH(bool, written);

    Sandbox sandbox;
    if (index.isEmpty())
        QFile::remove(sandbox.indexPath());
    else if (index != "generated")
        sandbox.writeIndex(index);
    const QByteArray before = sandbox.index();
    sandbox.platform.processResults = {killallResult};
    error.replace(QStringLiteral("%1"), sandbox.indexPath());
    QTest::ignoreMessage(QtCriticalMsg, qPrintable(QStringLiteral("all-spaces store write failed: ") + error));

    const AllSpacesOutcome outcome = sandbox.engine.setAllSpaces(sandbox.image);

    QCOMPARE(outcome, AllSpacesOutcome::fellBackToPublicAPI(QStringLiteral("store write failed: ") + error));
    QCOMPARE(sandbox.backups().size(), backups);
    QCOMPARE(sandbox.index() != before, written);
    QCOMPARE(sandbox.platform.images.size(), 2);
    QVERIFY(sandbox.platform.sleeps.isEmpty());
}

void WallpaperEngineTest::retriesOnceWhenTheAgentRewritesTheStore()
{
    Sandbox sandbox;
    // The agent puts its old state back while the first attempt is being verified.
    sandbox.platform.onSleep = [&] {
        if (sandbox.platform.runs.size() == 1)
            sandbox.writeIndex(sandbox.original);
    };
    expectNotVerified(1);
    expectApplied(IndexFixture::desktopCount(2, 3), 2);

    QCOMPARE(sandbox.engine.setAllSpaces(sandbox.image), AllSpacesOutcome::appliedAllSpaces());

    QVERIFY(sandbox.indexNamesImage());
    QCOMPARE(sandbox.platform.runs, QList({agentRestart, agentRestart}));
    QCOMPARE(sandbox.platform.sleeps, QList({350ms, 750ms, 1400ms, 350ms}));
    QCOMPARE(sandbox.backups().size(), 1);
    QCOMPARE(readAll(sandbox.backupPath(sandbox.backups().first())), sandbox.original);
}

void WallpaperEngineTest::fallsBackWhenTheChangeDoesNotHold()
{
    Sandbox sandbox;
    sandbox.platform.onSleep = [&] { sandbox.writeIndex(sandbox.original); };
    expectNotVerified(1);
    expectNotVerified(2);

    const AllSpacesOutcome outcome = sandbox.engine.setAllSpaces(sandbox.image);

    QCOMPARE(outcome, AllSpacesOutcome::fellBackToPublicAPI(notKept));
    QCOMPARE(outcome.description(), QStringLiteral("Set on the current desktops — other Spaces update as you switch to "
                                                   "them. (the wallpaper system didn't keep the change after two attempts)"));
    QCOMPARE(sandbox.platform.sleeps, QList({350ms, 750ms, 1400ms, 350ms, 750ms, 1400ms}));
    QCOMPARE(sandbox.platform.runs.size(), 2);
    QCOMPARE(sandbox.backups().size(), 1);
    QCOMPARE(readAll(sandbox.backupPath(sandbox.backups().first())), sandbox.original);
    const QHash<QString, QString> everyDisplay{{QStringLiteral("DP-1"), sandbox.image.toLocalFile()},
                                               {QStringLiteral("HDMI-1"), sandbox.image.toLocalFile()}};
    QCOMPARE(sandbox.platform.images, everyDisplay);
}

void WallpaperEngineTest::verificationJudgesEveryReadableNode_data()
{
    QTest::addColumn<QByteArray>("otherBlob");
    QTest::addColumn<bool>("holds");

    QTest::newRow("undecodable node ignored") << QByteArray("not a property list") << true;
    QTest::newRow("node naming another picture")
        << WallpaperConfiguration::encode(QUrl::fromLocalFile(QStringLiteral("/old.png"))) << false;
    QTest::newRow("same picture, unclean path")
        << WallpaperConfiguration::encode(QUrl(QStringLiteral("file:///placeholder"))) << true;
}

void WallpaperEngineTest::verificationJudgesEveryReadableNode()
{
    QFETCH(QByteArray, otherBlob);
    QFETCH(bool, holds);

    Sandbox sandbox;
    if (otherBlob.contains("placeholder")) {
        const QString unclean = sandbox.dir.path() + QStringLiteral("/./Store/../Dune Sea.jpg");
        otherBlob = WallpaperConfiguration::encode(QUrl::fromLocalFile(unclean));
    }
    sandbox.platform.onSleep = [&] { sandbox.overwriteFirstChoice(otherBlob); };
    if (holds) {
        expectApplied(IndexFixture::desktopCount(2, 3), 1);
    } else {
        expectNotVerified(1);
        expectNotVerified(2);
    }

    const AllSpacesOutcome outcome = sandbox.engine.setAllSpaces(sandbox.image);

    QCOMPARE(outcome, holds ? AllSpacesOutcome::appliedAllSpaces() : AllSpacesOutcome::fellBackToPublicAPI(notKept));
}

void WallpaperEngineTest::fallbackTexts_data()
{
    QTest::addColumn<QStringList>("failingDisplays");
    QTest::addColumn<bool>("noDisplays");
    QTest::addColumn<AllSpacesOutcome::Kind>("kind");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("partialLine");

    QTest::newRow("every display") << QStringList() << false << AllSpacesOutcome::Kind::fellBackToPublicAPI
                                   << "Not here" << false;
    QTest::newRow("one display failing") << QStringList{QStringLiteral("HDMI-1")} << false
                                         << AllSpacesOutcome::Kind::fellBackToPublicAPI
                                         << "Not here; 1 display(s) failed" << true;
    QTest::newRow("every display failing") << QStringList{QStringLiteral("DP-1"), QStringLiteral("HDMI-1")} << false
                                           << AllSpacesOutcome::Kind::failed
                                           << "Not here; public-API fallback also failed: Failed to apply wallpaper: "
                                              "display 1: refused; display 2: refused"
                                           << false;
    QTest::newRow("no displays") << QStringList() << true << AllSpacesOutcome::Kind::failed
                                 << "Not here; public-API fallback also failed: Failed to apply wallpaper: no displays "
                                    "(not connected to the window server)"
                                 << false;
}

void WallpaperEngineTest::fallbackTexts()
{
    QFETCH(QStringList, failingDisplays);
    QFETCH(bool, noDisplays);
    QFETCH(AllSpacesOutcome::Kind, kind);
    QFETCH(QString, reason);
    QFETCH(bool, partialLine);

    Sandbox sandbox;
    sandbox.platform.support = WallpaperWriterSupport::unsupported(QStringLiteral("Not here"));
    for (const QString &name : failingDisplays)
        sandbox.platform.failingDisplays.insert(name, QStringLiteral("refused"));
    if (noDisplays)
        sandbox.platform.scriptedDisplays.clear();
    if (partialLine)
        QTest::ignoreMessage(QtCriticalMsg, "setThisSpace partial: 1 applied, failed → display 2: refused");

    const AllSpacesOutcome outcome = sandbox.engine.setAllSpaces(sandbox.image);

    QCOMPARE(outcome.kind(), kind);
    QCOMPARE(outcome.reason(), reason);
    QCOMPARE(outcome.didApply(), kind != AllSpacesOutcome::Kind::failed);
}

void WallpaperEngineTest::setsThisSpacePerDisplay_data()
{
    QTest::addColumn<QStringList>("displays");
    QTest::addColumn<QStringList>("failing");
    QTest::addColumn<int>("applied");
    QTest::addColumn<QStringList>("failures");
    QTest::addColumn<QString>("thrown");

    const QStringList two{QStringLiteral("DP-1"), QStringLiteral("HDMI-1")};
    QTest::newRow("both") << two << QStringList() << 2 << QStringList() << "";
    QTest::newRow("second fails") << two << QStringList{QStringLiteral("HDMI-1")} << 1
                                  << QStringList{QStringLiteral("display 2: Output HDMI-1 refused it")} << "";
    QTest::newRow("all fail") << two << two << 0 << QStringList()
                              << "Failed to apply wallpaper: display 1: Output DP-1 refused it; display 2: Output "
                                 "HDMI-1 refused it";
    QTest::newRow("no displays") << QStringList() << QStringList() << 0 << QStringList()
                                 << "Failed to apply wallpaper: no displays (not connected to the window server)";
    QTest::newRow("missing image") << two << QStringList() << 0 << QStringList()
                                   << "Failed to apply wallpaper: image file missing at %1";
}

void WallpaperEngineTest::setsThisSpacePerDisplay()
{
    QFETCH(QStringList, displays);
    QFETCH(QStringList, failing);
    QFETCH(int, applied);
    QFETCH(QStringList, failures);
    QFETCH(QString, thrown);

    Sandbox sandbox;
    sandbox.platform.scriptedDisplays.clear();
    for (const QString &name : displays)
        sandbox.platform.scriptedDisplays.append({name, QRect(), false});
    for (const QString &name : failing)
        sandbox.platform.failingDisplays.insert(name, QStringLiteral("Output %1 refused it").arg(name));
    if (thrown.contains(QStringLiteral("missing")))
        QFile::remove(sandbox.image.toLocalFile());
    thrown.replace(QStringLiteral("%1"), sandbox.image.toLocalFile());
    if (applied > 0 && !failures.isEmpty())
        QTest::ignoreMessage(QtCriticalMsg, qPrintable(QStringLiteral("setThisSpace partial: %1 applied, failed → %2")
                                                           .arg(applied)
                                                           .arg(failures.join(QStringLiteral("; ")))));

    try {
        const ThisSpaceResult result = sandbox.engine.setThisSpace(sandbox.image);
        QVERIFY2(thrown.isEmpty(), "expected a failure");
        QCOMPARE(result, (ThisSpaceResult{applied, failures}));
        QCOMPARE(result.isPartial(), applied > 0 && !failures.isEmpty());
        QCOMPARE(sandbox.platform.images.size(), applied);
    } catch (const WallpaperError &error) {
        QCOMPARE(error.kind(), WallpaperError::Kind::applyFailed);
        QCOMPARE(error.description(), thrown);
    }
}

void WallpaperEngineTest::restartsTheAgent_data()
{
    QTest::addColumn<ProcessResult>("result");
    QTest::addColumn<QString>("error");

    QTest::newRow("stopped") << ProcessResult{true, {}, 0, {}} << "";
    QTest::newRow("none running, BSD wording") << ProcessResult{true, {}, 1, "No matching processes belonging to you were found\n"}
                                               << "";
    QTest::newRow("none running, psmisc wording") << ProcessResult{true, {}, 1, "WallpaperAgent: no process found\n"}
                                                  << "";
    QTest::newRow("status 1, other output") << ProcessResult{true, {}, 1, "  Operation not permitted\n"}
                                            << "Failed to apply wallpaper: killall WallpaperAgent exited 1: Operation "
                                               "not permitted";
    QTest::newRow("undecodable output") << ProcessResult{true, {}, 1, "\xff\xfe no process found"}
                                        << "Failed to apply wallpaper: killall WallpaperAgent exited 1: ";
    QTest::newRow("cannot start") << ProcessResult{false, QStringLiteral("Permission denied"), -1, {}}
                                  << "Failed to apply wallpaper: killall WallpaperAgent: Permission denied";
}

void WallpaperEngineTest::restartsTheAgent()
{
    QFETCH(ProcessResult, result);
    QFETCH(QString, error);

    Sandbox sandbox;
    sandbox.platform.processResults = {result};
    try {
        sandbox.engine.restartWallpaperAgent();
        QVERIFY2(error.isEmpty(), "expected a failure");
    } catch (const WallpaperError &thrown) {
        QCOMPARE(thrown.description(), error);
    }
    QCOMPARE(sandbox.platform.runs, QList{agentRestart});
}

void WallpaperEngineTest::namesBackupsInUtcWithoutOverwriting()
{
    Sandbox sandbox;
    sandbox.now = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999), QTimeZone(-3 * 3600));

    sandbox.engine.backupIndexStore();
    sandbox.writeIndex("second");
    sandbox.engine.backupIndexStore(); // same millisecond

    QCOMPARE(sandbox.backups(), QStringList({QStringLiteral("Index-20270101-025959-999.plist.bak"),
                                             QStringLiteral("Index-20270101-030000-000.plist.bak")}));
    QCOMPARE(readAll(sandbox.backupPath(sandbox.backups().at(0))), sandbox.original);
    QCOMPARE(readAll(sandbox.backupPath(sandbox.backups().at(1))), QByteArray("second"));
    QCOMPARE(sandbox.engine.latestBackupURL(), sandbox.backupPath(sandbox.backups().at(1)));
}

void WallpaperEngineTest::prunesOnlyTimestampedBackups()
{
    Sandbox sandbox;
    QDir().mkpath(sandbox.engine.backupDirectory());
    const QStringList others{QStringLiteral("Index.plist.bak"), QStringLiteral("Index-notes.txt"),
                             QStringLiteral("Index-19990101-000000-000.plist.bak.old"), QStringLiteral("readme")};
    for (const QString &name : others)
        writeAll(sandbox.backupPath(name), "keep");
    for (int day = 1; day <= 10; ++day)
        writeAll(sandbox.backupPath(QStringLiteral("Index-202601%1-120000-000.plist.bak").arg(day, 2, 10, QChar(u'0'))),
                 "old");

    sandbox.engine.backupIndexStore();

    QStringList expected = others;
    for (int day = 2; day <= 10; ++day)
        expected.append(QStringLiteral("Index-202601%1-120000-000.plist.bak").arg(day, 2, 10, QChar(u'0')));
    expected.append(QStringLiteral("Index-20260304-050607-089.plist.bak"));
    expected.sort();
    QCOMPARE(sandbox.backups(), expected);
}

void WallpaperEngineTest::keepsCreationOrderWhenTheClockGoesBack()
{
    Sandbox sandbox;
    QDir().mkpath(sandbox.engine.backupDirectory());
    for (int day = 1; day <= 10; ++day)
        writeAll(sandbox.backupPath(QStringLiteral("Index-202601%1-120000-000.plist.bak").arg(day, 2, 10, QChar(u'0'))),
                 "old");
    sandbox.now = QDateTime(QDate(2025, 6, 1), QTime(8, 0), QTimeZone::utc());

    sandbox.engine.backupIndexStore();

    const QString made = sandbox.backupPath(QStringLiteral("Index-20260110-120000-001.plist.bak"));
    QCOMPARE(sandbox.engine.latestBackupURL(), made);
    QCOMPARE(readAll(made), sandbox.original);
    QCOMPARE(sandbox.backups().size(), WallpaperEngine::maxBackups);
    QVERIFY(!sandbox.backups().contains(QStringLiteral("Index-20260101-120000-000.plist.bak")));
}

void WallpaperEngineTest::findsTheLatestBackup_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("latest");

    QTest::newRow("none") << QStringList() << "";
    QTest::newRow("last resort only") << QStringList{QStringLiteral("Index.plist.bak")} << "Index.plist.bak";
    QTest::newRow("timestamped preferred")
        << QStringList{QStringLiteral("Index.plist.bak"), QStringLiteral("Index-20250101-000000-000.plist.bak"),
                       QStringLiteral("Index-20260101-000000-000.plist.bak"), QStringLiteral("Index-zz.txt")}
        << "Index-20260101-000000-000.plist.bak";
}

void WallpaperEngineTest::findsTheLatestBackup()
{
    QFETCH(QStringList, files);
    QFETCH(QString, latest);

    Sandbox sandbox;
    QDir().mkpath(sandbox.engine.backupDirectory());
    for (const QString &name : files)
        writeAll(sandbox.backupPath(name), name.toUtf8());
    QCOMPARE(sandbox.engine.latestBackupURL(),
             latest.isEmpty() ? std::nullopt : std::optional<QString>(sandbox.backupPath(latest)));
}

void WallpaperEngineTest::undoRestoresTheExactEarlierIndex()
{
    Sandbox sandbox;
    expectApplied(IndexFixture::desktopCount(2, 3), 1);
    QCOMPARE(sandbox.engine.setAllSpaces(sandbox.image), AllSpacesOutcome::appliedAllSpaces());
    QVERIFY(sandbox.index() != sandbox.original);

    for (int undo = 1; undo <= 2; ++undo) {
        sandbox.engine.restorePreviousAllSpaces();
        QCOMPARE(sandbox.index(), sandbox.original);
        sandbox.writeIndex("changed since");
    }
    QCOMPARE(sandbox.platform.runs, QList({agentRestart, agentRestart, agentRestart}));
    QCOMPARE(sandbox.backups().size(), 1);
}

void WallpaperEngineTest::undoWithoutBackupFails()
{
    Sandbox sandbox;
    try {
        sandbox.engine.restorePreviousAllSpaces();
        QFAIL("undo without a backup succeeded");
    } catch (const WallpaperError &error) {
        QCOMPARE(error.description(), QStringLiteral("Failed to apply wallpaper: no wallpaper-store backup to restore"));
    }
    QCOMPARE(sandbox.index(), sandbox.original);
    QVERIFY(sandbox.platform.runs.isEmpty());
}

void WallpaperEngineTest::reportsCurrentPictures()
{
    Sandbox sandbox;
    sandbox.platform.images.insert(QStringLiteral("HDMI-1"), QStringLiteral("/pics/a b.png"));
    QCOMPARE(sandbox.engine.currentThisSpaceURLs(), QList{QUrl::fromLocalFile(QStringLiteral("/pics/a b.png"))});
}

void WallpaperEngineTest::describesOutcomes()
{
    QCOMPARE(AllSpacesOutcome::appliedAllSpaces().description(),
             QStringLiteral("Set for All Spaces — every desktop on every display."));
    QCOMPARE(AllSpacesOutcome::fellBackToPublicAPI(QStringLiteral("why %1")).description(),
             QStringLiteral("Set on the current desktops — other Spaces update as you switch to them. (why %1)"));
    QCOMPARE(AllSpacesOutcome::failed(QStringLiteral("why")).description(),
             QStringLiteral("Couldn't set the wallpaper: why"));
    QVERIFY(AllSpacesOutcome::appliedAllSpaces().didApply());
    QVERIFY(AllSpacesOutcome::fellBackToPublicAPI({}).didApply());
    QVERIFY(!AllSpacesOutcome::failed({}).didApply());
}

QTEST_GUILESS_MAIN(WallpaperEngineTest)
#include "tst_wallpaperengine.moc"
