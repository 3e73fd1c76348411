#ifndef HOSTFIXTURE_H
#define HOSTFIXTURE_H

#include "common/isolatedsettings.h"
#include "mediafixtures.h"
#include "twitterservice.h"

#include "badges/badger.h"
#include "twitter/itwitter_core.h"
#include "twitter/twitter_core.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

// What a share needs around the host: private settings pointing the plug-in
// at a local service with one account, and a capture folder with clips
// (made anew for every test, so no badge outlives its test).
struct HostFixture
{
    inline static const QString userName = QStringLiteral("gallery_user");
    inline static const QString password = QStringLiteral("pa%ss w&rd=ü");
    std::unique_ptr<IsolatedSettings> settings;
    std::unique_ptr<TwitterService> service;
    std::unique_ptr<QTemporaryDir> captures;

    // False with a reason when something could not be set up.
    bool setUp(QString *error, int clips = 1)
    {
        settings = std::make_unique<IsolatedSettings>();
        captures = std::make_unique<QTemporaryDir>();
        ServiceOptions options;
        options.users.append({ userName, password });
        options.consumers.append(ServiceOptions::defaultConsumer());
        // The authorize page shows the PIN at once, to the headless share.
        options.autoApprove = true;
        service = std::make_unique<TwitterService>(options);
        if (!settings->isValid() || !captures->isValid() || !service->start(error))
            return false;
        for (const char *key : { TwitterSettings::apiUrlKey, TwitterSettings::webUrlKey,
                 TwitterSettings::shortenerUrlKey })
            IsolatedSettings::set(key, serviceUrl(QString()));
        IsolatedSettings::set(TwitterSettings::timeoutKey, 5000);
        QDir().mkpath(videoFolder());
        for (int i = 0; i < clips; ++i) {
            if (!MediaFixtures::makeClip(clip(i), 1.0)) {
                *error = QStringLiteral("ffmpeg could not make ") + clip(i);
                return false;
            }
        }
        QSettings suite(QStringLiteral("Nobridge"), QStringLiteral("ZPV"));
        // Applet captions are looked up in the user's language.
        suite.setValue(QStringLiteral("LanguageID"), 0x0409);
        suite.setValue(QStringLiteral("Preferences/MovieFolder"), videoFolder());
        suite.setValue(QStringLiteral("Preferences/PhotoFolder"), captures->path());
        return true;
    }
    void tearDown() { *this = HostFixture(); }

    QString videoFolder() const { return captures->path() + QStringLiteral("/videos"); }
    QString clip(int i) const { return videoFolder() + QStringLiteral("/Video%1.mp4").arg(i); }
    QString serviceUrl(const QString &path) const { return service->baseUrl().toString() + path; }

    // The x flavour, with a consumer pair the service knows.
    static void useXFlavor()
    {
        IsolatedSettings::set(TwitterSettings::apiFlavorKey, QStringLiteral("x"));
        IsolatedSettings::set(
            TwitterSettings::consumerKeyKey, ServiceOptions::defaultConsumer().first);
        IsolatedSettings::set(
            TwitterSettings::consumerSecretKey, ServiceOptions::defaultConsumer().second);
    }
    // Signs in directly, storing the access token as the plug-in does.
    static bool storeAccessToken()
    {
        std::unique_ptr<ITwitter_core> client(GetTestObject(nullptr, nullptr, 0));
        client->setSaveState(true);
        QSignalSpy result(client.get(), &ITwitter_core::loginResult);
        return client->logIn(userName, password, 0) && result.wait(10000)
            && result.first().at(0).toBool();
    }
    // The link a file's badge records for appId, empty if none.
    static QString badgeUrl(const QString &path, const QString &appId)
    {
        Badger badger;
        QString url;
        return badger.initialize(path) && badger.getUrl(appId, url) ? url : QString();
    }
    // The body of a GET, redirects followed, and the address they led to.
    static QByteArray fetch(const QString &url, QUrl *landed)
    {
        QNetworkAccessManager manager;
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(url))));
        QSignalSpy(reply.get(), &QNetworkReply::finished).wait(10000);
        *landed = reply->url();
        return reply->readAll();
    }
};

#endif
