#include "Seed.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Small originals keep the suite fast; everything else is the default catalog shape.
SeedOptions smallOptions()
{
    SeedOptions options;
    options.wallpapers = 12;
    options.packs = 4;
    options.todayUtc = QDate(2026, 3, 15);
    options.landscapeOriginalSize = QSize(1200, 675);
    return options;
}

// A database file and a storage root in a temporary folder, seeded on request.
struct SeededStore {
    QTemporaryDir dir;
    QSqlDatabase db;
    QString root = dir.filePath(QStringLiteral("storage"));

    SeededStore()
    {
        static int connections = 0;
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed%1").arg(++connections));
        db.setDatabaseName(dir.filePath(QStringLiteral("store.sqlite")));
        db.open();
    }
    ~SeededStore()
    {
        const QString name = db.connectionName();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    bool seed(const SeedOptions &options) { return seedCatalog(db, root, options); }

    QVariant scalar(const QString &sql)
    {
        QSqlQuery query(db);
        if (!query.exec(sql) || !query.next())
            return {};
        return query.value(0);
    }
    QList<QVariantList> rows(const QString &table)
    {
        QSqlQuery query(db);
        query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
        QList<QVariantList> result;
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row.append(query.value(i));
            result.append(row);
        }
        return result;
    }
    QString file(const char *bucket, const QString &path) const
    {
        return root + QLatin1Char('/') + QLatin1String(bucket) + QLatin1Char('/') + path;
    }
};

const QStringList kTables{QStringLiteral("app_settings"), QStringLiteral("wallpapers"), QStringLiteral("packs"),
                          QStringLiteral("pack_wallpapers")};

QByteArray digest(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

} // namespace

class SeedTest : public QObject
{
    Q_OBJECT

private:
    SeededStore m_store;

private slots:
    void initTestCase() { QVERIFY(m_store.seed(smallOptions())); }

