#pragma once

#include "HttpMessage.h"

#include <QTcpServer>
#include <functional>

// A small HTTP/1.1 server on the event loop: keep-alive connections, one request at a time
// per connection, many connections at once, bodies streamed from devices with flat memory.
class HttpServer : public QTcpServer
{
    Q_OBJECT
public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    HttpServer(Handler handler, qint64 maxBodyBytes, QObject *parent = nullptr);

    // Listens on 127.0.0.1; port 0 picks a free port (see serverPort()).
    bool listenLocal(quint16 port);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    Handler m_handler;
    qint64 m_maxBodyBytes;
};
