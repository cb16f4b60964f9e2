#pragma once

#include <QStringList>

// What a per-display apply achieved: "display N: <desktop's error>" for each display that failed.
struct ThisSpaceResult
{
    int appliedDisplays = 0;
    QStringList failures;

    bool isPartial() const { return appliedDisplays >= 1 && !failures.isEmpty(); }
    bool operator==(const ThisSpaceResult &) const = default;
};
