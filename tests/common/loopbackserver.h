#ifndef LOOPBACKSERVER_H
#define LOOPBACKSERVER_H

#include <QList>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QUrl>

#include <functional>

class QTcpServer;
class QTcpSocket;

// An HTTP server on 127.0.0.1 (port chosen by the system) whose answer to
// each connection a test scripts. Scripts are used one per connection in the
// order given; the last one keeps answering (Qt may retry on a new
// connection). Every answer closes its connection: one connection, one request.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    struct Script
    {
        enum Kind {
            Answer, // send raw, then close
            CloseAtOnce, // close as soon as the connection is accepted
            Silent, // read the request, never answer
            Drip, // send the head of raw, then its body step bytes every intervalMs
        };
        Kind kind = Answer;
        QByteArray raw {};
        int intervalMs = 0;
        qsizetype step = 1;

        // A whole answer with Content-Length.
        static Script answer(int status, const QByteArray &body, const Headers &headers = {});
        // A body of size bytes; chunked or with Content-Length.
        static Script large(qint64 size, bool chunked);
        static Script drip(const QByteArray &raw, int intervalMs, qsizetype step = 1);
    };

    struct Request
    {
        QByteArray method;
        QByteArray path; // with the query, as sent
        Headers headers;
        QByteArray body;
        QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
    };

    using QObject::QObject;

    // On server when given (it becomes the object's child), else on plain TCP.
    bool listen(const QList<Script> &scripts = {}, QTcpServer *server = nullptr);
    bool listenTls(const QSslCertificate &certificate, const QSslKey &key);
    // A port nothing listens on (bound, then released).
    static quint16 unusedPort();

    void setScripts(const QList<Script> &scripts) { m_scripts = scripts; }
    // Chooses the answer from the request instead (scripts still decide
    // whether a connection is read at all).
    void setResponder(const std::function<Script(const Request &)> &responder)
    {
        m_responder = responder;
    }
    QUrl url(const QString &path = QStringLiteral("/")) const;
    QList<Request> requests() const { return m_requests; }
    // Dripped answers whose connection the client closed before the end.
    int abandonedCount() const { return m_abandoned; }

private:
    void onConnection();
    void respond(QTcpSocket *socket, const Script &script);

    QTcpServer *m_server = nullptr;
    QList<Script> m_scripts;
    std::function<Script(const Request &)> m_responder;
    QList<Request> m_requests;
    int m_abandoned = 0;
};

#endif
