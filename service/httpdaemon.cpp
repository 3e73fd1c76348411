#include "httpdaemon.h"

#include "httphandler.h"
#include "servicelogging.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <microhttpd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A connection refused before its body was read: closing it with the body still
// arriving would reset it, and the client would never see the refusal. So a
// copy of its descriptor is kept a little while and what comes is thrown away.
class Drain : public QObject
{
public:
    static constexpr int MaxAtOnce = 32;
    static constexpr int Seconds = 5;

    Drain(int fd, QObject *parent)
        : QObject(parent)
        , m_fd(fd)
        , m_notifier(fd, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &Drain::read);
        QTimer::singleShot(Seconds * 1000, this, &QObject::deleteLater);
    }
    ~Drain() override { ::close(m_fd); }

private:
    void read()
    {
        // A bounded share per turn: a fast sender must not hold the event loop.
        char buffer[16384];
        ssize_t got = 0;
        for (int turn = 0; turn < 64 && (got = ::read(m_fd, buffer, sizeof buffer)) > 0; ++turn) { }
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
            m_notifier.setEnabled(false);
            deleteLater();
        }
    }

    int m_fd;
    QSocketNotifier m_notifier;
};

} // namespace

// One request, from its request line to the end of its answer.
struct HttpDaemon::Exchange
{
    explicit Exchange(const char *requestTarget)
        : target(requestTarget)
    { }
    ~Exchange()
    {
        if (drainFd >= 0)
            ::close(drainFd);
        if (spoolFd >= 0)
            ::close(spoolFd);
        if (!request.bodyFile.isEmpty())
            ::unlink(QFile::encodeName(request.bodyFile).constData());
    }
    Exchange(const Exchange &) = delete;
    Exchange &operator=(const Exchange &) = delete;

    QByteArray target; // as on the request line
    bool started = false;
    bool answered = false;
    bool abandoned = false; // held aside, then no answer could be queued
    int contentLengths = 0;
    QList<QByteArray> transferEncodings;
    BodyPlan plan;
    qint64 received = 0;
    int spoolFd = -1;
    bool spoolFailed = false;
    int drainFd = -1;
    IncomingRequest request;
};

struct HttpDaemon::Callbacks
{
    // The library hands over the raw request target here only; the state of
    // the request is made now and deleted by completed().
    static void *uriLog(void *, const char *uri, MHD_Connection *) { return new Exchange(uri); }

    static void completed(void *cls, MHD_Connection *, void **state, MHD_RequestTerminationCode)
    {
        auto *exchange = static_cast<Exchange *>(*state);
        if (exchange && exchange->drainFd >= 0) {
            static_cast<HttpDaemon *>(cls)->drain(exchange->drainFd);
            exchange->drainFd = -1;
        }
        delete exchange;
        *state = nullptr;
    }

    static void log(void *cls, const char *format, va_list args)
    {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        auto *daemon = static_cast<HttpDaemon *>(cls);
        daemon->m_lastLibraryMessage = QString::fromLocal8Bit(text).trimmed();
        qCDebug(lcService, "libmicrohttpd: %s", qUtf8Printable(daemon->m_lastLibraryMessage));
    }

    static MHD_Result header(void *cls, MHD_ValueKind, const char *name, const char *value)
    {
        auto *exchange = static_cast<Exchange *>(cls);
        const QByteArray key = QByteArray(name).toLower();
        const QByteArray text(value ? value : "");
        if (key == "content-length")
            ++exchange->contentLengths;
        else if (key == "transfer-encoding")
            exchange->transferEncodings.append(text.trimmed().toLower());
        exchange->request.headers.insert(key, text);
        return MHD_YES;
    }

