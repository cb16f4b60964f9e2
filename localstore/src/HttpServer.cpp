#include "HttpServer.h"

#include "HttpConnection.h"

#include <QTcpSocket>

HttpServer::HttpServer(Handler handler, qint64 maxBodyBytes, QObject *parent)
    : QTcpServer(parent), m_handler(std::move(handler)), m_maxBodyBytes(maxBodyBytes)
{
}

bool HttpServer::listenLocal(quint16 port)
{
    return listen(QHostAddress::LocalHost, port);
}

void HttpServer::incomingConnection(qintptr socketDescriptor)
{
    auto *socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    new HttpConnection(socket, m_handler, m_maxBodyBytes, this);
}
