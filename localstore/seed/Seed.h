#pragma once

#include <QDate>
#include <QDateTime>
#include <QSize>
#include <QString>
#include <QtGlobal>

class QSqlDatabase;

// Whether the app_settings row carries the three membership prices or leaves them NULL.
enum class MembershipPrices { Set, Null };

struct SeedOptions {
    int wallpapers = 36;
    // Regular packs; the three monthly packs (last, this and next month) come on top.
    int packs = 6;
    // 0 keeps originals at their natural size; >0 pads the originals of the first
    // `paddedWallpapers` wallpapers (newest first) to about that many MiB, for download benchmarks.
    int originalMegabytes = 0;
    QDate todayUtc = QDateTime::currentDateTimeUtc().date();
    quint32 seed = 1;

    int paddedWallpapers = 1;
    MembershipPrices membershipPrices = MembershipPrices::Set;
    QSize landscapeOriginalSize{3840, 2160}; // the portrait original is this size transposed
    // Only the first this-many wallpapers get originals rendered of their own; the others get hard
    // links to the files of an unpadded one of them (their pictures then show another title), as a
    // 10,000-wallpaper catalog would otherwise take many minutes and about 10 GB.
    int renderedOriginals = 64;
};

// Storage layout under `storageRoot`, one folder per bucket; the *_path columns hold the path
// inside the bucket:
//   wallpapers/<slug>/<slug>.jpg      landscape original   (landscape_file_path)
//   wallpapers/<slug>/<slug>-2.jpg    portrait original    (portrait_file_path)
//   previews/wallpapers/<slug>.jpg    landscape preview    (landscape_preview_path), 800×450
//   previews/wallpapers/<slug>-2.jpg  portrait preview     (portrait_preview_path), 450×800
//   previews/packs/<slug>.jpg         pack cover           (preview_path), 800×450
// Previews are 400×225 / 225×400 in catalogs of more than 1,000 wallpapers.
//
// What the rows hold (wallpaper n = the n-th newest, from 0; prices in cents, defaults 99 and 1299):
//   wallpapers 1 and 5 on sale (49, 69), 2 above the default (149), later ones about 12 % on sale
//   and 6 % above; 3 and 10 unpublished; 4 without the four dimensions, 7 without the portrait ones;
//   packs, newest first: next month's, this month's, the regular packs, last month's monthly pack;
//   regular pack 0 on sale (999) with two members sharing position 2, pack 1 above the default
//   (1499), the last one (of three or more) unpublished. Members are published wallpapers only,
//   inserted in shuffled order. created_at never ties and is before todayUtc.
inline constexpr char kPreviewsBucket[] = "previews";
inline constexpr char kWallpapersBucket[] = "wallpapers";

// When the database holds no catalog yet, renders the images, then creates the tables
// app_settings, wallpapers, packs and pack_wallpapers (when absent) and fills them, in one
// transaction. Rows and files are a pure function of the options, so a catalog that is already
// there is left untouched. Needs no GUI application (QCoreApplication is enough).
// Returns false (after logging why) when the schema, a file or a row could not be written.
bool seedCatalog(QSqlDatabase &db, const QString &storageRoot, const SeedOptions &options);