    static MHD_Result answer(MHD_Connection *connection, Exchange *exchange, ServiceReply reply)
    {
        MHD_Response *response = nullptr;
        if (!reply.filePath.isEmpty()) {
            const int fd = ::open(
                QFile::encodeName(reply.filePath).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            struct stat info
            {
            };
            if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
                response = MHD_create_response_from_fd64(uint64_t(info.st_size), fd);
            if (!response) {
                if (fd >= 0)
                    ::close(fd);
                reply = ServiceReply::error(
                    404, exchange->request.path, QStringLiteral("File is missing"));
            }
        }
        if (!response) {
            response = MHD_create_response_from_buffer(size_t(reply.body.size()),
                const_cast<char *>(reply.body.constData()), MHD_RESPMEM_MUST_COPY);
        }
        if (!response)
            return MHD_NO;
        MHD_add_response_header(
            response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.constData());
        // Browsers go by the type given, never by what the bytes look like.
        MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
        for (const auto &header : std::as_const(reply.headers))
            MHD_add_response_header(response, header.first.constData(), header.second.constData());
        // Only the path: queries may carry links people would rather not see in logs.
        qCInfo(lcService, "%s %s %d", exchange->request.method.constData(),
            qUtf8Printable(exchange->request.path), reply.status);
        exchange->answered = true;
        const MHD_Result queued = MHD_queue_response(connection, unsigned(reply.status), response);
        MHD_destroy_response(response);
        return queued;
    }

    static MHD_Result refuse(
        MHD_Connection *connection, Exchange *exchange, int status, const QString &text)
    {
        return answer(
            connection, exchange, ServiceReply::error(status, exchange->request.path, text));
    }

    // Answered before the body: the library closes the connection after the answer.
    static MHD_Result answerEarly(
        MHD_Connection *connection, Exchange *exchange, const ServiceReply &reply)
    {
        const MHD_ConnectionInfo *info
            = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (info && (exchange->request.declaredSize > 0 || !exchange->transferEncodings.isEmpty()))
            exchange->drainFd = ::fcntl(info->connect_fd, F_DUPFD_CLOEXEC, 0);
        return answer(connection, exchange, reply);
    }

    static MHD_Result begin(
        HttpDaemon *daemon, MHD_Connection *connection, const char *method, Exchange *exchange)
    {
        IncomingRequest &in = exchange->request;
        in.method = method;
        const qsizetype question = exchange->target.indexOf('?');
        in.path = QString::fromLatin1(
            question < 0 ? exchange->target : exchange->target.left(question));
        if (in.path.isEmpty())
            in.path = QStringLiteral("/");
        in.queryString = question < 0 ? QByteArray() : exchange->target.mid(question + 1);
        MHD_get_connection_values(connection, MHD_HEADER_KIND, &Callbacks::header, exchange);
        // Two readings of where the body ends are how requests get smuggled.
        const bool chunked = exchange->transferEncodings == QList<QByteArray> { "chunked" };
        if (exchange->contentLengths > 1
            || (!exchange->transferEncodings.isEmpty()
                && (!chunked || exchange->contentLengths > 0)))
            return answerEarly(connection, exchange,
                ServiceReply::error(400, in.path, QStringLiteral("Malformed request framing")));
        if (exchange->contentLengths == 1)
            in.declaredSize = in.header("content-length").toLongLong();
        exchange->plan = daemon->m_handler->bodyPlan(in);
        if (in.declaredSize > exchange->plan.limit)
            return answerEarly(connection, exchange,
                ServiceReply::error(413, in.path, QStringLiteral("Request body too large")));
        if (const auto refusal = daemon->m_handler->head(in))
            return answerEarly(connection, exchange, *refusal);
        if (!exchange->plan.spoolDir.isEmpty()) {
            QByteArray name = QFile::encodeName(exchange->plan.spoolDir) + "/.upload-XXXXXX";
            exchange->spoolFd = ::mkostemp(name.data(), O_CLOEXEC);
            if (exchange->spoolFd < 0)
                return refuse(
                    connection, exchange, 500, QStringLiteral("Could not store the body"));
            in.bodyFile = QFile::decodeName(name);
        }
        return MHD_YES;
    }

    // An upload arrives in pieces; a client that leaves Nagle's algorithm on
    // (Qt's does) holds the last piece until the earlier ones are
    // acknowledged, and a delayed acknowledgement costs it 40 ms.
    static void acknowledgeNow(MHD_Connection *connection)
    {
        const MHD_ConnectionInfo *info
            = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        const int on = 1;
        if (info)
            ::setsockopt(info->connect_fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }

    static MHD_Result receive(Exchange *exchange, const char *data, size_t size)
    {
        exchange->received += qint64(size);
        if (exchange->received > exchange->plan.limit) {
            // Without a declared length the limit is only seen in the middle of
            // the body, where this library can no longer answer: hang up.
            qCInfo(lcService, "%s %s 413 (connection closed)", exchange->request.method.constData(),
                qUtf8Printable(exchange->request.path));
            exchange->answered = true;
            return MHD_NO;
        }
        if (exchange->spoolFd >= 0) {
            while (size > 0) {
                const ssize_t written = ::write(exchange->spoolFd, data, size);
                if (written < 0 && errno == EINTR)
                    continue;
                if (written <= 0) {
                    exchange->spoolFailed = true;
                    break;
                }
                data += written;
                size -= size_t(written);
            }
        } else if (exchange->plan.spoolDir.isEmpty()) {
            exchange->request.body.append(data, qsizetype(size));
        }
        return MHD_YES;
    }

    static MHD_Result finish(HttpDaemon *daemon, MHD_Connection *connection, Exchange *exchange)
    {
        IncomingRequest &in = exchange->request;
        in.bodySize = exchange->received;
        if (exchange->spoolFd >= 0) {
            if (::fdatasync(exchange->spoolFd) != 0)
                exchange->spoolFailed = true;
            ::close(exchange->spoolFd);
            exchange->spoolFd = -1;
        }
        if (exchange->spoolFailed)
            return refuse(connection, exchange, 500, QStringLiteral("Could not store the body"));
        const ServiceReply reply = daemon->m_handler->complete(in);
        if (reply.whenDone)
            return MHD_Result(daemon->answerLater(connection, exchange, reply));
        return answer(connection, exchange, reply);
    }

    static MHD_Result access(void *cls, MHD_Connection *connection, const char *,
        const char *method, const char *, const char *data, size_t *size, void **state)
    {
        auto *exchange = static_cast<Exchange *>(*state);
        if (!exchange || exchange->abandoned)
            return MHD_NO;
        if (exchange->answered) {
            *size = 0;
            return MHD_YES;
        }
        if (!exchange->started) {
            exchange->started = true;
            return begin(static_cast<HttpDaemon *>(cls), connection, method, exchange);
        }
        if (*size > 0) {
            const size_t given = *size;
            *size = 0;
            if (exchange->spoolFd >= 0)
                acknowledgeNow(connection);
            return receive(exchange, data, given);
        }
        return finish(static_cast<HttpDaemon *>(cls), connection, exchange);
    }
};

HttpDaemon::HttpDaemon(HttpHandler *handler, QObject *parent)
    : QObject(parent)
    , m_handler(handler)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpDaemon::run);
}

