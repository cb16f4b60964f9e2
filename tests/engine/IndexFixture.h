#pragma once

#include "Plist.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

// Builds wallpaper store indexes for tests and benchmarks, and renders trees compactly.
namespace IndexFixture {

// A Desktop node whose one choice names the image.
PlistPtr desktopNode(const QUrl &image);

// A store laid out as the system does it: a default, an all-displays entry, each display, and for
// each Space a default plus a list of its displays. Every entry has an "Idle" twin that must never
// change. payloadBytes of opaque data ride along in each per-Space display entry.
PlistPtr makeIndex(int displays, int spaces, const QUrl &image, int payloadBytes = 0);
// How many Desktop nodes makeIndex() creates.
int desktopCount(int displays, int spaces);

// Values that must pass through a rewrite untouched: a 128-bit unsigned integer, a negative
// integer, a date with microseconds, data, a real and nested containers.
PlistPtr passThroughValues();

PlistPtr fromXml(const QByteArray &xml);

// {key:value,...}, [a,b], "text", 12, true, 1.5, @<ISO date with ms>, and data as <blob> when it
// equals blob, else <N bytes>.
QString render(plist_t node, const QByteArray &blob = {});

}
