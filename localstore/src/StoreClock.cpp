#include "StoreClock.h"

QDateTime StoreClock::now() const
{
    return QDateTime::currentDateTimeUtc().addSecs(m_offset);
}

qint64 StoreClock::nowSecs() const
{
    return now().toSecsSinceEpoch();
}

void StoreClock::advance(qint64 seconds)
{
    m_offset += seconds;
}

void StoreClock::reset()
{
    m_offset = 0;
}

QString isoTimestamp(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}
