#include "twitterservice.h"

#include "xmlreplies.h"
#include "servicelogging.h"

#include <QDir>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Put:
        return "PUT";
    case QHttpServerRequest::Method::Delete:
        return "DELETE";
    case QHttpServerRequest::Method::Post:
        return "POST";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    case QHttpServerRequest::Method::Options:
        return "OPTIONS";
    case QHttpServerRequest::Method::Patch:
        return "PATCH";
    case QHttpServerRequest::Method::Connect:
        return "CONNECT";
    case QHttpServerRequest::Method::Trace:
        return "TRACE";
    default:
        return "UNKNOWN";
    }
}

} // namespace

static void initResources()
{
    Q_INIT_RESOURCE(service);
}

TwitterService::TwitterService(const ServiceOptions &options, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_options(options)
    , m_api(m_context)
    , m_links(m_context)
    , m_pages(m_context)
{
    initResources();
}

TwitterService::~TwitterService()
{
    stop();
}

bool TwitterService::setUpTls(QString *error)
{
    QFile certFile(m_options.tlsCertificate);
    QFile keyFile(m_options.tlsKey);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the TLS certificate or key");
        return false;
    }
    const QSslCertificate certificate(&certFile, QSsl::Pem);
    QSslKey key(&keyFile, QSsl::Rsa, QSsl::Pem);
    if (key.isNull()) {
        keyFile.seek(0);
        key = QSslKey(&keyFile, QSsl::Ec, QSsl::Pem);
    }
    if (certificate.isNull() || key.isNull()) {
        *error = QStringLiteral("the TLS certificate or key is not valid PEM");
        return false;
    }
    sslSetup(certificate, key);
    return true;
}

bool TwitterService::start(QString *error)
{
    m_dataDir = m_options.dataDir;
    if (m_dataDir.isEmpty()) {
        m_temporaryDir = std::make_unique<QTemporaryDir>();
        if (!m_temporaryDir->isValid()) {
            *error = QStringLiteral("cannot make a temporary data folder");
            return false;
        }
        m_dataDir = m_temporaryDir->path();
    }
    const QString uploadDir = m_dataDir + QStringLiteral("/uploads");
    if (!QDir().mkpath(uploadDir)) {
        *error = QStringLiteral("cannot make the folder %1").arg(uploadDir);
        return false;
    }
    if (!m_store.open(m_dataDir + QStringLiteral("/zpv-twitterd.sqlite"), error))
        return false;
    for (const auto &user : std::as_const(m_options.users)) {
        if (!m_store.setUser(user.first, user.second)) {
            *error = QStringLiteral("cannot store the account %1").arg(user.first);
            return false;
        }
    }
    QHash<QString, QString> consumers;
    for (const auto &consumer : std::as_const(m_options.consumers))
        consumers.insert(consumer.first, consumer.second);
    m_verifier = std::make_unique<OAuthVerifier>(&m_store, consumers);

    const bool tls = !m_options.tlsCertificate.isEmpty();
    if (tls && !setUpTls(error))
        return false;
    const quint16 port = listen(m_options.address, m_options.port);
    if (port == 0) {
        *error = QStringLiteral("cannot listen on %1:%2")
                     .arg(m_options.address.toString())
                     .arg(m_options.port);
        return false;
    }
    QHostAddress shown = m_options.address;
    if (shown == QHostAddress(QHostAddress::Any) || shown == QHostAddress(QHostAddress::AnyIPv4))
        shown = QHostAddress(QHostAddress::LocalHost);
    else if (shown == QHostAddress(QHostAddress::AnyIPv6))
        shown = QHostAddress(QHostAddress::LocalHostIPv6);
    m_baseUrl.setScheme(tls ? QStringLiteral("https") : QStringLiteral("http"));
    m_baseUrl.setHost(shown.toString());
    m_baseUrl.setPort(port);
    m_context = { &m_store, m_verifier.get(),
        m_baseUrl.toString(QUrl::FullyEncoded | QUrl::StripTrailingSlash), uploadDir };
    return true;
}

void TwitterService::stop()
{
    const auto listening = servers();
    for (QTcpServer *server : listening)
        server->close();
    m_store.close();
}

