#include "twitter/twittersettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool xFlavor()
{
    return value(apiFlavorKey).toString().trimmed() == QLatin1String(flavorX);
}

QString consumerKey()
{
    return value(consumerKeyKey).toString().trimmed();
}

QString consumerSecret()
{
    return value(consumerSecretKey).toString().trimmed();
}

QString caCertificatesFile()
{
    return value(caCertificatesKey).toString();
}

void restrictSettingsFile()
{
    const QString path = QSettings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(organisation), QString::fromLatin1(application))
                             .fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
    }
}

QUrl endpoint(const QUrl &base, const QString &path)
{
    QUrl url = base;
    url.setPath(path);
    return url;
}

} // namespace TwitterSettings
