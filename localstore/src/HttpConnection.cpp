#include "HttpConnection.h"

#include <QScopeGuard>
#include <QTcpSocket>

namespace {
constexpr qsizetype maxHeadBytes = 64 * 1024;
constexpr qint64 streamChunk = 256 * 1024;
constexpr qint64 socketHighWater = 1024 * 1024;
// What the socket buffers from a client while its previous request is being answered; beyond
// it TCP holds the client back.
constexpr qint64 socketReadBuffer = 1024 * 1024;
constexpr int idleTimeoutMs = 120 * 1000;
// A refused body up to this size is read and thrown away before the refusal is sent, so the
// client, still sending, sees the answer rather than a reset connection.
constexpr qint64 maxDiscardBytes = 64 * 1024 * 1024;
}

HttpConnection::HttpConnection(QTcpSocket *socket,
                               std::function<HttpResponse(const HttpRequest &)> handler,
                               qint64 maxBodyBytes, QObject *parent)
    : QObject(parent), m_socket(socket), m_handler(std::move(handler)), m_maxBodyBytes(maxBodyBytes)
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(socketReadBuffer);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::pump);
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    m_idle.setSingleShot(true);
    m_idle.setInterval(idleTimeoutMs);
    connect(&m_idle, &QTimer::timeout, this, &HttpConnection::close);
    m_idle.start();
    if (m_socket->bytesAvailable() > 0)
        onReadyRead();
}

void HttpConnection::onReadyRead()
{
    m_idle.start();
    if (m_state == State::Answering)
        return;  // read once the answer is out
    m_buffer.append(m_socket->readAll());
    process();
}

void HttpConnection::process()
{
    // Answers given synchronously come back here through finishAnswer(); the loop below goes
    // on with the next pipelined request instead of recursing once per request.
    if (m_processing)
        return;
    m_processing = true;
    const auto done = qScopeGuard([this] { m_processing = false; });
    while (m_state != State::Answering) {
        if (m_state == State::ReadingHead) {
            const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
            if (headEnd < 0) {
                if (m_buffer.size() > maxHeadBytes)
                    refuse(431, "request head too large");
                return;
            }
            if (headEnd > maxHeadBytes) {
                refuse(431, "request head too large");
                return;
            }
            if (!parseHead(headEnd))
                return;
        }
        if (m_state == State::Discarding) {
            const qint64 taken = qMin<qint64>(m_bodyLength, m_buffer.size());
            m_buffer.remove(0, taken);
            m_bodyLength -= taken;
            if (m_bodyLength > 0)
                return;
            refuse(413, "request body too large");
            return;
        }
        if (m_state == State::ReadingBody) {
            if (m_buffer.size() < m_bodyLength)
                return;
            m_request.body = m_buffer.left(m_bodyLength);
            m_buffer.remove(0, m_bodyLength);
            dispatch();
        }
    }
}

