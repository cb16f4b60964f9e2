#pragma once

#include "CatalogPlan.h"

#include <QSize>
#include <QString>

// Preview sizes: full-size grids for a normal catalog, half size for benchmark catalogs so that
// thousands of previews render in a minute or so.
QSize landscapePreviewSize(int wallpaperCount);

// Renders every preview and original the plan names into <storageRoot>/<bucket>/<path>, on all
// cores. Fills `error` and returns false at the first file that cannot be written.
bool writeCatalogFiles(const CatalogPlan &plan, const QString &storageRoot, const SeedOptions &options,
                       QString *error);