    void schema_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("app_settings") << "app_settings"
                                      << QStringList{"default_wallpaper_price_cents INTEGER",
                                                     "default_pack_price_cents INTEGER",
                                                     "subscription_monthly_cents INTEGER",
                                                     "subscription_yearly_cents INTEGER",
                                                     "yearly_monthly_credits INTEGER", "created_at TIMESTAMPTZ"};
        QTest::newRow("wallpapers") << "wallpapers"
                                    << QStringList{"id TEXT", "slug TEXT", "title TEXT", "description TEXT",
                                                   "price_cents INTEGER", "landscape_preview_path TEXT",
                                                   "portrait_preview_path TEXT", "landscape_file_path TEXT",
                                                   "portrait_file_path TEXT", "landscape_width INTEGER",
                                                   "landscape_height INTEGER", "portrait_width INTEGER",
                                                   "portrait_height INTEGER", "is_published BOOLEAN",
                                                   "created_at TIMESTAMPTZ"};
        QTest::newRow("packs") << "packs"
                               << QStringList{"id TEXT", "slug TEXT", "title TEXT", "description TEXT",
                                              "price_cents INTEGER", "preview_path TEXT", "is_published BOOLEAN",
                                              "is_monthly BOOLEAN", "monthly_month TEXT", "created_at TIMESTAMPTZ"};
        QTest::newRow("pack_wallpapers") << "pack_wallpapers"
                                         << QStringList{"pack_id TEXT", "wallpaper_id TEXT", "position INTEGER",
                                                        "created_at TIMESTAMPTZ"};
    }
    void schema()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, columns);
        QSqlQuery query(m_store.db);
        QVERIFY(query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)));
        QStringList actual;
        while (query.next())
            actual << query.value(1).toString() + QLatin1Char(' ') + query.value(2).toString();
        QCOMPARE(actual, columns);
    }

    // Each row counts the rows of one kind that a client or server test relies on.
    void edgeRows_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        const QString wallpaperVsDefault = QStringLiteral(
            "SELECT COUNT(*) FROM wallpapers, app_settings WHERE price_cents %1 default_wallpaper_price_cents");
        const QString packVsDefault = QStringLiteral(
            "SELECT COUNT(*) FROM packs, app_settings WHERE NOT is_monthly AND price_cents %1 default_pack_price_cents");
        QTest::newRow("wallpaper on sale") << wallpaperVsDefault.arg('<') << 1 << 12;
        QTest::newRow("wallpaper above default") << wallpaperVsDefault.arg('>') << 1 << 12;
        QTest::newRow("wallpapers without override, most")
            << "SELECT COUNT(*) FROM wallpapers WHERE price_cents IS NULL" << 7 << 12;
        QTest::newRow("unpublished wallpapers") << "SELECT COUNT(*) FROM wallpapers WHERE NOT is_published" << 1 << 2;
        QTest::newRow("wallpaper without dimensions")
            << "SELECT COUNT(*) FROM wallpapers WHERE landscape_width IS NULL AND portrait_width IS NULL" << 1 << 11;
        QTest::newRow("wallpaper with dimensions")
            << "SELECT COUNT(*) FROM wallpapers WHERE landscape_width = 1200 AND landscape_height = 675"
               " AND portrait_width = 675 AND portrait_height = 1200"
            << 1 << 11;
        QTest::newRow("pack on sale") << packVsDefault.arg('<') << 1 << 1;
        QTest::newRow("pack above default") << packVsDefault.arg('>') << 1 << 1;
        QTest::newRow("pack without override")
            << "SELECT COUNT(*) FROM packs WHERE NOT is_monthly AND price_cents IS NULL" << 1 << 4;
        QTest::newRow("unpublished pack") << "SELECT COUNT(*) FROM packs WHERE NOT is_published" << 1 << 1;
        QTest::newRow("packs with members")
            << "SELECT COUNT(DISTINCT pack_id) FROM pack_wallpapers" << 7 << 7;
        QTest::newRow("position tie")
            << "SELECT COUNT(*) FROM (SELECT 1 FROM pack_wallpapers GROUP BY pack_id, position HAVING COUNT(*) > 1)"
            << 1 << 7;
        QTest::newRow("no member is unpublished")
            << "SELECT COUNT(*) FROM pack_wallpapers m JOIN wallpapers w ON w.id = m.wallpaper_id WHERE NOT w.is_published"
            << 0 << 0;
        QTest::newRow("members name existing rows")
            << "SELECT COUNT(*) FROM pack_wallpapers m LEFT JOIN wallpapers w ON w.id = m.wallpaper_id"
               " LEFT JOIN packs p ON p.id = m.pack_id WHERE w.id IS NULL OR p.id IS NULL"
            << 0 << 0;
        QTest::newRow("one settings row with membership prices")
            << "SELECT COUNT(*) FROM app_settings WHERE subscription_monthly_cents = 999"
               " AND subscription_yearly_cents = 9999 AND yearly_monthly_credits = 5"
            << 1 << 1;
        QTest::newRow("created_at never ties")
            << "SELECT (SELECT COUNT(*) - COUNT(DISTINCT created_at) FROM wallpapers)"
               " + (SELECT COUNT(*) - COUNT(DISTINCT created_at) FROM packs)"
            << 0 << 0;
    }
    void edgeRows()
    {
        QFETCH(QString, sql);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        const QVariant count = m_store.scalar(sql);
        QVERIFY2(count.isValid(), qPrintable(sql));
        QVERIFY2(count.toInt() >= minimum && count.toInt() <= maximum, qPrintable(count.toString()));
    }

    void monthlyPacks_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("months");
        QTest::newRow("mid-year") << QDate(2026, 6, 30) << QStringList{"2026-05", "2026-06", "2026-07"};
        QTest::newRow("January") << QDate(2027, 1, 1) << QStringList{"2026-12", "2027-01", "2027-02"};
        QTest::newRow("December") << QDate(2026, 12, 31) << QStringList{"2026-11", "2026-12", "2027-01"};
    }
    void monthlyPacks()
    {
        QFETCH(QDate, today);
        QFETCH(QStringList, months);
        SeededStore store;
        SeedOptions options = smallOptions();
        options.wallpapers = 4;
        options.packs = 0;
        options.todayUtc = today;
        options.landscapeOriginalSize = QSize(64, 36);
        QVERIFY(store.seed(options));
        QSqlQuery query(store.db);
        QVERIFY(query.exec(QStringLiteral(
            "SELECT monthly_month FROM packs WHERE is_monthly AND is_published ORDER BY monthly_month")));
        QStringList actual;
        while (query.next())
            actual << query.value(0).toString();
        QCOMPARE(actual, months);
        // Every monthly pack has members, so this month's and next month's make wallpapers members-only.
        QCOMPARE(store.scalar(QStringLiteral("SELECT COUNT(DISTINCT pack_id) FROM pack_wallpapers")).toInt(), 3);
    }

    void timestampsAndIds()
    {
        const QRegularExpression iso(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)"));
        const QRegularExpression uuid(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));
        QSqlQuery query(m_store.db);
        QVERIFY(query.exec(QStringLiteral("SELECT id, created_at FROM wallpapers UNION ALL SELECT id, created_at FROM packs")));
        int rows = 0;
        while (query.next()) {
            ++rows;
            QVERIFY2(uuid.match(query.value(0).toString()).hasMatch(), qPrintable(query.value(0).toString()));
            QVERIFY2(iso.match(query.value(1).toString()).hasMatch(), qPrintable(query.value(1).toString()));
            QVERIFY(QDateTime::fromString(query.value(1).toString(), Qt::ISODateWithMs) <= QDateTime(QDate(2026, 3, 15), QTime(0, 0), Qt::UTC));
        }
        QCOMPARE(rows, 12 + 4 + 3);
    }

    void filesMatchRows()
    {
        QSqlQuery query(m_store.db);
        QVERIFY(query.exec(QStringLiteral("SELECT landscape_file_path, portrait_file_path, landscape_preview_path,"
                                          " portrait_preview_path FROM wallpapers")));
        while (query.next()) {
            const QString landscapeFile = query.value(0).toString();
            const QString portraitFile = query.value(1).toString();
            QVERIFY2(QFileInfo(portraitFile).completeBaseName().endsWith(QLatin1String("-2")), qPrintable(portraitFile));
            QVERIFY(!QFileInfo(landscapeFile).completeBaseName().endsWith(QLatin1String("-2")));
            QCOMPARE(QFileInfo(landscapeFile).path(), QFileInfo(portraitFile).path());
            QCOMPARE(QImageReader(m_store.file(kWallpapersBucket, landscapeFile)).size(), QSize(1200, 675));
            QCOMPARE(QImageReader(m_store.file(kWallpapersBucket, portraitFile)).size(), QSize(675, 1200));
            QCOMPARE(QImageReader(m_store.file(kPreviewsBucket, query.value(2).toString())).size(), QSize(800, 450));
            QCOMPARE(QImageReader(m_store.file(kPreviewsBucket, query.value(3).toString())).size(), QSize(450, 800));
        }
        QVERIFY(query.exec(QStringLiteral("SELECT preview_path FROM packs")));
        while (query.next())
            QVERIFY(QImageReader(m_store.file(kPreviewsBucket, query.value(0).toString())).canRead());
    }

    void deterministic()
    {
        SeededStore again;
        QVERIFY(again.seed(smallOptions()));
        for (const QString &table : kTables)
            QCOMPARE(again.rows(table), m_store.rows(table));
        const QString slug = m_store.scalar(QStringLiteral("SELECT slug FROM wallpapers ORDER BY created_at DESC")).toString();
        for (const auto &[bucket, path] : {std::pair{kWallpapersBucket, slug + '/' + slug + "-2.jpg"},
                                           std::pair{kPreviewsBucket, "wallpapers/" + slug + ".jpg"}}) {
            const QByteArray first = digest(m_store.file(bucket, path));
            QVERIFY(!first.isEmpty());
            QCOMPARE(digest(again.file(bucket, path)), first);
        }

        SeededStore other;
        SeedOptions options = smallOptions();
        options.seed = 2;
        options.landscapeOriginalSize = QSize(64, 36);
        QVERIFY(other.seed(options));
        QVERIFY(other.scalar("SELECT id FROM wallpapers") != m_store.scalar("SELECT id FROM wallpapers"));
    }

    void seedingTwiceKeepsTheCatalog()
    {
        const QList<QVariantList> before = m_store.rows(QStringLiteral("wallpapers"));
        SeedOptions options = smallOptions();
        options.wallpapers = 30;
        QVERIFY(m_store.seed(options));
        QCOMPARE(m_store.rows(QStringLiteral("wallpapers")), before);
        QCOMPARE(m_store.scalar(QStringLiteral("SELECT COUNT(*) FROM app_settings")).toInt(), 1);
    }

    // The store seeds again on its next start only if a failed seed left no table behind.
    void failedSeedLeavesNoTables()
    {
        SeededStore store;
        SeedOptions options = smallOptions();
        options.wallpapers = 2;
        options.landscapeOriginalSize = QSize(64, 36);
        QFile blocker(store.root);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^seed failed: cannot create folder")));
        QVERIFY(!store.seed(options));
        QCOMPARE(store.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")).toInt(), 0);

        QVERIFY(blocker.remove());
        QVERIFY(store.seed(options));
        QCOMPARE(store.scalar(QStringLiteral("SELECT COUNT(*) FROM wallpapers")).toInt(), 2);
    }

    void settingsWithoutMembershipPrices()
    {
        SeededStore store;
        SeedOptions options = smallOptions();
        options.wallpapers = 1;
        options.membershipPrices = MembershipPrices::Null;
        options.landscapeOriginalSize = QSize(64, 36);
        QVERIFY(store.seed(options));
        QCOMPARE(store.scalar(QStringLiteral(
                                  "SELECT COUNT(*) FROM app_settings WHERE default_wallpaper_price_cents = 99 AND"
                                  " default_pack_price_cents = 1299 AND subscription_monthly_cents IS NULL AND"
                                  " subscription_yearly_cents IS NULL AND yearly_monthly_credits IS NULL"))
                     .toInt(),
                 1);
    }

    // Padded and shared originals must still be pictures a client can open.
    void benchmarkOriginalsStayValid()
    {
        SeededStore store;
        SeedOptions options = smallOptions();
        options.wallpapers = 5;
        options.originalMegabytes = 1;
        options.renderedOriginals = 2;
        options.landscapeOriginalSize = QSize(320, 180);
        QVERIFY(store.seed(options));
        QSqlQuery query(store.db);
        QVERIFY(query.exec(QStringLiteral("SELECT landscape_file_path, portrait_file_path FROM wallpapers ORDER BY created_at DESC")));
        for (int index = 0; query.next(); ++index) {
            for (const QString &path : {query.value(0).toString(), query.value(1).toString()}) {
                const QString file = store.file(kWallpapersBucket, path);
                const qint64 size = QFileInfo(file).size();
                if (index == 0)
                    QVERIFY2(size > 1000 * 1024 && size <= 1024 * 1024, qPrintable(QString::number(size)));
                else
                    QVERIFY2(size < 100 * 1024, qPrintable(QString::number(size)));
                QImageReader reader(file);
                const QImage image = reader.read();
                QVERIFY2(!image.isNull(), qPrintable(file + reader.errorString()));
                QCOMPARE(image.width() > image.height(), !path.endsWith(QLatin1String("-2.jpg")));
            }
        }
    }
};

QTEST_GUILESS_MAIN(SeedTest)
#include "tst_seed.moc"