bool HttpConnection::parseHead(qsizetype headEnd)
{
    const QByteArray head = m_buffer.left(headEnd);
    m_buffer.remove(0, headEnd + 4);
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
        refuse(400, "malformed request line");
        return false;
    }
    m_request = HttpRequest();
    m_request.method = requestLine[0];
    QByteArray target = requestLine[1];
    if (target.startsWith("http://") || target.startsWith("https://")) {
        const qsizetype slash = target.indexOf('/', target.indexOf("//") + 2);
        target = slash < 0 ? QByteArray("/") : target.mid(slash);
    }
    const qsizetype hash = target.indexOf('#');
    if (hash >= 0)
        target.truncate(hash);
    const qsizetype question = target.indexOf('?');
    m_request.rawPath = question < 0 ? target : target.left(question);
    m_request.rawQuery = question < 0 ? QByteArray() : target.mid(question + 1);
    m_request.path = QString::fromUtf8(QByteArray::fromPercentEncoding(m_request.rawPath));
    if (!m_request.path.startsWith(u'/')) {
        refuse(400, "malformed request target");
        return false;
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) {
            refuse(400, "malformed header");
            return false;
        }
        m_request.headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
    const QByteArray connection = m_request.header("connection").toLower();
    m_closeAfter = requestLine[2] == "HTTP/1.0" ? !connection.contains("keep-alive")
                                                 : connection.contains("close");
    if (!m_request.header("transfer-encoding").isEmpty()) {
        refuse(411, "send the body with a Content-Length");
        return false;
    }
    m_bodyLength = 0;
    const QByteArray length = m_request.header("content-length");
    if (!length.isEmpty()) {
        bool ok = false;
        m_bodyLength = length.toLongLong(&ok);
        if (!ok || m_bodyLength < 0) {
            refuse(400, "bad Content-Length");
            return false;
        }
    }
    if (m_bodyLength > m_maxBodyBytes) {
        if (m_bodyLength > maxDiscardBytes) {
            refuse(413, "request body too large");
            return false;
        }
        if (m_request.header("expect").toLower() == "100-continue") {
            refuse(413, "request body too large");
            return false;
        }
        m_state = State::Discarding;
        return true;
    }
    if (m_bodyLength > 0 && m_request.header("expect").toLower() == "100-continue")
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    m_state = State::ReadingBody;
    return true;
}

void HttpConnection::dispatch()
{
    m_state = State::Answering;
    HttpResponse response = m_handler(m_request);
    if (response.delayMs > 0) {
        const int delay = response.delayMs;
        m_pending = std::move(response);
        QTimer::singleShot(delay, this, [this] {
            m_pending.delayMs = 0;
            answer(std::move(m_pending));
        });
        return;
    }
    answer(std::move(response));
}

void HttpConnection::answer(HttpResponse response)
{
    if (response.delivery == Delivery::Drop) {
        m_socket->abort();
        deleteLater();
        return;
    }
    const bool head = m_request.method == "HEAD";
    const bool bodiless = response.status == 204 || response.status == 304;
    const qint64 length = bodiless ? 0 : response.contentLength();
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
        + reasonPhrase(response.status) + "\r\n";
    for (const auto &[name, value] : std::as_const(response.headers))
        out += name + ": " + value + "\r\n";
    if (!bodiless)
        out += "Content-Length: " + QByteArray::number(length) + "\r\n";
    if (response.delivery == Delivery::Truncate)
        m_closeAfter = true;
    out += m_closeAfter ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";

    qint64 toSend = head || bodiless ? 0 : length;
    if (response.delivery == Delivery::Truncate)
        toSend /= 2;
    if (response.stream) {
        m_socket->write(out);
        m_pending = std::move(response);
        m_streamLeft = toSend;
        pump();
        return;
    }
    out += response.body.left(toSend);
    m_socket->write(out);
    finishAnswer();
}

void HttpConnection::pump()
{
    if (m_state != State::Answering || !m_pending.stream)
        return;
    m_idle.start();
    while (m_streamLeft > 0 && m_socket->bytesToWrite() < socketHighWater) {
        const QByteArray chunk = m_pending.stream->read(qMin(streamChunk, m_streamLeft));
        if (chunk.isEmpty()) {
            // The file shrank under us: the promised length can no longer be kept.
            m_socket->abort();
            deleteLater();
            return;
        }
        m_socket->write(chunk);
        m_streamLeft -= chunk.size();
    }
    if (m_streamLeft == 0) {
        m_pending = HttpResponse();
        finishAnswer();
    }
}

void HttpConnection::finishAnswer()
{
    m_idle.start();
    if (m_closeAfter) {
        close();
        return;
    }
    m_state = State::ReadingHead;
    m_buffer.append(m_socket->readAll());
    process();
}

void HttpConnection::refuse(int status, const QByteArray &message)
{
    m_closeAfter = true;
    m_state = State::Answering;
    answer(HttpResponse::json(status, "{\"message\":\"" + message + "\"}"));
}

void HttpConnection::close()
{
    m_state = State::Answering;
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        deleteLater();
}
