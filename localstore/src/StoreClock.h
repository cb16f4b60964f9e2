#pragma once

#include <QDateTime>

// The server's notion of now: the system clock moved forward by a test-controlled offset,
// so expiry can be tested without waiting.
class StoreClock
{
public:
    QDateTime now() const;
    qint64 nowSecs() const;
    void advance(qint64 seconds);
    void reset();
    qint64 offsetSecs() const { return m_offset; }

private:
    qint64 m_offset = 0;
};

// "2026-03-01T12:00:00.000Z": one textual form for every timestamp the store writes, so
// text order is time order.
QString isoTimestamp(const QDateTime &time);
