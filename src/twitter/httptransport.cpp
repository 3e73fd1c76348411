#include "twitter/httptransport.h"

#include "twitter/twittersettings.h"
#include "zpvlogging.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QThread>
#include <QTimer>

#include <limits>
#include <optional>

namespace {

// Set on a reply that has no complete answer for a reason of our own.
constexpr char failureProperty[] = "zpvFailure";
// What body() has already taken out of the reply.
constexpr char bodyProperty[] = "zpvBody";

// A server that drips a byte now and then never trips the idle timeout; the
// whole request gets this many idle timeouts at most.
constexpr int deadlineFactor = 3;

bool isNetworkFailure(QNetworkReply::NetworkError error)
{
    return (error >= 1 && error <= 199) || error == QNetworkReply::ProtocolFailure;
}

QString tooLarge()
{
    return QStringLiteral("reply larger than %1 MiB")
        .arg(HttpTransport::maxReplySize / (1024 * 1024));
}

// Failures only visible once the reply has finished. Worked out here too, not
// just by the watch, for callers whose slot runs before it (the manager's
// finished() signal).
QString lateFailure(QNetworkReply *reply)
{
    const qsizetype taken = reply->property(bodyProperty).toByteArray().size();
    if (taken + reply->bytesAvailable() > HttpTransport::maxReplySize)
        return tooLarge();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400 && reply->request().hasRawHeader("Authorization")) {
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        return QStringLiteral("the server redirected a signed request to %1; it was not followed")
            .arg(reply->url().resolved(target).toDisplayString(
                QUrl::RemoveUserInfo | QUrl::RemoveQuery));
    }
    return QString();
}

// Asks the system for every request, per manager rather than process-wide.
class SystemProxyFactory : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        return systemProxyForQuery(query);
    }
};

// Lives as the reply's child and enforces the size cap, the deadline and
// the redirect rule while the reply arrives.
class ReplyWatch : public QObject
{
public:
    ReplyWatch(QNetworkReply *reply, int timeoutMs, qint64 bodySize)
        : QObject(reply)
        , m_reply(reply)
        , m_timeoutMs(timeoutMs)
    {
        m_idle.start();
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("timed out after %1 ms").arg(m_deadline.interval())); });
        // Settings may hold any positive int; the timer takes an int too.
        const qint64 deadline = qint64(deadlineFactor) * timeoutMs
            + qMax<qint64>(bodySize, 0) * 1000 / HttpTransport::minUploadBytesPerSecond;
        m_deadline.start(int(qMin<qint64>(deadline, std::numeric_limits<int>::max())));
        connect(reply, &QNetworkReply::metaDataChanged, this, &ReplyWatch::onMetaData);
        connect(reply, &QNetworkReply::downloadProgress, this, &ReplyWatch::onDownload);
        connect(reply, &QNetworkReply::uploadProgress, this, [this](qint64 sent) {
            if (sent > m_sent)
                m_idle.restart();
            m_sent = sent;
        });
        connect(reply, &QNetworkReply::finished, this, &ReplyWatch::onFinished);
    }

private:
    // Also when the reply has already finished: Qt's network thread may have
    // delivered the whole body before we saw any progress.
    void fail(const QString &reason)
    {
        if (m_reply->property(failureProperty).isValid())
            return;
        m_reply->setProperty(failureProperty, reason);
        if (!m_reply->isFinished())
            m_reply->abort();
    }

    void onMetaData()
    {
        m_idle.restart();
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > HttpTransport::maxReplySize)
            fail(tooLarge());
    }

    void onDownload(qint64 received)
    {
        // Qt reports progress once more when it gives up; that is no data.
        if (received > m_received)
            m_idle.restart();
        m_received = qMax(m_received, received);
        if (m_received > HttpTransport::maxReplySize
            || m_reply->bytesAvailable() > HttpTransport::maxReplySize)
            fail(tooLarge());
    }

    void onFinished()
    {
        m_deadline.stop();
        if (m_received > HttpTransport::maxReplySize)
            fail(tooLarge());
        if (m_reply->property(failureProperty).isValid())
            return;
        const auto error = m_reply->error();
        // Qt's own idle timeout aborts the reply without saying why.
        if ((error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
            && m_idle.elapsed() >= qint64(m_timeoutMs) * 9 / 10) {
            m_reply->setProperty(failureProperty,
                QStringLiteral("timed out after %1 ms without data").arg(m_timeoutMs));
            return;
        }
        const QString late = lateFailure(m_reply);
        if (!late.isEmpty())
            m_reply->setProperty(failureProperty, late);
    }

    QNetworkReply *m_reply;
    int m_timeoutMs;
    QTimer m_deadline;
    QElapsedTimer m_idle;
    qint64 m_received = 0;
    qint64 m_sent = 0;
};

QNetworkAccessManager *newManager(QObject *parent)
{
    auto *manager = new QNetworkAccessManager(parent);
    manager->setProxyFactory(new SystemProxyFactory);
    return manager;
}

// The manager is the connection pool. On the application's thread every
// transport shares one, so that a share's requests and the next share's go
// over connections already open, without a network thread of their own. One
// per set of trusted certificates: the pool reuses a connection whatever the
// request's TLS settings, and trust must never carry over.
QHash<QByteArray, QNetworkAccessManager *> &pools()
{
    static QHash<QByteArray, QNetworkAccessManager *> managers;
    return managers;
}

