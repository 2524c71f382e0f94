#pragma once
// A web server on 127.0.0.1 that answers every request with one canned
// response, or never answers, or hangs up: enough to test what the program
// does with the answers of a real site.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace quillor::test {

class CannedHttpServer : public QObject {
    Q_OBJECT
public:
    enum class Mode { Answer, Stall, HangUp };

    explicit CannedHttpServer(QObject *parent = nullptr);
    // Listens on a free port of 127.0.0.1.
    bool listen();
    // A port on which nothing listens (bound once and released).
    static quint16 closedPort();

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

// A download list in the site's layout with one entry per (home page path, version).
QByteArray downloadList(const QList<QPair<QString, QString>> &entries);

} // namespace quillor::test
