#include "hostfixture.h"

#include "mediafixtures.h"

#include "badges/badger.h"
#include "twitter/itwitter_core.h"
#include "twitter/twitter_core.h"

#include <QDir>
#include <QSettings>
#include <QSignalSpy>

const QString HostFixture::userName = QStringLiteral("gallery_user");
const QString HostFixture::password = QStringLiteral("pa%ss w&rd=ü");

bool HostFixture::setUp(QString *error, int clips)
{
    m_settings = std::make_unique<IsolatedSettings>();
    m_captures = std::make_unique<QTemporaryDir>();
    if (!m_settings->isValid() || !m_captures->isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    ServiceOptions options;
    options.users.append({ userName, password });
    options.consumers.append(ServiceOptions::defaultConsumer());
    m_service = std::make_unique<TwitterService>(options);
    if (!m_service->start(error))
        return false;
    const QString base = m_service->baseUrl().toString();
    IsolatedSettings::set(TwitterSettings::apiUrlKey, base);
    IsolatedSettings::set(TwitterSettings::webUrlKey, base);
    IsolatedSettings::set(TwitterSettings::shortenerUrlKey, base);
    IsolatedSettings::set(TwitterSettings::timeoutKey, 5000);

    QDir().mkpath(videoFolder());
    QDir().mkpath(photoFolder());
    for (int i = 0; i < clips; ++i) {
        if (!MediaFixtures::makeClip(clip(i), 1.0)) {
            *error = QStringLiteral("ffmpeg could not make %1").arg(clip(i));
            return false;
        }
    }
    if (!MediaFixtures::makeStill(photo())) {
        *error = QStringLiteral("ffmpeg could not make %1").arg(photo());
        return false;
    }
    // Applet captions are looked up in the user's language.
    QSettings(QStringLiteral("NoBridge"), QStringLiteral("ZPV"))
        .setValue(QStringLiteral("LanguageID"), 0x0409);
    QSettings settings(QStringLiteral("Nobridge"), QStringLiteral("ZPV"));
    settings.beginGroup(QStringLiteral("Preferences"));
    settings.setValue(QStringLiteral("MovieFolder"), videoFolder());
    settings.setValue(QStringLiteral("PhotoFolder"), photoFolder());
    return true;
}

void HostFixture::tearDown()
{
    m_service.reset();
    m_settings.reset();
    m_captures.reset();
}

QString HostFixture::clip(int index) const
{
    return videoFolder() + QStringLiteral("/Video%1.mp4").arg(index + 1, 4, 10, QLatin1Char(u'0'));
}

QString HostFixture::photo() const
{
    return photoFolder() + QStringLiteral("/Picture0001.jpg");
}

bool HostFixture::storeAccessToken(const QString &user, const QString &secret)
{
    std::unique_ptr<ITwitter_core> client(GetTestObject(nullptr, nullptr, 0));
    client->setSaveState(true);
    QSignalSpy result(client.get(), &ITwitter_core::loginResult);
    if (!client->logIn(user, secret, 0) || !result.wait(10000))
        return false;
    return result.first().at(0).toBool();
}

QString HostFixture::badgeUrl(const QString &path, const QString &appId)
{
    Badger badger;
    QString url;
    if (!badger.initialize(path) || !badger.getUrl(appId, url))
        return QString();
    return url;
}

QString HostFixture::screenshotDir()
{
    QString dir = qEnvironmentVariable("ZPV_SCREENSHOT_DIR");
    if (dir.isEmpty())
        dir = QDir::currentPath() + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    return dir;
}
