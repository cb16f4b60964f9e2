#include "ZipStream.h"

#include <QtEndian>
#include <zlib.h>

namespace {
void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

quint16 dosTime(const QDateTime &time)
{
    const QTime t = time.toUTC().time();
    return quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
}

quint16 dosDate(const QDateTime &time)
{
    const QDate d = time.toUTC().date();
    const int year = qBound(1980, d.year(), 2107);
    return quint16(((year - 1980) << 9) | (d.month() << 5) | d.day());
}

constexpr quint16 versionNeeded = 20;
constexpr quint16 utf8Names = 0x0800;
constexpr qint64 zipLimit = 0xFFFFFFFFLL;
}

bool ZipStream::fits(const QList<ZipEntry> &entries)
{
    qint64 total = 22;
    for (const ZipEntry &entry : entries)
        total += 30 + 46 + 2 * entry.name.toUtf8().size() + entry.size;
    return total < zipLimit && entries.size() < 0xFFFF;
}

ZipStream::ZipStream(const QList<ZipEntry> &entries, QObject *parent) : QIODevice(parent)
{
    QByteArray central;
    qint64 offset = 0;
    for (const ZipEntry &entry : entries) {
        const QByteArray name = entry.name.toUtf8();
        // From "version needed" to the extra field's length, both headers carry the same fields.
        QByteArray common;
        put16(common, versionNeeded);
        put16(common, utf8Names);
        put16(common, 0);  // stored
        put16(common, dosTime(entry.modified));
        put16(common, dosDate(entry.modified));
        put32(common, entry.crc32);
        put32(common, quint32(entry.size));
        put32(common, quint32(entry.size));
        put16(common, quint16(name.size()));
        put16(common, 0);

        QByteArray local;
        put32(local, 0x04034b50);
        local += common + name;

        put32(central, 0x02014b50);
        put16(central, 0x0300 | versionNeeded);  // made on Unix
        central += common;
        put16(central, 0);  // comment length
        put16(central, 0);  // disk number
        put16(central, 0);  // internal attributes
        put32(central, 0100644u << 16);  // a regular file, rw-r--r--
        put32(central, quint32(offset));
        central += name;

        offset += local.size() + entry.size;
        m_segments.append({local, {}, local.size()});
        m_segments.append({{}, entry.filePath, entry.size});
    }
    QByteArray end = central;
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, quint16(entries.size()));
    put16(end, quint16(entries.size()));
    put32(end, quint32(central.size()));
    put32(end, quint32(offset));
    put16(end, 0);
    m_segments.append({end, {}, end.size()});
    m_size = offset + end.size();
    open(QIODevice::ReadOnly);
}

qint64 ZipStream::readData(char *data, qint64 maxSize)
{
    qint64 written = 0;
    while (written < maxSize && m_index < m_segments.size()) {
        const Segment &segment = m_segments[m_index];
        const qint64 wanted = qMin(maxSize - written, segment.length - m_segmentOffset);
        qint64 got = 0;
        if (segment.filePath.isEmpty()) {
            memcpy(data + written, segment.bytes.constData() + m_segmentOffset, size_t(wanted));
            got = wanted;
        } else {
            if (!m_file) {
                m_file = std::make_unique<QFile>(segment.filePath);
                if (!m_file->open(QIODevice::ReadOnly))
                    return written > 0 ? written : -1;
            }
            got = m_file->read(data + written, wanted);
            if (got <= 0)
                return written > 0 ? written : -1;
        }
        written += got;
        m_segmentOffset += got;
        m_position += got;
        if (m_segmentOffset == segment.length) {
            ++m_index;
            m_segmentOffset = 0;
            m_file.reset();
        }
    }
    return written;
}

std::optional<quint32> fileCrc32(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    uLong crc = crc32(0L, Z_NULL, 0);
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    while (true) {
        const qint64 got = file.read(buffer.data(), buffer.size());
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        crc = crc32(crc, reinterpret_cast<const Bytef *>(buffer.constData()), uInt(got));
    }
    return quint32(crc);
}
