#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// A generated picture: a gradient sky with translucent shapes and the title written across it.
// The scene is resolution independent, so a preview is the original drawn smaller. The title uses
// a built-in pixel font: no font files or GUI application are needed and the pixels are the same
// on every machine.
QImage renderWallpaperArt(quint64 artSeed, const QString &title, QSize size);