QStringList TwitterService::signedUrls(const QByteArray &host, const QString &path) const
{
    const QString scheme = m_baseUrl.scheme();
    const QString given
        = host.isEmpty() ? m_baseUrl.authority() : QString::fromUtf8(host).toLower();
    const QString defaultPort
        = scheme == QLatin1String("https") ? QStringLiteral(":443") : QStringLiteral(":80");
    // Clients differ on whether a default port is part of the signed URL.
    QStringList urls { scheme + QStringLiteral("://") + given + path };
    if (given.endsWith(defaultPort))
        urls.append(scheme + QStringLiteral("://") + given.chopped(defaultPort.size()) + path);
    else if (!given.endsWith(QLatin1Char(']')) && !given.contains(QLatin1Char(':')))
        urls.append(scheme + QStringLiteral("://") + given + defaultPort + path);
    return urls;
}

std::optional<IncomingRequest> TwitterService::incoming(
    const QHttpServerRequest &request, std::optional<ServiceReply> *refusal) const
{
    IncomingRequest in;
    in.method = methodName(request.method());
    in.path = request.url().path(QUrl::FullyEncoded);
    if (in.path.isEmpty())
        in.path = QStringLiteral("/");
    const auto headers = request.headers();
    for (const auto &header : headers)
        in.headers.insert(header.first.toLower(), header.second);
    in.body = request.body();
    const bool upload = in.path == QLatin1String("/upload");
    if (in.body.size() > (upload ? LinkRoutes::MaxUploadSize : MaxBodySize)) {
        *refusal = ServiceReply::error(413, in.path, QStringLiteral("Request body too large"));
        return std::nullopt;
    }
    const auto query = parseForm(request.url().query(QUrl::FullyEncoded).toUtf8());
    if (!query) {
        *refusal = ServiceReply::error(400, in.path, QStringLiteral("Malformed query string"));
        return std::nullopt;
    }
    in.query = *query;
    const QByteArray type = in.header("content-type").split(';').first().trimmed().toLower();
    if (type == "application/x-www-form-urlencoded") {
        const auto form = parseForm(in.body);
        if (!form) {
            *refusal = ServiceReply::error(400, in.path, QStringLiteral("Malformed form body"));
            return std::nullopt;
        }
        in.form = *form;
    }
    in.signedUrls = signedUrls(in.header("host"), in.path);
    return in;
}

ServiceReply TwitterService::dispatch(const QHttpServerRequest &request) const
{
    std::optional<ServiceReply> refusal;
    const auto in = incoming(request, &refusal);
    if (!in)
        return *refusal;
    if (auto reply = m_api.handle(*in))
        return *reply;
    if (auto reply = m_links.handle(*in))
        return *reply;
    if (auto reply = m_pages.handle(*in))
        return *reply;
    return ServiceReply::error(404, in->path, QStringLiteral("Not found"));
}

bool TwitterService::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    write(request, socket, dispatch(request));
    return true;
}

void TwitterService::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    write(request, socket,
        ServiceReply::error(404, request.url().path(), QStringLiteral("Not found")));
}

void TwitterService::write(
    const QHttpServerRequest &request, QTcpSocket *socket, const ServiceReply &reply) const
{
    // Only the path: queries may carry links people would rather not see in logs.
    qCInfo(lcService, "%s %s %d", methodName(request.method()).constData(),
        qUtf8Printable(request.url().path(QUrl::FullyEncoded)), reply.status);
    QHttpServerResponder responder = makeResponder(request, socket);
    if (!reply.filePath.isEmpty()) {
        auto *file = new QFile(reply.filePath);
        if (file->open(QIODevice::ReadOnly)) {
            responder.write(file, reply.contentType);
            return;
        }
        delete file;
        responder.write(errorDocument(request.url().path(), QStringLiteral("File is missing")),
            "application/xml; charset=utf-8", QHttpServerResponder::StatusCode::NotFound);
        return;
    }
    responder.writeStatusLine(QHttpServerResponder::StatusCode(reply.status));
    responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    for (const auto &header : reply.headers)
        responder.writeHeader(header.first, header.second);
    responder.writeBody(reply.body);
}
