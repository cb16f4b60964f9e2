#include "CatalogPlan.h"

#include "MonthKey.h"
#include "SeedRandom.h"

#include <QTimeZone>
#include <QUuid>
#include <array>

namespace {

// Stream domains: each kind of value draws from its own stream so that adding a pack never
// changes a wallpaper.
enum Domain : quint32 {
    WallpaperIds = 1,
    WallpaperTraits,
    WallpaperArt,
    WallpaperTimes,
    PackIds,
    PackTraits,
    PackArt,
    PackTimes,
    Members
};

constexpr qint64 kDefaultWallpaperCents = 99;
constexpr qint64 kDefaultPackCents = 1299;
constexpr std::array<qint64, 3> kWallpaperSaleCents{49, 69, 79};
constexpr std::array<qint64, 3> kWallpaperAboveCents{129, 149, 199};

constexpr std::array kAdjectives{"Amber", "Silent", "Velvet", "Northern", "Drifting", "Glass", "Copper",
                                 "Midnight", "Quiet", "Solar", "Hollow", "Crimson", "Pale", "Distant",
                                 "Electric", "Winter", "Golden", "Misty", "Coral", "Indigo", "Lunar",
                                 "Wild", "Faded", "Bright", "Salt", "Paper", "Iron", "Opal"};
constexpr std::array kNouns{"Dunes", "Harbor", "Meadow", "Ridge", "Tide", "Orchard", "Canyon", "Lagoon",
                            "Summit", "Grove", "Fjord", "Prairie", "Reef", "Glacier", "Delta", "Mesa",
                            "Bloom", "Horizon", "Current", "Aurora", "Ember", "Signal", "Garden", "Atlas",
                            "Valley", "Lantern", "Drift", "Basin", "Shore"};

QString deterministicUuid(quint32 seed, Domain domain, qint64 index)
{
    SeedRandom random(seed, domain, quint64(index));
    QByteArray bytes(16, Qt::Uninitialized);
    for (int i = 0; i < 16; i += 8) {
        const quint64 word = random.next();
        for (int b = 0; b < 8; ++b)
            bytes[i + b] = char(word >> (8 * b));
    }
    bytes[6] = char((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = char((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return QUuid::fromRfc4122(bytes).toString(QUuid::WithoutBraces);
}

struct Name {
    QLatin1String adjective;
    QLatin1String noun;
};

Name pickName(SeedRandom &random)
{
    const char *adjective = kAdjectives[std::size_t(random.bounded(int(kAdjectives.size())))];
    const char *noun = kNouns[std::size_t(random.bounded(int(kNouns.size())))];
    return {QLatin1String(adjective), QLatin1String(noun)};
}

// At least three digits: a file name ending in "-2" marks the portrait original of a download.
QString numberedSlug(const QString &title, int index)
{
    const QString words = title.toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
    return QStringLiteral("%1-%2").arg(words).arg(index + 1, 3, 10, QLatin1Char('0'));
}

// Strictly decreasing with the index, with a few minutes and milliseconds of jitter inside each
// step, so "newest first" is the plan's order and no two rows tie.
QDateTime stepBack(const QDateTime &newest, qint64 index, qint64 stepMinutes, SeedRandom &random)
{
    const qint64 jitterMs = qint64(random.bounded(int(stepMinutes / 2 * 60'000)));
    return newest.addMSecs(-(index * stepMinutes * 60'000 + jitterMs));
}

std::optional<qint64> wallpaperPrice(int index, SeedRandom &random)
{
    switch (index) {
    case 1: return kWallpaperSaleCents[0];
    case 2: return kWallpaperAboveCents[1];
    case 5: return kWallpaperSaleCents[1];
    default: break;
    }
    const double roll = random.unit();
    if (index > 5 && roll < 0.12)
        return kWallpaperSaleCents[std::size_t(random.bounded(int(kWallpaperSaleCents.size())))];
    if (index > 5 && roll < 0.18)
        return kWallpaperAboveCents[std::size_t(random.bounded(int(kWallpaperAboveCents.size())))];
    return std::nullopt;
}

WallpaperRow planWallpaper(const SeedOptions &options, int index, const QDateTime &newest)
{
    SeedRandom traits(options.seed, WallpaperTraits, quint64(index));
    SeedRandom times(options.seed, WallpaperTimes, quint64(index));
    WallpaperRow row;
    Wallpaper &wallpaper = row.record;
    wallpaper.id = deterministicUuid(options.seed, WallpaperIds, index);
    const Name name = pickName(traits);
    wallpaper.title = QStringLiteral("%1 %2").arg(name.adjective, name.noun);
    wallpaper.slug = numberedSlug(wallpaper.title, index);
    if (index % 5 != 4)
        wallpaper.description = QStringLiteral("%1 light over the %2, drawn for wide and tall screens.")
                                    .arg(name.adjective, QString(name.noun).toLower());
    wallpaper.priceCents = wallpaperPrice(index, traits);

    wallpaper.landscapeFilePath = QStringLiteral("%1/%1.jpg").arg(wallpaper.slug);
    wallpaper.portraitFilePath = QStringLiteral("%1/%1-2.jpg").arg(wallpaper.slug);
    wallpaper.landscapePreviewPath = QStringLiteral("wallpapers/%1.jpg").arg(wallpaper.slug);
    wallpaper.portraitPreviewPath = QStringLiteral("wallpapers/%1-2.jpg").arg(wallpaper.slug);

    // The files always exist at these sizes; some rows just do not say so.
    const QSize landscape = options.landscapeOriginalSize;
    const bool noDimensions = index == 4 || (index > 7 && traits.chance(0.05));
    if (!noDimensions) {
        wallpaper.landscapeWidth = landscape.width();
        wallpaper.landscapeHeight = landscape.height();
        if (index != 7) {
            wallpaper.portraitWidth = landscape.height();
            wallpaper.portraitHeight = landscape.width();
        }
    }
    wallpaper.isPublished = index != 3 && index != 10;
    row.createdAt = stepBack(newest, index, 180, times);
    row.artSeed = SeedRandom(options.seed, WallpaperArt, quint64(index)).next();
    return row;
}

PackRow planPack(const SeedOptions &options, int index)
{
    SeedRandom traits(options.seed, PackTraits, quint64(index));
    PackRow row;
    Pack &pack = row.record;
    pack.id = deterministicUuid(options.seed, PackIds, index);
    const Name name = pickName(traits);
    pack.title = QStringLiteral("%1 %2 Collection").arg(name.adjective, name.noun);
    pack.slug = numberedSlug(pack.title, index);
    if (index % 3 != 2)
        pack.description = QStringLiteral("A set of %1 scenes, bundled.").arg(QString(name.adjective).toLower());
    if (index == 0)
        pack.priceCents = 999; // on sale
    else if (index == 1)
        pack.priceCents = 1499; // above the default
    pack.isPublished = !(options.packs >= 3 && index == options.packs - 1);
    row.artSeed = SeedRandom(options.seed, PackArt, quint64(index)).next();
    pack.previewPath = QStringLiteral("packs/%1.jpg").arg(pack.slug);
    return row;
}

PackRow planMonthlyPack(const SeedOptions &options, int index, QDate month)
{
    const QString monthName = month.toString(QStringLiteral("MMMM yyyy"));
    PackRow row;
    Pack &pack = row.record;
    pack.id = deterministicUuid(options.seed, PackIds, index);
    pack.title = QStringLiteral("%1 Monthly").arg(monthName);
    pack.monthlyMonth = currentMonthKey(month.startOfDay(Qt::UTC), QTimeZone::utc());
    pack.slug = QStringLiteral("monthly-%1").arg(*pack.monthlyMonth);
    pack.description = QStringLiteral("The members' pack for %1.").arg(monthName);
    pack.isPublished = true;
    pack.isMonthly = true;
    row.artSeed = SeedRandom(options.seed, PackArt, quint64(index)).next();
    pack.previewPath = QStringLiteral("packs/%1.jpg").arg(pack.slug);
    return row;
}

enum class PositionTie { None, AtSecondPlace };

// Members drawn without repetition from the published wallpapers, in a shuffled arrival order
// (readers must order by position themselves).
QList<PackWallpaperRow> planMembers(const SeedOptions &options, int stream, const PackRow &pack, PositionTie tie,
                                    const QList<int> &published, const QList<WallpaperRow> &wallpapers)
{
    SeedRandom random(options.seed, Members, quint64(stream));
    QList<int> pool = published;
    const int count = std::min(int(pool.size()), random.between(3, 6));
    QList<PackWallpaperRow> members;
    for (int k = 0; k < count; ++k) {
        std::swap(pool[k], pool[k + random.bounded(int(pool.size()) - k)]);
        const qint64 position = (tie == PositionTie::AtSecondPlace && k >= 2) ? k : k + 1;
        members.append({pack.record.id, wallpapers[pool[k]].record.id, position, pack.createdAt});
    }
    for (int k = int(members.size()) - 1; k > 0; --k)
        std::swap(members[k], members[random.bounded(k + 1)]);
    return members;
}

} // namespace

CatalogPlan planCatalog(const SeedOptions &options)
{
    CatalogPlan plan;
    const QDateTime newest = options.todayUtc.startOfDay(Qt::UTC).addSecs(-60);

    AppSettings &settings = plan.settings.record;
    settings.defaultWallpaperPriceCents = kDefaultWallpaperCents;
    settings.defaultPackPriceCents = kDefaultPackCents;
    if (options.membershipPrices == MembershipPrices::Set) {
        settings.subscriptionMonthlyCents = 999;
        settings.subscriptionYearlyCents = 9999;
        settings.yearlyMonthlyCredits = 5;
    }
    plan.settings.createdAt = newest.addDays(-400);

    QList<int> published;
    for (int i = 0; i < options.wallpapers; ++i) {
        plan.wallpapers.append(planWallpaper(options, i, newest));
        if (plan.wallpapers.last().record.isPublished)
            published.append(i);
    }

    // Newest first: next month's pack (prepared ahead), this month's, the regular packs, last month's.
    // Ids and art come from each pack's own index; monthly packs sit far above the regular ones.
    SeedRandom times(options.seed, PackTimes, 0);
    auto addPack = [&](PackRow pack, int stream, PositionTie tie) {
        pack.createdAt = stepBack(newest, plan.packs.size(), 31 * 60, times);
        plan.packWallpapers.append(planMembers(options, stream, pack, tie, published, plan.wallpapers));
        plan.packs.append(pack);
    };
    const QDate thisMonth(options.todayUtc.year(), options.todayUtc.month(), 1);
    addPack(planMonthlyPack(options, 100'000, thisMonth.addMonths(1)), 100'000, PositionTie::None);
    addPack(planMonthlyPack(options, 100'001, thisMonth), 100'001, PositionTie::None);
    for (int j = 0; j < options.packs; ++j)
        addPack(planPack(options, j), j, j == 0 ? PositionTie::AtSecondPlace : PositionTie::None);
    addPack(planMonthlyPack(options, 100'002, thisMonth.addMonths(-1)), 100'002, PositionTie::None);
    return plan;
}
