#ifndef RAWSERVICECLIENT_H
#define RAWSERVICECLIENT_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTcpSocket>
#include <QUrl>

#include <functional>
#include <vector>

class QProcess;

// The floor the service's clients are measured against: one keep-alive
// connection to zpv-twitterd, requests signed before the clock starts (by
// Qt's OAuth 1 signer, nothing shared with the plug-in) and sent as bytes,
// each answer read to its Content-Length.
class RawServiceClient
{
public:
    using Params = QList<QPair<QString, QString>>;

    struct Answer
    {
        int status = 0; // 0: no answer
        QByteArray body;
    };

    explicit RawServiceClient(const QUrl &base);

    bool connectToService();
    // xAuth sign-in; afterwards signedRequest() signs with the account's token.
    bool signIn(const QString &user, const QString &password);
    // A whole request with a fresh nonce and timestamp, form-encoded body.
    QByteArray signedRequest(
        const QByteArray &method, const QString &path, const Params &form) const;
    QByteArray statusUpdate(const QString &text) const;
    // The same request's Authorization header value and body, for other
    // HTTP clients to send.
    struct Parts
    {
        QByteArray authorization;
        QByteArray body;
    };
    Parts signedParts(const QByteArray &method, const QString &path, const Params &form) const;
    static QByteArray plainRequest(const QByteArray &method, const QString &path, const QUrl &base);

    // Blocking: sends and waits for the whole answer.
    Answer exchange(const QByteArray &request, int timeoutMs = 10000);
    // Event-driven: sends; done is called from the event loop with the answer.
    void send(const QByteArray &request, std::function<void(const Answer &)> done);

private:
    bool takeAnswer(Answer *answer);

    QUrl m_base;
    QTcpSocket m_socket;
    QByteArray m_buffer;
    QString m_token;
    QString m_tokenSecret;
    std::function<void(const Answer &)> m_done;
};

// Starts zpv-twitterd with one account and the data folder given; the base URL, or empty.
QUrl startService(QProcess *process, const QString &dataDir, const QString &user,
    const QString &password, const QStringList &extra = {});

// p in [0, 1] of a copy of the values, nearest rank.
double percentile(std::vector<double> values, double p);

#endif
