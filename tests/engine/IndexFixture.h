#pragma once

#include "Plist.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

// Builds wallpaper store indexes for tests and benchmarks, and renders trees compactly.
namespace IndexFixture {

// When the nodes of a fresh index were last set.
QDateTime initialLastSet();

// A Desktop node whose one choice names the image.
PlistPtr desktopNode(const QUrl &image, const QDateTime &lastSet = initialLastSet());

// A store laid out as the system does it: a default, an all-displays entry, each display, and for
// each Space a default plus a list of its displays. Every entry has an "Idle" twin that must never
// change. payloadBytes of opaque data ride along in each per-Space display entry. With the picture
// and time of an apply, it is also exactly what that apply must turn a fresh index into.
PlistPtr makeIndex(int displays, int spaces, const QUrl &image, int payloadBytes = 0,
                   const QDateTime &lastSet = initialLastSet());
// How many Desktop nodes makeIndex() creates.
int desktopCount(int displays, int spaces);

// Values that must pass through a rewrite untouched: a 128-bit unsigned integer, a negative
// integer, a date with microseconds, data, a real and nested containers.
PlistPtr passThroughValues();

PlistPtr fromXml(const QByteArray &xml);

// {key:value,...}, [a,b], "text", 12, true, 1.5, @<ISO date with ms>, and data as <blob> when it
// equals blob, else <N bytes>.
QString render(plist_t node, const QByteArray &blob = {});
// The same with nothing summarised: dates as seconds.microseconds, data in hex.
QString renderExactly(plist_t node);

}
