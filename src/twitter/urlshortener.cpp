#include "twitter/urlshortener.h"

#include "twitter/httptransport.h"
#include "twitter/twittersettings.h"
#include "zpvlogging.h"

#include <QNetworkReply>
#include <QUrl>

namespace {

// Each reply carries its own long link, so overlapping requests report theirs.
constexpr char linkProperty[] = "zpvLongLink";

bool isWebLink(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

} // namespace

UrlShortener::UrlShortener(QObject *parent)
    : QObject(parent)
    , m_transport(new HttpTransport(this))
{ }

void UrlShortener::clear()
{
    origUrl.clear();
    shortUrl.clear();
}

bool UrlShortener::shorten(const QString &url, unsigned long)
{
    origUrl = url;
    QUrl request = TwitterSettings::endpoint(
        TwitterSettings::shortenerUrl(), QStringLiteral("/api-create.php"));
    // Encoded whole: an "&", "#" or "+" in the link must not end or change the value.
    request.setQuery(QLatin1String("url=") + QString::fromLatin1(url.toUtf8().toPercentEncoding()),
        QUrl::StrictMode);
    qCDebug(lcTwitter, "requestUrl: %s", qUtf8Printable(request.toString(QUrl::FullyEncoded)));

    QNetworkReply *reply = m_transport->get(request, QByteArrayLiteral("text"));
    reply->setProperty(linkProperty, url);
    connect(
        reply, &QNetworkReply::finished, this, [this, reply] { shortenFinished(reply); },
        Qt::QueuedConnection);
    return true;
}

void UrlShortener::shortenFinished(QNetworkReply *reply)
{
    const QString link = reply->property(linkProperty).toString();
    if (HttpTransport::answeredStatus(reply) != 200) {
        Q_EMIT shortenResult(false, link, QString(), 0);
    } else {
        const QString text = QString::fromUtf8(HttpTransport::body(reply)).trimmed();
        shortUrl = isWebLink(text) ? text : QString();
        Q_EMIT shortenResult(!shortUrl.isEmpty(), link, shortUrl, 0);
    }
    reply->deleteLater();
}

#include "moc_urlshortener.cpp"
