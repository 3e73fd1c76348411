#ifndef SERVICECLIENT_H
#define SERVICECLIENT_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

using Params = QList<QPair<QString, QString>>;

// Who signs and how; the defaults are the plug-in's consumer pair.
struct Credentials
{
    QString consumerKey = QStringLiteral("Xq7LmN2pRt5VwY8zKc3Hd");
    QString consumerSecret = QStringLiteral("Pz4Kw9Lm2Nq7Rt1Vx6Yb3Hc8Jd5Fg0Sa2Ue7Ko4Wi9T");
    QString token;
    QString tokenSecret;
    qint64 timestampOffset = 0;
    QString nonce; // empty: a fresh one
};

struct Reply
{
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QByteArray location;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    bool sslError = false;

    // Text of the "error" child of the XML error body's root, empty if none.
    QString xmlError() const;
    QString xmlChild(const QString &path) const;
    QString formField(const QString &name) const;
};

// A test peer of the service. Requests are signed by Qt's own OAuth 1
// signature class, fed decoded parameters: nothing is shared with the
// service's verifier or with the plug-in's signer.
class ServiceClient
{
public:
    explicit ServiceClient(const QUrl &base);

    void setSslConfiguration(const QSslConfiguration &config) { m_ssl = config; }

    // Authorization header over method, URL (no query) and the parameters.
    static QByteArray authorization(const QByteArray &method, const QUrl &url, const Params &params,
        const Credentials &credentials);

    // Signed form POST / signed GET with query parameters.
    Reply post(const QString &path, const Params &form, const Credentials &credentials);
    Reply get(const QString &path, const Params &query, const Credentials &credentials);
    // Unsigned or hand-made requests.
    Reply send(const QByteArray &method, const QUrl &url,
        const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &body = QByteArray());

    // A whole request written as is to a plain TCP connection.
    Reply sendRaw(const QByteArray &request);

    // Signs in; fills token and secret of the credentials returned.
    Credentials signIn(const QString &user, const QString &password);

    QUrl url(const QString &path, const Params &query = {}) const;

private:
    QUrl m_base;
    QSslConfiguration m_ssl = QSslConfiguration::defaultConfiguration();
    QNetworkAccessManager m_manager;
};

QByteArray formBody(const Params &params);

#endif
