#include "rawserviceclient.h"

#include "serviceoptions.h"

#include <QDateTime>
#include <QMultiMap>
#include <QOAuth1Signature>
#include <QProcess>
#include <QUrlQuery>
#include <QUuid>

#include <algorithm>

RawServiceClient::RawServiceClient(const QUrl &base)
    : m_base(base)
{
    QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] {
        Answer answer;
        if (m_done && takeAnswer(&answer))
            std::exchange(m_done, nullptr)(answer);
    });
}

bool RawServiceClient::connectToService()
{
    m_socket.connectToHost(m_base.host(), quint16(m_base.port()));
    if (!m_socket.waitForConnected(5000))
        return false;
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

QByteArray RawServiceClient::plainRequest(
    const QByteArray &method, const QString &path, const QUrl &base)
{
    return method + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: " + base.authority().toLatin1()
        + "\r\n\r\n";
}

QByteArray RawServiceClient::signedRequest(
    const QByteArray &method, const QString &path, const Params &form) const
{
    const Parts parts = signedParts(method, path, form);
    return method + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: " + m_base.authority().toLatin1()
        + "\r\nAuthorization: " + parts.authorization
        + "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: "
        + QByteArray::number(parts.body.size()) + "\r\n\r\n" + parts.body;
}

RawServiceClient::Parts RawServiceClient::signedParts(
    const QByteArray &method, const QString &path, const Params &form) const
{
    const auto consumer = ServiceOptions::defaultConsumer();
    QMultiMap<QString, QVariant> oauth { { QStringLiteral("oauth_consumer_key"), consumer.first },
        { QStringLiteral("oauth_nonce"), QUuid::createUuid().toString(QUuid::Id128) },
        { QStringLiteral("oauth_signature_method"), QStringLiteral("HMAC-SHA1") },
        { QStringLiteral("oauth_version"), QStringLiteral("1.0") },
        { QStringLiteral("oauth_timestamp"),
            QString::number(QDateTime::currentSecsSinceEpoch()) } };
    if (!m_token.isEmpty())
        oauth.insert(QStringLiteral("oauth_token"), m_token);
    QMultiMap<QString, QVariant> all = oauth;
    QByteArray body;
    for (const auto &[name, value] : form) {
        all.insert(name, value);
        body += (body.isEmpty() ? "" : "&") + QUrl::toPercentEncoding(name) + '='
            + QUrl::toPercentEncoding(value);
    }
    const QOAuth1Signature signature(m_base.resolved(QUrl(path)), consumer.second, m_tokenSecret,
        method == "GET" ? QOAuth1Signature::HttpRequestMethod::Get
                        : QOAuth1Signature::HttpRequestMethod::Post,
        all);
    oauth.insert(QStringLiteral("oauth_signature"), signature.hmacSha1().toBase64());
    QByteArray header = "OAuth ";
    for (auto it = oauth.cbegin(); it != oauth.cend(); ++it)
        header += (it == oauth.cbegin() ? "" : ", ") + it.key().toLatin1() + "=\""
            + QUrl::toPercentEncoding(it.value().toString()) + '"';
    return { header, body };
}

QByteArray RawServiceClient::statusUpdate(const QString &text) const
{
    return signedRequest(
        "POST", QStringLiteral("/1/statuses/update.xml"), { { QStringLiteral("status"), text } });
}

bool RawServiceClient::signIn(const QString &user, const QString &password)
{
    m_token.clear();
    m_tokenSecret.clear();
    const Answer answer = exchange(signedRequest("POST", QStringLiteral("/oauth/access_token"),
        { { QStringLiteral("x_auth_mode"), QStringLiteral("client_auth") },
            { QStringLiteral("x_auth_password"), password },
            { QStringLiteral("x_auth_username"), user } }));
    const QUrlQuery fields(QString::fromUtf8(answer.body));
    m_token = fields.queryItemValue(QStringLiteral("oauth_token"), QUrl::FullyDecoded);
    m_tokenSecret = fields.queryItemValue(QStringLiteral("oauth_token_secret"), QUrl::FullyDecoded);
    return answer.status == 200 && !m_token.isEmpty();
}

bool RawServiceClient::takeAnswer(Answer *answer)
{
    m_buffer += m_socket.readAll();
    const qsizetype end = m_buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QByteArray head = m_buffer.left(end + 2).toLower();
    const qsizetype at = head.indexOf("\r\ncontent-length:");
    const qsizetype length = at < 0
        ? 0
        : head.mid(at + 17, head.indexOf('\r', at + 2) - at - 17).trimmed().toLongLong();
    if (m_buffer.size() < end + 4 + length)
        return false;
    answer->status = m_buffer.mid(9, 3).toInt();
    answer->body = m_buffer.mid(end + 4, length);
    m_buffer.remove(0, end + 4 + length);
    return true;
}

RawServiceClient::Answer RawServiceClient::exchange(const QByteArray &request, int timeoutMs)
{
    Answer answer;
    m_done = nullptr;
    m_socket.write(request);
    m_socket.flush();
    while (!takeAnswer(&answer)) {
        if (!m_socket.waitForReadyRead(timeoutMs))
            return Answer();
    }
    return answer;
}

void RawServiceClient::send(const QByteArray &request, std::function<void(const Answer &)> done)
{
    m_done = std::move(done);
    m_socket.write(request);
    m_socket.flush();
}

QUrl startService(QProcess *process, const QString &dataDir, const QString &user,
    const QString &password, const QStringList &extra)
{
    QStringList arguments { QStringLiteral("--user"), user + QLatin1Char(':') + password };
    if (!dataDir.isEmpty())
        arguments << QStringLiteral("--data") << dataDir;
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(QStringLiteral(ZPV_TWITTERD), arguments + extra);
    if (!process->waitForStarted() || !process->waitForReadyRead(10000))
        return QUrl();
    return QUrl(QString::fromUtf8(process->readLine().trimmed()));
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}