// While the application still exists: closing a TLS connection needs it.
void dropPools()
{
    qDeleteAll(pools());
    pools().clear();
}

QNetworkAccessManager *pooledManager(const QByteArray &trust)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app->thread() != QThread::currentThread())
        return nullptr;
    if (pools().isEmpty())
        qAddPostRoutine(dropPools);
    QNetworkAccessManager *&manager = pools()[trust];
    if (!manager)
        manager = newManager(nullptr);
    return manager;
}

} // namespace

class HttpTransport::Private
{
public:
    // The pool's, or off the application's thread one of the transport's own.
    QNetworkAccessManager *shared = nullptr;
    bool perRequest = false;
    int timeoutMs = TwitterSettings::defaultTimeoutMs;
    // Only with extra certificates: any TLS object loads the TLS backend,
    // which plain HTTP never needs.
    std::optional<QSslConfiguration> ssl;
    QByteArray trust; // digests of the extra certificates
};

HttpTransport::HttpTransport(QObject *parent)
    : QObject(parent)
    , d(new Private)
{
    d->timeoutMs = TwitterSettings::timeoutMs();
    const QString caFile = TwitterSettings::caCertificatesFile();
    if (!caFile.isEmpty()) {
        const QList<QSslCertificate> extra = QSslCertificate::fromPath(
            caFile, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
        if (extra.isEmpty()) {
            qCCritical(lcTwitter, "HttpTransport::HttpTransport() - no certificates in %s",
                qUtf8Printable(caFile));
        } else {
            d->ssl = QSslConfiguration::defaultConfiguration();
            d->ssl->setCaCertificates(QSslConfiguration::systemCaCertificates() + extra);
            for (const QSslCertificate &certificate : extra)
                d->trust += certificate.digest(QCryptographicHash::Sha256);
        }
    }
}

HttpTransport::~HttpTransport()
{
    delete d;
}

QNetworkReply *HttpTransport::get(
    const QUrl &url, const QByteArray &contentType, const QByteArray &authorization)
{
    Request request;
    request.url = url;
    request.contentType = contentType;
    request.authorization = authorization;
    return send(request);
}

void HttpTransport::setManagerPerRequest(bool perRequest)
{
    d->perRequest = perRequest;
}

int HttpTransport::timeoutMs() const
{
    return d->timeoutMs;
}

QNetworkReply *HttpTransport::send(const Request &r)
{
    QNetworkRequest request(r.url);
    request.setTransferTimeout(d->timeoutMs);
    QByteArray contentType = r.contentType;
    if (contentType.isEmpty() && r.verb == "POST")
        contentType = QByteArrayLiteral("application/x-www-form-urlencoded");
    if (!contentType.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    for (const auto &header : r.headers)
        request.setRawHeader(header.first, header.second);
    const bool isSigned = !r.authorization.isEmpty();
    if (isSigned)
        request.setRawHeader(QByteArrayLiteral("Authorization"), r.authorization);
    // A followed redirect would hand the Authorization header to another host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
        isSigned ? QNetworkRequest::ManualRedirectPolicy
                 : QNetworkRequest::NoLessSafeRedirectPolicy);
    if (d->ssl)
        request.setSslConfiguration(*d->ssl);

    QNetworkAccessManager *manager = nullptr;
    if (d->perRequest) {
        manager = newManager(nullptr);
    } else {
        if (!d->shared)
            d->shared = pooledManager(d->trust);
        if (!d->shared)
            d->shared = newManager(this);
        manager = d->shared;
    }
    QNetworkReply *reply = nullptr;
    const qint64 bodySize = r.bodyDevice ? r.bodyDevice->size() : r.body.size();
    if (r.verb == "GET")
        reply = manager->get(request);
    else if (r.bodyDevice)
        reply = manager->post(request, r.bodyDevice);
    else
        reply = manager->post(request, r.body);
    if (d->perRequest)
        connect(reply, &QObject::destroyed, manager, &QObject::deleteLater);
    // A pooled manager outlives the transport; its requests must not.
    reply->setParent(this);
    new ReplyWatch(reply, d->timeoutMs, bodySize);
    return reply;
}

int HttpTransport::answeredStatus(QNetworkReply *reply)
{
    if (!reply || !reply->isFinished() || reply->property(failureProperty).isValid()
        || isNetworkFailure(reply->error()) || !lateFailure(reply).isEmpty())
        return 0;
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

QString HttpTransport::failureReason(QNetworkReply *reply)
{
    if (!reply)
        return QString();
    const QVariant own = reply->property(failureProperty);
    if (own.isValid())
        return own.toString();
    const QString late = reply->isFinished() ? lateFailure(reply) : QString();
    if (!late.isEmpty())
        return late;
    return reply->error() == QNetworkReply::NoError ? QString() : reply->errorString();
}

QByteArray HttpTransport::body(QNetworkReply *reply)
{
    if (!reply)
        return QByteArray();
    QByteArray data = reply->property(bodyProperty).toByteArray();
    const qint64 room = maxReplySize - data.size();
    if (room > 0 && reply->bytesAvailable() > 0) {
        data += reply->read(room);
        reply->setProperty(bodyProperty, data);
    }
    return data;
}

#include "moc_httptransport.cpp"
