#include "twitter/twittersettings.h"

#include <QSettings>

namespace TwitterSettings {

namespace {

QVariant value(const char *key)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromLatin1(organisation), QString::fromLatin1(application));
    settings.beginGroup(QString::fromLatin1(group));
    return settings.value(QString::fromLatin1(key));
}

QUrl baseUrl(const char *key, const char *fallback)
{
    QString text = value(key).toString().trimmed();
    QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        url = QUrl(QString::fromLatin1(fallback));
    }
    // Only scheme, host and port count; paths are fixed by the protocol.
    url.setPath(QString());
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

} // namespace

QUrl apiUrl()
{
    return baseUrl(apiUrlKey, defaultApiUrl);
}

QUrl webUrl()
{
    return baseUrl(webUrlKey, defaultWebUrl);
}

QUrl shortenerUrl()
{
    return baseUrl(shortenerUrlKey, defaultShortenerUrl);
}

int timeoutMs()
{
    bool ok = false;
    const int ms = value(timeoutKey).toInt(&ok);
    return ok && ms > 0 ? ms : defaultTimeoutMs;
}

QString caCertificatesFile()
{
    return value(caCertificatesKey).toString();
}

QUrl endpoint(const QUrl &base, const QString &path)
{
    QUrl url = base;
    url.setPath(path);
    return url;
}

} // namespace TwitterSettings