HttpDaemon::~HttpDaemon()
{
    stop();
}

bool HttpDaemon::start(const Settings &settings, QString *error)
{
    stop();
    unsigned flags = MHD_USE_EPOLL | MHD_USE_ERROR_LOG | MHD_ALLOW_SUSPEND_RESUME;
    sockaddr_in v4 {};
    sockaddr_in6 v6 {};
    const sockaddr *address = reinterpret_cast<const sockaddr *>(&v6);
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(settings.port);
    if (settings.address == QHostAddress(QHostAddress::Any)) {
        flags |= MHD_USE_DUAL_STACK;
        v6.sin6_addr = in6addr_any;
    } else if (settings.address.protocol() == QAbstractSocket::IPv4Protocol) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(settings.port);
        v4.sin_addr.s_addr = htonl(settings.address.toIPv4Address());
        address = reinterpret_cast<const sockaddr *>(&v4);
    } else {
        flags |= MHD_USE_IPv6;
        const Q_IPV6ADDR bytes = settings.address.toIPv6Address();
        std::memcpy(&v6.sin6_addr, bytes.c, sizeof bytes.c);
    }
    m_certificatePem = settings.certificatePem;
    m_keyPem = settings.keyPem;
    MHD_OptionItem tls[] = {
        { MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char *>(m_certificatePem.constData()) },
        { MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char *>(m_keyPem.constData()) },
        { MHD_OPTION_END, 0, nullptr },
    };
    if (!m_certificatePem.isEmpty())
        flags |= MHD_USE_TLS;
    else
        tls[0] = tls[2];
    m_lastLibraryMessage.clear();
    m_daemon = MHD_start_daemon(flags, settings.port, nullptr, nullptr, &Callbacks::access, this,
        MHD_OPTION_EXTERNAL_LOGGER, &Callbacks::log, this, MHD_OPTION_SOCK_ADDR, address,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, ConnectionMemory, MHD_OPTION_CONNECTION_LIMIT,
        settings.maxConnections, MHD_OPTION_CONNECTION_TIMEOUT, settings.idleTimeoutSeconds,
        MHD_OPTION_URI_LOG_CALLBACK, &Callbacks::uriLog, nullptr, MHD_OPTION_NOTIFY_COMPLETED,
        &Callbacks::completed, this, MHD_OPTION_ARRAY, tls, MHD_OPTION_END);
    const MHD_DaemonInfo *epoll
        = m_daemon ? MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_EPOLL_FD) : nullptr;
    const MHD_DaemonInfo *bound
        = m_daemon ? MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT) : nullptr;
    if (!epoll || !bound) {
        *error = QStringLiteral("cannot listen on %1:%2")
                     .arg(settings.address.toString())
                     .arg(settings.port);
        if (!m_lastLibraryMessage.isEmpty())
            *error += QStringLiteral(" (%1)").arg(m_lastLibraryMessage);
        stop();
        return false;
    }
    m_port = bound->port;
    m_notifier = new QSocketNotifier(epoll->epoll_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HttpDaemon::run);
    run();
    return true;
}

