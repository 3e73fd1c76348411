#include "common/loopbackserver.h"

#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

namespace {

constexpr char bufferProperty[] = "loopbackBuffer";

QByteArray statusLine(int status)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " Status " + QByteArray::number(status)
        + "\r\nConnection: close\r\n";
}

// A complete request in buffer: its length, else -1.
qsizetype completeLength(const QByteArray &buffer, LoopbackServer::Request *request)
{
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return -1;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request->method = first.value(0);
    request->path = first.value(1);
    request->headers.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request->headers.append(
                { lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed() });
    }
    const qsizetype total = end + 4 + request->header("Content-Length").toLongLong();
    if (buffer.size() < total)
        return -1;
    request->body = buffer.mid(end + 4, total - end - 4);
    return total;
}

} // namespace

QByteArray LoopbackServer::Request::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return QByteArray();
}

bool LoopbackServer::Request::hasHeader(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

LoopbackServer::Script LoopbackServer::Script::answer(
    int status, const QByteArray &body, const QList<QPair<QByteArray, QByteArray>> &headers)
{
    QByteArray raw = statusLine(status);
    for (const auto &h : headers)
        raw += h.first + ": " + h.second + "\r\n";
    raw += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return { Answer, raw, 0 };
}

LoopbackServer::Script LoopbackServer::Script::cutShort(
    int status, const QByteArray &body, qint64 declaredLength)
{
    return { Answer,
        statusLine(status) + "Content-Type: text/plain\r\nContent-Length: "
            + QByteArray::number(declaredLength) + "\r\n\r\n" + body,
        0 };
}

LoopbackServer::Script LoopbackServer::Script::large(qint64 size, bool chunked)
{
    QByteArray raw = statusLine(200) + "Content-Type: text/plain\r\n";
    if (!chunked)
        return { Answer,
            raw + "Content-Length: " + QByteArray::number(size) + "\r\n\r\n"
                + QByteArray(size, 'x'),
            0 };
    raw += "Transfer-Encoding: chunked\r\n\r\n";
    const QByteArray chunk(64 * 1024, 'x');
    for (qint64 sent = 0; sent < size; sent += chunk.size())
        raw += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    return { Answer, raw + "0\r\n\r\n", 0 };
}

LoopbackServer::Script LoopbackServer::Script::redirect(const QUrl &target)
{
    return answer(302, QByteArray(), { { "Location", target.toEncoded() } });
}

LoopbackServer::Script LoopbackServer::Script::closeAtOnce()
{
    return { CloseAtOnce, QByteArray(), 0 };
}

LoopbackServer::Script LoopbackServer::Script::silent()
{
    return { Silent, QByteArray(), 0 };
}

LoopbackServer::Script LoopbackServer::Script::drip(
    const QByteArray &raw, int intervalMs, qsizetype step)
{
    return { Drip, raw, intervalMs, step };
}

LoopbackServer::LoopbackServer(QObject *parent)
    : QObject(parent)
{ }

LoopbackServer::~LoopbackServer() = default;

bool LoopbackServer::listen()
{
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &LoopbackServer::onConnection);
    return m_server->listen(QHostAddress::LocalHost, 0);
}

bool LoopbackServer::listenTls(const QSslCertificate &certificate, const QSslKey &key)
{
    auto *server = new QSslServer(this);
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(certificate);
    config.setPrivateKey(key);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    server->setSslConfiguration(config);
    m_server = server;
    m_tls = true;
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &LoopbackServer::onConnection);
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 LoopbackServer::unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void LoopbackServer::setScripts(const QList<Script> &scripts)
{
    m_scripts = scripts;
}

void LoopbackServer::setResponder(const std::function<Script(const Request &)> &responder)
{
    m_responder = responder;
}

QUrl LoopbackServer::url(const QString &path) const
{
    QUrl url;
    url.setScheme(m_tls ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_server->serverPort());
    url.setPath(path);
    return url;
}

LoopbackServer::Script LoopbackServer::nextScript()
{
    if (m_scripts.isEmpty())
        return Script::answer(404, QByteArray());
    return m_scripts.size() > 1 ? m_scripts.takeFirst() : m_scripts.constFirst();
}

void LoopbackServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        ++m_connections;
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        const Script script = nextScript();
        if (script.kind == Script::CloseAtOnce) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, script] {
            const QByteArray buffer
                = socket->property(bufferProperty).toByteArray() + socket->readAll();
            socket->setProperty(bufferProperty, buffer);
            Request request;
            if (completeLength(buffer, &request) < 0 || socket->property("answered").toBool())
                return;
            socket->setProperty("answered", true);
            m_requests.append(request);
            Q_EMIT requestReceived();
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
    if (script.kind == Script::Answer) {
        socket->write(script.raw);
        socket->disconnectFromHost();
        return;
    }
    // The head goes at once: Qt's idle timeout only watches the body.
    const qsizetype head = script.raw.indexOf("\r\n\r\n") + 4;
    socket->write(script.raw.left(head));
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (!socket->property("dripped").toBool())
            ++m_abandoned;
    });
    auto *timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket,
        [socket, timer, raw = script.raw, step = script.step, sent = head]() mutable {
            if (sent >= raw.size()) {
                timer->stop();
                socket->setProperty("dripped", true);
                socket->disconnectFromHost();
                return;
            }
            socket->write(raw.mid(sent, step));
            sent += step;
        });
    timer->start(script.intervalMs);
}
