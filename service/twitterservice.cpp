#include "twitterservice.h"
#include "passwordhash.h"
#include "servicelogging.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslKey>

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ServiceReply notStored(const QString &path)
{
    return ServiceReply::error(500, path, QStringLiteral("Could not store the request"));
}

// Descriptors kept free for the database, uploads and the listening socket.
constexpr rlim_t ReservedFiles = 64;

unsigned defaultMaxConnections()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    return unsigned(
        std::clamp<rlim_t>(limit.rlim_cur - std::min(limit.rlim_cur, ReservedFiles), 16, 1024));
}

} // namespace

static void initResources()
{
    Q_INIT_RESOURCE(service);
}

TwitterService::TwitterService(const ServiceOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_api(m_context)
    , m_authorize(m_context)
    , m_v2(m_context, options.rateLimit)
    , m_links(m_context)
    , m_pages(m_context)
    , m_daemon(this)
{
    initResources();
}

TwitterService::~TwitterService()
{
    stop();
}

bool TwitterService::readTls(HttpDaemon::Settings *settings, QString *error) const
{
    QFile certFile(m_options.tlsCertificate);
    QFile keyFile(m_options.tlsKey);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the TLS certificate or key");
        return false;
    }
    settings->certificatePem = certFile.readAll();
    settings->keyPem = keyFile.readAll();
    const QSslCertificate certificate(settings->certificatePem, QSsl::Pem);
    if (certificate.isNull()
        || (QSslKey(settings->keyPem, QSsl::Rsa, QSsl::Pem).isNull()
            && QSslKey(settings->keyPem, QSsl::Ec, QSsl::Pem).isNull())) {
        *error = QStringLiteral("the TLS certificate or key is not valid PEM");
        return false;
    }
    return true;
}

bool TwitterService::makeDataDir(QString *error)
{
    m_dataDir = QDir::cleanPath(m_options.dataDir);
    if (m_options.dataDir.isEmpty()) {
        m_temporaryDir = std::make_unique<QTemporaryDir>();
        if (!m_temporaryDir->isValid()) {
            *error = QStringLiteral("cannot make a temporary data folder");
            return false;
        }
        m_dataDir = m_temporaryDir->path();
    }
    m_uploadDir = m_dataDir + QStringLiteral("/uploads");
    // The database holds token secrets: folders made here are their owner's alone.
    const QFileInfo data(m_dataDir);
    const bool made = data.isDir()
        || (QDir().mkpath(data.absolutePath())
            && ::mkdir(QFile::encodeName(m_dataDir).constData(), 0700) == 0);
    const QByteArray uploads = QFile::encodeName(m_uploadDir);
    if (!made || (::mkdir(uploads.constData(), 0700) != 0 && errno != EEXIST)
        || !QFileInfo(m_uploadDir).isDir()) {
        *error = QStringLiteral("cannot make the folder %1").arg(made ? m_uploadDir : m_dataDir);
        return false;
    }
    // Earlier versions made it readable by everyone.
    if (QFileInfo(m_uploadDir).ownerId() == ::geteuid())
        ::chmod(uploads.constData(), 0700);
    return true;
}

void TwitterService::removeLeftoverUploads()
{
    static const QRegularExpression stored(QStringLiteral("^[A-Za-z0-9]{16}$"));
    const QFileInfoList entries
        = QDir(m_uploadDir)
              .entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        // Bodies cut short, and files a crash kept from being recorded.
        const bool unrecorded = stored.match(name).hasMatch() && !m_store.upload(name);
        if ((unrecorded || name.startsWith(QLatin1String(".upload-")))
            && QFile::remove(entry.filePath()))
            qCInfo(lcService, "removed the unrecorded upload file %s", qUtf8Printable(name));
    }
}