int HttpDaemon::answerLater(
    MHD_Connection *connection, Exchange *exchange, const ServiceReply &reply)
{
    MHD_suspend_connection(connection);
    auto *watcher = new QFutureWatcher<void>(this);
    m_suspended.insert(watcher, connection);
    connect(watcher, &QFutureWatcherBase::finished, this,
        [this, watcher, connection, exchange, whenDone = reply.whenDone] {
            m_suspended.remove(watcher);
            watcher->deleteLater();
            exchange->abandoned = Callbacks::answer(connection, exchange, whenDone()) != MHD_YES;
            MHD_resume_connection(connection);
            run();
        });
    watcher->setFuture(reply.pending);
    return MHD_YES;
}

void HttpDaemon::stop()
{
    m_timer.stop();
    // The library must not be stopped with connections held aside; once
    // resumed unanswered, it closes them.
    for (auto waiting = m_suspended.cbegin(); waiting != m_suspended.cend(); ++waiting) {
        delete waiting.key();
        MHD_resume_connection(waiting.value());
    }
    m_suspended.clear();
    for (const QPointer<QObject> &drain : std::as_const(m_drains))
        delete drain.data();
    m_drains.clear();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    m_port = 0;
}

void HttpDaemon::drain(int fd)
{
    if (fd < 0)
        return;
    m_drains.removeIf([](const QPointer<QObject> &drain) { return drain.isNull(); });
    if (m_drains.size() >= Drain::MaxAtOnce)
        ::close(fd);
    else
        m_drains.append(new Drain(fd, this));
}

void HttpDaemon::run()
{
    if (!m_daemon)
        return;
    // At its connection limit the library stops watching the listening socket
    // and only looks again on its next run: run again while connections close,
    // or a waiting client would wait for some unrelated event.
    const auto connections = [this] {
        const MHD_DaemonInfo *info
            = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
        return info ? info->num_connections : 0;
    };
    unsigned before = 0;
    do {
        before = connections();
        MHD_run(m_daemon);
    } while (connections() < before);
    // The library's deadlines (idle connections) and work it has left over.
    MHD_UNSIGNED_LONG_LONG timeout = 0;
    if (MHD_get_timeout(m_daemon, &timeout) == MHD_YES)
        m_timer.start(int(std::min<MHD_UNSIGNED_LONG_LONG>(timeout, INT_MAX)));
    else
        m_timer.stop();
}
