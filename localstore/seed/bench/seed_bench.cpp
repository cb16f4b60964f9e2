// Times seeding a catalog into a fresh folder and prints what it produced.
// usage: seed_bench [wallpapers=36] [originalMegabytes=0] [folder=temporary]
#include "Seed.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    SeedOptions options;
    if (args.size() > 1)
        options.wallpapers = args.at(1).toInt();
    if (args.size() > 2)
        options.originalMegabytes = args.at(2).toInt();
    QTemporaryDir temporary;
    const QString folder = args.size() > 3 ? args.at(3) : temporary.path();

    QDir().mkpath(folder);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(folder + QStringLiteral("/store.sqlite"));
        if (!db.open())
            return 1;
        QElapsedTimer clock;
        clock.start();
        const bool seeded = seedCatalog(db, folder + QStringLiteral("/storage"), options);
        const qint64 elapsed = clock.elapsed();
        qint64 files = 0;
        qint64 bytes = 0;
        for (QDirIterator it(folder + QStringLiteral("/storage"), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            it.next();
            ++files;
            bytes += it.fileInfo().size();
        }
        std::printf("seeded=%s wallpapers=%d originalMegabytes=%d time=%lld ms files=%lld apparent=%.1f MiB\n",
                    seeded ? "yes" : "no", options.wallpapers, options.originalMegabytes, qlonglong(elapsed),
                    qlonglong(files), double(bytes) / (1024 * 1024));
        db.close();
        if (!seeded)
            return 1;
    }
    return 0;
}
