#pragma once

#include <QtGlobal>

// splitmix64: tiny, fast and identical on every platform and standard library, so a seed
// always yields the same catalog. Each row and picture gets its own stream (derived from the
// seed, a domain tag and its index), which keeps parallel rendering deterministic.
class SeedRandom
{
public:
    explicit SeedRandom(quint64 state) : m_state(state) {}
    SeedRandom(quint32 seed, quint32 domain, quint64 index)
        : m_state((quint64(seed) << 32 | domain) ^ (index * 0xD1B54A32D192ED03ull))
    {
        next();
    }

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform enough for picking among a handful of values; [0, bound).
    int bounded(int bound) { return bound <= 0 ? 0 : int(next() % quint64(bound)); }
    int between(int low, int high) { return low + bounded(high - low + 1); }
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    bool chance(double probability) { return unit() < probability; }

private:
    quint64 m_state;
};
