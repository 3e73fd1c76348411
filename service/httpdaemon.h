#ifndef HTTPDAEMON_H
#define HTTPDAEMON_H

#include <QFutureWatcher>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class HttpHandler;
class QSocketNotifier;
class ServiceReply;
struct MHD_Connection;
struct MHD_Daemon;

// HTTP/1.1 (and HTTPS) on libmicrohttpd, driven from the Qt event loop of the
// thread that starts it: one epoll descriptor watched by a QSocketNotifier and
// a timer for the library's own deadlines. Every handler call therefore runs
// on that thread, one at a time, beside the service's SQLite connection. A
// reply that waits for other work (ServiceReply::pending) holds its
// connection aside meanwhile, and the others are served.
class HttpDaemon : public QObject
{
    Q_OBJECT
public:
    // Read and write buffers and the request head of one connection live in
    // this much memory; a head that does not fit is answered 431.
    static constexpr size_t ConnectionMemory = 64 * 1024;

    struct Settings
    {
        QHostAddress address;
        quint16 port = 0;
        QByteArray certificatePem; // both empty: plain HTTP
        QByteArray keyPem;
        unsigned idleTimeoutSeconds = 30;
        unsigned maxConnections = 200;
    };

    explicit HttpDaemon(HttpHandler *handler, QObject *parent = nullptr);
    ~HttpDaemon() override;

    bool start(const Settings &settings, QString *error);
    // Closes the listening socket and every connection.
    void stop();
    quint16 port() const { return m_port; }

private:
    struct Callbacks;
    struct Exchange;

    void run();
    void drain(int fd);
    int answerLater(MHD_Connection *connection, Exchange *exchange, const ServiceReply &reply);

    HttpHandler *m_handler;
    MHD_Daemon *m_daemon = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_timer;
    quint16 m_port = 0;
    QByteArray m_certificatePem;
    QByteArray m_keyPem;
    QString m_lastLibraryMessage;
    QList<QPointer<QObject>> m_drains;
    QHash<QFutureWatcher<void> *, MHD_Connection *> m_suspended;
};

#endif
