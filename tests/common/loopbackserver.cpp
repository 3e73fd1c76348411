#include "common/loopbackserver.h"

#include <QSslServer>
#include <QTimer>

#include <algorithm>

namespace {

QByteArray statusLine(int status)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " Status " + QByteArray::number(status)
        + "\r\nConnection: close\r\n";
}

// Parses a complete request in buffer; false while more is to come.
bool parse(const QByteArray &buffer, LoopbackServer::Request *request)
{
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    QList<QByteArray> lines = buffer.left(end).split('\n');
    const QList<QByteArray> first = lines.takeFirst().trimmed().split(' ');
    *request = { first.value(0), first.value(1), {}, buffer.mid(end + 4) };
    for (const QByteArray &line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        request->headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
    }
    return request->body.size() >= request->header("Content-Length").toLongLong();
}

} // namespace

QByteArray LoopbackServer::Request::header(const QByteArray &name) const
{
    const auto it = std::find_if(headers.cbegin(), headers.cend(),
        [&](const auto &h) { return h.first.compare(name, Qt::CaseInsensitive) == 0; });
    return it == headers.cend() ? QByteArray() : it->second;
}

LoopbackServer::Script LoopbackServer::Script::answer(
    int status, const QByteArray &body, const Headers &headers)
{
    QByteArray raw = statusLine(status);
    for (const auto &h : headers)
        raw += h.first + ": " + h.second + "\r\n";
    return { Answer,
        raw + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body };
}

LoopbackServer::Script LoopbackServer::Script::large(qint64 size, bool chunked)
{
    if (!chunked)
        return answer(200, QByteArray(size, 'x'));
    QByteArray raw = statusLine(200) + "Transfer-Encoding: chunked\r\n\r\n";
    const QByteArray chunk(64 * 1024, 'x');
    for (qint64 sent = 0; sent < size; sent += chunk.size())
        raw += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    return { Answer, raw + "0\r\n\r\n" };
}

LoopbackServer::Script LoopbackServer::Script::drip(
    const QByteArray &raw, int intervalMs, qsizetype step)
{
    return { Drip, raw, intervalMs, step };
}

bool LoopbackServer::listen(const QList<Script> &scripts, QTcpServer *server)
{
    if (!scripts.isEmpty())
        m_scripts = scripts;
    m_server = server ? server : new QTcpServer(this);
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &LoopbackServer::onConnection);
    return m_server->listen(QHostAddress::LocalHost, 0);
}

bool LoopbackServer::listenTls(const QSslCertificate &certificate, const QSslKey &key)
{
    auto *server = new QSslServer(this);
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(certificate);
    config.setPrivateKey(key);
    server->setSslConfiguration(config);
    return listen({}, server);
}

quint16 LoopbackServer::unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QUrl LoopbackServer::url(const QString &path) const
{
    const bool tls = qobject_cast<QSslServer *>(m_server);
    return QUrl(QStringLiteral("http%1://127.0.0.1:%2%3")
                    .arg(tls ? QStringLiteral("s") : QString())
                    .arg(m_server->serverPort())
                    .arg(path));
}

void LoopbackServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        const Script script = m_scripts.isEmpty() ? Script::answer(404, QByteArray())
            : m_scripts.size() > 1                ? m_scripts.takeFirst()
                                                  : m_scripts.constFirst();
        if (script.kind == Script::CloseAtOnce) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, script] {
            Request request;
            if (!parse(socket->peek(socket->bytesAvailable()), &request))
                return;
            disconnect(socket, &QTcpSocket::readyRead, this, nullptr); // one request per connection
            m_requests.append(request);
            respond(socket, m_responder ? m_responder(request) : script);
        });
        if (socket->bytesAvailable() > 0)
            Q_EMIT socket->readyRead();
    }
}

void LoopbackServer::respond(QTcpSocket *socket, const Script &script)
{
    if (script.kind == Script::Silent)
        return;
    // The head goes at once (Qt's idle timeout only watches the body), the body in steps.
    qsizetype sent
        = script.kind == Script::Drip ? script.raw.indexOf("\r\n\r\n") + 4 : script.raw.size();
    socket->write(script.raw.left(sent));
    auto *timer = new QTimer(socket);
    connect(socket, &QTcpSocket::disconnected, this,
        [this, timer] { m_abandoned += timer->isActive(); });
    connect(timer, &QTimer::timeout, socket, [socket, timer, script, sent]() mutable {
        socket->write(script.raw.mid(sent, script.step));
        sent += script.step;
        if (sent >= script.raw.size()) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start(script.intervalMs);
}
