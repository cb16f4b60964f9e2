#include "CatalogFiles.h"

#include "SeedRandom.h"
#include "WallpaperArt.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kPreviewQuality = 80;
constexpr int kOriginalQuality = 90;
constexpr int kLargeCatalog = 1000;
constexpr qint64 kMiB = 1024 * 1024;

QString storagePath(const QString &root, const char *bucket, const QString &path)
{
    return QDir(root).filePath(QLatin1String(bucket) + QLatin1Char('/') + path);
}

QString makeParent(const QString &file)
{
    const QString dir = QFileInfo(file).absolutePath();
    return QDir().mkpath(dir) ? QString() : QStringLiteral("cannot create folder %1").arg(dir);
}

// Plain files, not save-and-rename: rows are inserted only after every file is complete, so a
// seed cut short leaves no row naming a half-written file, and thousands of fsyncs are avoided.
QString finish(QFile &file)
{
    const bool written = file.flush() && file.error() == QFileDevice::NoError;
    file.close();
    return written ? QString() : QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
}

QString writeJpeg(const QImage &image, int quality, const QString &file)
{
    if (QString failure = makeParent(file); !failure.isEmpty())
        return failure;
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
    QImageWriter writer(&out, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image))
        return QStringLiteral("cannot encode %1: %2").arg(file, writer.errorString());
    return finish(out);
}

// A JPEG grown to about `targetBytes` with APP15 segments of incompressible noise right after the
// start-of-image marker: decoders skip application segments, so the file stays a valid picture,
// and a zip of it stays as large as the file. Streamed, never held whole in memory.
QString writePaddedJpeg(const QImage &image, qint64 targetBytes, quint64 noiseSeed, const QString &file)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kOriginalQuality);
    if (!writer.write(image))
        return QStringLiteral("cannot encode %1: %2").arg(file, writer.errorString());

    if (QString failure = makeParent(file); !failure.isEmpty())
        return failure;
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
    out.write(jpeg.constData(), 2); // SOI
    constexpr int kMaxPayload = 65533;
    SeedRandom noise(noiseSeed);
    QByteArray segment(4 + kMaxPayload, Qt::Uninitialized);
    for (qint64 remaining = targetBytes - jpeg.size(); remaining > 4;) {
        const int payload = int(std::min<qint64>(kMaxPayload, remaining - 4));
        const int length = payload + 2;
        segment[0] = char(0xFF);
        segment[1] = char(0xEF);
        segment[2] = char(length >> 8);
        segment[3] = char(length & 0xFF);
        char *bytes = segment.data() + 4;
        for (int i = 0; i < payload; i += 8) {
            const quint64 word = qToLittleEndian(noise.next());
            std::memcpy(bytes + i, &word, std::size_t(std::min(8, payload - i)));
        }
        if (out.write(segment.constData(), 4 + payload) != 4 + payload)
            break; // finish() reports the error
        remaining -= 4 + payload;
    }
    out.write(jpeg.constData() + 2, jpeg.size() - 2);
    return finish(out);
}

QString writeOriginal(const WallpaperRow &row, QSize size, const QString &path, qint64 paddedBytes, quint64 noiseSeed,
                      const QString &root)
{
    const QImage image = renderWallpaperArt(row.artSeed, row.record.title, size);
    const QString file = storagePath(root, kWallpapersBucket, path);
    return paddedBytes > 0 ? writePaddedJpeg(image, paddedBytes, noiseSeed, file)
                           : writeJpeg(image, kOriginalQuality, file);
}

QString linkFile(const QString &source, const QString &target)
{
    if (QString failure = makeParent(target); !failure.isEmpty())
        return failure;
    QFile::remove(target);
    std::error_code code;
    std::filesystem::create_hard_link(source.toStdString(), target.toStdString(), code);
    if (code && !QFile::copy(source, target))
        return QStringLiteral("cannot link or copy %1 to %2").arg(source, target);
    return {};
}

} // namespace

