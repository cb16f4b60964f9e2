// How much an all-Spaces apply costs on a large store (20 displays × 50 Spaces), against the
// floor of reading the index and writing it back unchanged. Verification sleeps and the agent
// restart are left out: the platform answers at once.
#include "IndexFixture.h"
#include "WallpaperEngine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int displays = 20;
constexpr int spaces = 50;
constexpr int payloadBytes = 2048;
constexpr int runs = 21;

class InstantPlatform : public WallpaperPlatform
{
public:
    QList<Display> displays() const override { return {{QStringLiteral("DP-1"), QRect(0, 0, 2560, 1440), true}}; }
    std::optional<QString> setDesktopImage(const Display &, const QString &) override { return std::nullopt; }
    std::optional<QString> desktopImage(const Display &) const override { return std::nullopt; }
    std::optional<OperatingSystemVersion> systemVersion() const override { return std::nullopt; }
    QString systemVersionString() const override { return {}; }
    WallpaperWriterSupport storeWriterSupport(const QString &) const override { return WallpaperWriterSupport::supported(); }
    ProcessResult run(const QString &, const QStringList &) override { return {true, {}, 0, {}}; }
    void sleep(std::chrono::milliseconds) override {}
};

double medianMilliseconds(const std::function<void()> &work)
{
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}

int main()
{
    QLoggingCategory::setFilterRules(QStringLiteral("com.quenby.zarnova.engine.info=false"));
    QTemporaryDir dir;
    const WallpaperStore store(dir.filePath(QStringLiteral("Index.plist")));
    const QUrl oldImage = QUrl::fromLocalFile(QStringLiteral("/usr/share/backgrounds/old.jpg"));
    store.write(IndexFixture::makeIndex(displays, spaces, oldImage, payloadBytes).get());
    const qint64 size = QFile(store.indexURL()).size();

    const QString imagePath = dir.filePath(QStringLiteral("new.jpg"));
    QFile image(imagePath);
    if (!image.open(QIODevice::WriteOnly))
        return 1;
    image.write("jpeg");
    image.close();
    const QUrl imageURL = QUrl::fromLocalFile(imagePath);

    const double floor = medianMilliseconds([&] { store.write(store.read().get()); });
    int nodes = 0;
    const double rewrite = medianMilliseconds([&] {
        const PlistPtr root = store.read();
        nodes = WallpaperStore::rewriteAllDesktops(imageURL, root.get());
        store.write(root.get());
    });
    InstantPlatform platform;
    WallpaperEngine engine(store, platform, dir.filePath(QStringLiteral("Backups")));
    bool applied = true;
    const double apply = medianMilliseconds([&] {
        applied = applied && engine.setAllSpaces(imageURL).kind() == AllSpacesOutcome::Kind::appliedAllSpaces;
    });

    std::printf("index: %d displays x %d Spaces, %d Desktop nodes, %.2f MB; median of %d runs\n", displays, spaces,
                nodes, double(size) / (1024 * 1024), runs);
    std::printf("floor (read + write unchanged):                   %8.2f ms\n", floor);
    std::printf("rewrite (read + rewrite every node + write):      %8.2f ms  (%.2fx floor)\n", rewrite, rewrite / floor);
    std::printf("apply (backup, rewrite, write, verify; no sleeps): %8.2f ms  (%.2fx floor)%s\n", apply, apply / floor,
                applied ? "" : "  [apply did not verify]");
    return applied ? 0 : 1;
}