bool TwitterService::start(QString *error)
{
    if (!makeDataDir(error)
        || !m_store.open(m_dataDir + QStringLiteral("/zpv-twitterd.sqlite"), error))
        return false;
    for (const auto &user : std::as_const(m_options.users)) {
        if (!m_store.setUser(user.first, user.second)) {
            *error = QStringLiteral("cannot store the account %1").arg(user.first);
            return false;
        }
    }
    if (m_options.autoApprove) {
        const auto &[name, password] = m_options.users.constFirst();
        const auto approver = m_store.credentials(name);
        if (!approver
            || !samePasswordHash(passwordHash(password, approver->salt), approver->passwordHash)) {
            *error = QStringLiteral("cannot find the account %1 to approve as").arg(name);
            return false;
        }
        m_authorize.setAutoApprover(approver->user);
    }
    QHash<QString, QString> consumers;
    for (const auto &consumer : std::as_const(m_options.consumers))
        consumers.insert(consumer.first, consumer.second);
    m_verifier = std::make_unique<OAuthVerifier>(&m_store, consumers);
    removeLeftoverUploads();

    HttpDaemon::Settings settings;
    settings.address = m_options.address;
    settings.port = m_options.port;
    settings.idleTimeoutSeconds = unsigned(m_options.idleTimeout);
    settings.maxConnections = m_options.maxConnections > 0 ? unsigned(m_options.maxConnections)
                                                           : defaultMaxConnections();
    const bool tls = !m_options.tlsCertificate.isEmpty();
    if ((tls && !readTls(&settings, error)) || !m_daemon.start(settings, error))
        return false;
    QHostAddress shown = m_options.address;
    if (shown == QHostAddress(QHostAddress::Any) || shown == QHostAddress(QHostAddress::AnyIPv4))
        shown = QHostAddress(QHostAddress::LocalHost);
    else if (shown == QHostAddress(QHostAddress::AnyIPv6))
        shown = QHostAddress(QHostAddress::LocalHostIPv6);
    m_baseUrl.setScheme(tls ? QStringLiteral("https") : QStringLiteral("http"));
    m_baseUrl.setHost(shown.toString());
    m_baseUrl.setPort(m_daemon.port());
    m_context = { &m_store, m_verifier.get(),
        m_baseUrl.toString(QUrl::FullyEncoded | QUrl::StripTrailingSlash), m_uploadDir, &m_pool };
    return true;
}

void TwitterService::stop()
{
    m_daemon.stop();
    m_pool.waitForDone();
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

BodyPlan TwitterService::bodyPlan(const IncomingRequest &request) const
{
    if (LinkRoutes::isUpload(request))
        return { LinkRoutes::MaxUploadSize, m_uploadDir };
    return { MaxBodySize, QString() };
}

std::optional<ServiceReply> TwitterService::head(IncomingRequest &request)
{
    const auto query = parseForm(request.queryString);
    if (!query)
        return ServiceReply::error(400, request.path, QStringLiteral("Malformed query string"));
    request.query = *query;
    request.signedUrls = signedUrls(request.header("host"), request.path);
    if (!LinkRoutes::isUpload(request))
        return std::nullopt;
    // Uploads are checked before their body is read, not after.
    if (!m_store.begin())
        return notStored(request.path);
    auto refusal = m_links.beginUpload(request);
    if (!m_store.commit())
        return notStored(request.path);
    return refusal;
}

// One transaction per request, and one more for what it does once the work it
// waits for is done: an answer goes out only after its writes are committed.
ServiceReply TwitterService::committed(
    const QString &path, const std::function<ServiceReply()> &handle)
{
    if (!m_store.begin())
        return notStored(path);
    ServiceReply reply = handle();
    if (!m_store.commit())
        return notStored(path);
    if (reply.whenDone)
        reply.whenDone = [this, path, whenDone = std::move(reply.whenDone)] {
            return committed(path, whenDone);
        };
    return reply;
}

ServiceReply TwitterService::complete(IncomingRequest &request)
{
    return committed(request.path, [this, &request] { return route(request); });
}

ServiceReply TwitterService::route(IncomingRequest &request)
{
    if (LinkRoutes::isUpload(request))
        return m_links.finishUpload(request);
    const QByteArray type = request.header("content-type").split(';').first().trimmed().toLower();
    if (type == "application/x-www-form-urlencoded") {
        const auto form = parseForm(request.body);
        if (!form)
            return ServiceReply::error(400, request.path, QStringLiteral("Malformed form body"));
        request.form = *form;
    }
    if (auto reply = m_authorize.handle(request))
        return *reply;
    if (auto reply = m_v2.handle(request))
        return *reply;
    if (auto reply = m_api.handle(request))
        return *reply;
    if (auto reply = m_links.handle(request))
        return *reply;
    if (auto reply = m_pages.handle(request))
        return *reply;
    return ServiceReply::error(404, request.path, QStringLiteral("Not found"));
}
