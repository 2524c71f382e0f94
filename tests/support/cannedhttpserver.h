#pragma once
// A web server on 127.0.0.1 that answers every request with one canned
// response, or never answers, or hangs up: enough to test what the program
// does with the answers of a real site.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace quillor::test {

class CannedHttpServer : public QObject {
    Q_OBJECT
public:
    enum class Mode { Answer, Stall, HangUp };

    explicit CannedHttpServer(QObject *parent = nullptr);
    // Listens on a free port of 127.0.0.1.
    bool listen();

    quint16 port() const { return m_server.serverPort(); }
    // "127.0.0.1:<port>", as a host of a web address.
    QString host() const;

    Mode mode = Mode::Answer;
    int status = 200;
    QByteArray body;
    QList<QByteArray> requests; // the head of each request received

private:
    void onConnection();
    QTcpServer m_server;
};

// A port of 127.0.0.1 on which nothing listens, held while this lives: bound
// without listening and without sharing, so that no server of the tests
// running beside this one is given it meanwhile, as it could be a port bound
// and released again.
class ClosedPort {
public:
    ClosedPort() { m_socket.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress); }
    // 0 when no port could be bound.
    quint16 port() const { return m_socket.localPort(); }

private:
    QTcpSocket m_socket;
};

// A download list in the site's layout with one entry per (home page path, version).
QByteArray downloadList(const QList<QPair<QString, QString>> &entries);

} // namespace quillor::test