QSize landscapePreviewSize(int wallpaperCount)
{
    return wallpaperCount > kLargeCatalog ? QSize(400, 225) : QSize(800, 450);
}

bool writeCatalogFiles(const CatalogPlan &plan, const QString &storageRoot, const SeedOptions &options,
                       QString *error)
{
    const int wallpaperCount = int(plan.wallpapers.size());
    const int rendered = std::clamp(options.renderedOriginals, 1, std::max(1, wallpaperCount));
    const int padded = options.originalMegabytes > 0 ? std::clamp(options.paddedWallpapers, 0, rendered) : 0;
    const QSize landscape = options.landscapeOriginalSize;
    const QSize preview = landscapePreviewSize(wallpaperCount);

    auto wallpaperJob = [&](int i) -> QString {
        const WallpaperRow &row = plan.wallpapers[i];
        QString failure = writeJpeg(renderWallpaperArt(row.artSeed, row.record.title, preview), kPreviewQuality,
                                    storagePath(storageRoot, kPreviewsBucket, row.record.landscapePreviewPath));
        if (failure.isEmpty())
            failure = writeJpeg(renderWallpaperArt(row.artSeed, row.record.title, preview.transposed()), kPreviewQuality,
                                storagePath(storageRoot, kPreviewsBucket, row.record.portraitPreviewPath));
        if (i >= rendered)
            return failure;
        const qint64 paddedBytes = i < padded ? qint64(options.originalMegabytes) * kMiB : 0;
        if (failure.isEmpty())
            failure = writeOriginal(row, landscape, row.record.landscapeFilePath, paddedBytes, row.artSeed ^ 1, storageRoot);
        if (failure.isEmpty())
            failure = writeOriginal(row, landscape.transposed(), row.record.portraitFilePath, paddedBytes, row.artSeed ^ 2,
                                    storageRoot);
        return failure;
    };
    auto packJob = [&](int j) -> QString {
        const PackRow &pack = plan.packs[j];
        return writeJpeg(renderWallpaperArt(pack.artSeed, pack.record.title, preview), kPreviewQuality,
                         storagePath(storageRoot, kPreviewsBucket, pack.record.previewPath));
    };

    const int jobs = wallpaperCount + int(plan.packs.size());
    std::atomic<int> nextJob{0};
    std::mutex failureLock;
    QString firstFailure;
    auto worker = [&] {
        for (int job = nextJob++; job < jobs; job = nextJob++) {
            const QString failure = job < wallpaperCount ? wallpaperJob(job) : packJob(job - wallpaperCount);
            if (!failure.isEmpty()) {
                const std::lock_guard guard(failureLock);
                if (firstFailure.isEmpty())
                    firstFailure = failure;
                nextJob = jobs;
            }
        }
    };
    std::vector<std::thread> pool;
    const int threads = std::clamp(QThread::idealThreadCount(), 1, std::max(1, jobs));
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread &thread : pool)
        thread.join();

    // Originals beyond the rendered ones share the files of a rendered, unpadded wallpaper.
    const int firstShared = padded < rendered ? padded : 0;
    for (int i = rendered; i < wallpaperCount && firstFailure.isEmpty(); ++i) {
        const WallpaperRow &source = plan.wallpapers[firstShared + (i - rendered) % (rendered - firstShared)];
        const WallpaperRow &row = plan.wallpapers[i];
        firstFailure = linkFile(storagePath(storageRoot, kWallpapersBucket, source.record.landscapeFilePath),
                                storagePath(storageRoot, kWallpapersBucket, row.record.landscapeFilePath));
        if (firstFailure.isEmpty())
            firstFailure = linkFile(storagePath(storageRoot, kWallpapersBucket, source.record.portraitFilePath),
                                    storagePath(storageRoot, kWallpapersBucket, row.record.portraitFilePath));
    }
    if (error)
        *error = firstFailure;
    return firstFailure.isEmpty();
}
