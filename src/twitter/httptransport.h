#ifndef HTTPTRANSPORT_H
#define HTTPTRANSPORT_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;

// The one way the plug-in talks HTTP. Every request gets
//  - an idle transfer timeout ("timeout_ms") and an overall deadline of three
//    times that (plus the time the body takes at a slow uplink's rate), so a
//    silent or dripping server cannot hold a request forever;
//  - a cap on the reply body, enforced while it arrives;
//  - TLS verification always on, with the optional extra CA certificates of
//    "ca_certificates" trusted besides the system's;
//  - the system proxy settings;
//  - no redirects for signed requests (they would carry the Authorization
//    header to whatever host the redirect names): a 3xx answer to a signed
//    request counts as no answer (answeredStatus() 0, failureReason() says
//    where it pointed). Unsigned requests follow redirects that stay as safe.
// On the application's thread all transports share one QNetworkAccessManager
// per set of trusted certificates (connection and TLS session reuse), unless
// told otherwise. Replies are the transport's children: destroying it ends
// its requests. The caller connects the reply's finished() signal (and
// uploadProgress() if it wants it) itself and hands the reply to
// deleteLater() after handling it.
class HttpTransport : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 maxReplySize = 1024 * 1024;
    // A body gets this long to go out on top of the deadline: a slow uplink
    // still makes it, a server that reads a byte now and then does not.
    static constexpr qint64 minUploadBytesPerSecond = 16 * 1024;

    struct Request
    {
        QByteArray verb = QByteArrayLiteral("GET"); // or "POST"
        QUrl url;
        QByteArray contentType;
        QByteArray body;
        // Sent instead of body, read as the request goes out (a file is never
        // held in memory whole). It must stay open until the reply has
        // finished: make it the reply's child.
        QIODevice *bodyDevice = nullptr;
        // Non-empty: the Authorization header, and the request is a signed one.
        QByteArray authorization;
        QList<QPair<QByteArray, QByteArray>> headers;
    };

    explicit HttpTransport(QObject *parent = nullptr);
    ~HttpTransport() override;

    // A POST without a content type is sent as a form.
    QNetworkReply *send(const Request &request);
    // Shorthand of send().
    QNetworkReply *get(const QUrl &url, const QByteArray &contentType,
        const QByteArray &authorization = QByteArray());

    // A fresh manager for every request instead of the shared one (for
    // measuring what connection reuse buys).
    void setManagerPerRequest(bool perRequest);
    int timeoutMs() const;

    // The reply's HTTP status when the reply arrived whole, otherwise 0
    // (refused, timed out, cut short, over the size cap, TLS failure, signed
    // request redirected...). 4xx and 5xx answers are whole answers.
    static int answeredStatus(QNetworkReply *reply);
    // Why a reply has no complete answer, in words for the user (empty when
    // nothing went wrong).
    static QString failureReason(QNetworkReply *reply);
    // The body received so far (at most maxReplySize bytes); may be called
    // again, it keeps what it took out of the reply.
    static QByteArray body(QNetworkReply *reply);

private:
    class Private;
    Private *d;
};

#endif
