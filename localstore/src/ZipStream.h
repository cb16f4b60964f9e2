#pragma once

#include <QDateTime>
#include <QFile>
#include <QIODevice>
#include <QList>
#include <memory>
#include <optional>

struct ZipEntry
{
    QString name;      // name inside the archive
    QString filePath;  // file on disk
    qint64 size = 0;
    quint32 crc32 = 0;
    QDateTime modified;
};

// A zip archive of files kept uncompressed ("stored"; the originals are JPEG and PNG already),
// produced while it is read: headers are built up front, file contents are read from disk in
// pieces, so an archive of any size needs only a small buffer. Its size is known in advance.
class ZipStream : public QIODevice
{
    Q_OBJECT
public:
    explicit ZipStream(const QList<ZipEntry> &entries, QObject *parent = nullptr);

    bool isSequential() const override { return true; }
    qint64 size() const override { return m_size; }
    qint64 bytesAvailable() const override { return m_size - m_position + QIODevice::bytesAvailable(); }
    // Archives past 4 GiB would need the Zip64 extension, which this writer leaves out.
    static bool fits(const QList<ZipEntry> &entries);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    struct Segment
    {
        QByteArray bytes;  // header bytes, or empty for file content
        QString filePath;
        qint64 length = 0;
    };

    QList<Segment> m_segments;
    qsizetype m_index = 0;
    qint64 m_segmentOffset = 0;
    qint64 m_position = 0;
    qint64 m_size = 0;
    std::unique_ptr<QFile> m_file;
};

// CRC-32 of a file's contents, read in pieces; nothing when it cannot be read.
std::optional<quint32> fileCrc32(const QString &path);
