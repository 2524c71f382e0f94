#include "cannedhttpserver.h"

#include <QTcpSocket>

namespace quillor::test {

CannedHttpServer::CannedHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &CannedHttpServer::onConnection);
}

bool CannedHttpServer::listen() { return m_server.listen(QHostAddress::LocalHost, 0); }

QString CannedHttpServer::host() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

void CannedHttpServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            QByteArray received = socket->property("received").toByteArray() + socket->readAll();
            socket->setProperty("received", received);
            const qsizetype end = received.indexOf("\r\n\r\n");
            if (end < 0 || socket->property("answered").toBool())
                return;
            socket->setProperty("answered", true);
            requests << received.left(end);
            switch (mode) {
            case Mode::Stall: return;
            case Mode::HangUp: socket->abort(); return;
            case Mode::Answer: break;
            }
            socket->write(QByteArrayLiteral("HTTP/1.1 ") + QByteArray::number(status)
                          + (status == 200 ? QByteArrayLiteral(" OK") : QByteArrayLiteral(" Not Found"))
                          + QByteArrayLiteral("\r\nContent-Type: text/xml\r\nContent-Length: ")
                          + QByteArray::number(body.size()) + QByteArrayLiteral("\r\nConnection: close\r\n\r\n") + body);
            socket->disconnectFromHost();
        });
    }
}

QByteArray downloadList(const QList<QPair<QString, QString>> &entries)
{
    QByteArray list = "<?xml version=\"1.0\"?>\r\n<Table>\r\n";
    for (const auto &[path, version] : entries)
        list += "<Row><Cell>^" + path.toLatin1() + "^ifram_a</Cell>\r\n<cell>" + version.toLatin1()
                + "</cell><Cell>Tool</Cell></Row>\r\n";
    return list + "</Table>\r\n";
}

} // namespace quillor::test
