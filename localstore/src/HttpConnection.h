#pragma once

#include "HttpMessage.h"

#include <QObject>
#include <QTimer>
#include <functional>

class QTcpSocket;

// One client connection: parses requests, hands them to the handler and writes the answers,
// pumping streamed bodies as the socket drains so memory stays flat.
class HttpConnection : public QObject
{
    Q_OBJECT
public:
    HttpConnection(QTcpSocket *socket, std::function<HttpResponse(const HttpRequest &)> handler,
                   qint64 maxBodyBytes, QObject *parent);

private:
    enum class State { ReadingHead, ReadingBody, Discarding, Answering };

    void onReadyRead();
    void process();
    bool parseHead(qsizetype headEnd);
    void dispatch();
    void answer(HttpResponse response);
    void pump();
    void finishAnswer();
    void refuse(int status, const QByteArray &message);
    void close();

    QTcpSocket *m_socket;
    std::function<HttpResponse(const HttpRequest &)> m_handler;
    qint64 m_maxBodyBytes;
    QByteArray m_buffer;
    State m_state = State::ReadingHead;
    HttpRequest m_request;
    qint64 m_bodyLength = 0;
    bool m_closeAfter = false;
    bool m_processing = false;
    HttpResponse m_pending;
    qint64 m_streamLeft = 0;
    QTimer m_idle;
};
