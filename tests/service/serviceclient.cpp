#include "serviceclient.h"

#include <QDateTime>
#include <QDomDocument>
#include <QEventLoop>
#include <QNetworkReply>
#include <QOAuth1Signature>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <QUuid>

QString Reply::xmlChild(const QString &path) const
{
    QDomDocument doc;
    if (!doc.setContent(body))
        return QString();
    QDomElement element = doc.documentElement();
    const QStringList names = path.split(QLatin1Char('/'));
    for (const QString &name : names)
        element = element.firstChildElement(name);
    return element.text();
}

QString Reply::xmlError() const
{
    return xmlChild(QStringLiteral("error"));
}

QString Reply::formField(const QString &name) const
{
    return QUrlQuery(QString::fromUtf8(body)).queryItemValue(name, QUrl::FullyDecoded);
}

QByteArray formBody(const Params &params)
{
    QByteArray body;
    for (const auto &param : params) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(param.first) + '=' + QUrl::toPercentEncoding(param.second);
    }
    return body;
}

ServiceClient::ServiceClient(const QUrl &base)
    : m_base(base)
{ }

QUrl ServiceClient::url(const QString &path, const Params &query) const
{
    QUrl url = m_base;
    url.setPath(path);
    if (!query.isEmpty())
        url.setQuery(QString::fromLatin1(formBody(query)));
    return url;
}

QByteArray ServiceClient::authorization(
    const QByteArray &method, const QUrl &url, const Params &params, const Credentials &credentials)
{
    QMultiMap<QString, QVariant> oauth;
    oauth.insert(QStringLiteral("oauth_consumer_key"), credentials.consumerKey);
    oauth.insert(QStringLiteral("oauth_nonce"),
        credentials.nonce.isEmpty() ? QUuid::createUuid().toString(QUuid::Id128)
                                    : credentials.nonce);
    oauth.insert(QStringLiteral("oauth_signature_method"), QStringLiteral("HMAC-SHA1"));
    oauth.insert(QStringLiteral("oauth_timestamp"),
        QString::number(QDateTime::currentSecsSinceEpoch() + credentials.timestampOffset));
    oauth.insert(QStringLiteral("oauth_version"), QStringLiteral("1.0"));
    if (!credentials.token.isEmpty())
        oauth.insert(QStringLiteral("oauth_token"), credentials.token);
    QMultiMap<QString, QVariant> all = oauth;
    for (const auto &param : params)
        all.insert(param.first, param.second);
    const QOAuth1Signature signature(url.adjusted(QUrl::RemoveQuery), credentials.consumerSecret,
        credentials.tokenSecret,
        method == "GET" ? QOAuth1Signature::HttpRequestMethod::Get
                        : QOAuth1Signature::HttpRequestMethod::Post,
        all);
    oauth.insert(
        QStringLiteral("oauth_signature"), QString::fromLatin1(signature.hmacSha1().toBase64()));
    QByteArray header = "OAuth ";
    for (auto it = oauth.cbegin(); it != oauth.cend(); ++it) {
        if (it != oauth.cbegin())
            header += ", ";
        header
            += it.key().toLatin1() + "=\"" + QUrl::toPercentEncoding(it.value().toString()) + '"';
    }
    return header;
}

Reply ServiceClient::send(const QByteArray &method, const QUrl &url,
    const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &body)
{
    QNetworkRequest request(url);
    request.setSslConfiguration(m_ssl);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto &header : headers)
        request.setRawHeader(header.first, header.second);
    QNetworkReply *reply = m_manager.sendCustomRequest(request, method, body);
    Reply out;
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [&out] { out.sslError = true; });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.body = reply->readAll();
    out.contentType = reply->rawHeader("Content-Type");
    out.location = reply->rawHeader("Location");
    for (const auto &header : reply->rawHeaderPairs())
        out.headers.insert(header.first.toLower(), header.second);
    delete reply;
    return out;
}

Reply ServiceClient::post(const QString &path, const Params &form, const Credentials &credentials)
{
    const QUrl target = url(path);
    return send("POST", target,
        { { "Content-Type", "application/x-www-form-urlencoded" },
            { "Authorization", authorization("POST", target, form, credentials) } },
        formBody(form));
}

Reply ServiceClient::get(const QString &path, const Params &query, const Credentials &credentials)
{
    const QUrl target = url(path, query);
    return send(
        "GET", target, { { "Authorization", authorization("GET", target, query, credentials) } });
}

Credentials ServiceClient::signIn(const QString &user, const QString &password)
{
    Credentials credentials;
    const Reply reply = post(QStringLiteral("/oauth/access_token"),
        { { QStringLiteral("x_auth_mode"), QStringLiteral("client_auth") },
            { QStringLiteral("x_auth_password"), password },
            { QStringLiteral("x_auth_username"), user } },
        credentials);
    credentials.token = reply.formField(QStringLiteral("oauth_token"));
    credentials.tokenSecret = reply.formField(QStringLiteral("oauth_token_secret"));
    return credentials;
}

Reply ServiceClient::sendRaw(const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(m_base.host(), quint16(m_base.port()));
    Reply out;
    if (!socket.waitForConnected(5000))
        return out;
    socket.write(request);
    QByteArray answer;
    QEventLoop loop;
    // Done once the head and as many body bytes as it announces have come.
    const auto complete = [&answer] {
        const qsizetype end = answer.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        const QByteArray head = answer.left(end).toLower();
        const qsizetype at = head.indexOf("content-length:");
        const qsizetype length
            = at < 0 ? 0 : head.mid(at + 15).split('\r').first().trimmed().toLongLong();
        return answer.size() >= end + 4 + length;
    };
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
        answer += socket.readAll();
        if (complete())
            loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const qsizetype split = answer.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = answer.left(split).split('\n');
    out.status = lines.value(0).split(' ').value(1).toInt();
    for (const QByteArray &line : lines) {
        if (line.toLower().startsWith("content-type:"))
            out.contentType = line.mid(13).trimmed();
    }
    out.body = split < 0 ? QByteArray() : answer.mid(split + 4);
    return out;
}
