#ifndef HOSTFIXTURE_H
#define HOSTFIXTURE_H

#include "common/isolatedsettings.h"
#include "twitterservice.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// What a share needs around the host: private settings pointing the plug-in
// at a local service with one account, and a capture folder with clips.
class HostFixture
{
public:
    static const QString userName;
    static const QString password;

    // False with a reason when something could not be set up.
    bool setUp(QString *error, int clips = 2);
    void tearDown();

    QString videoFolder() const { return m_captures->path() + QStringLiteral("/videos"); }
    QString photoFolder() const { return m_captures->path() + QStringLiteral("/photos"); }
    QString clip(int index) const;
    QString photo() const;
    TwitterService *service() const { return m_service.get(); }
    // Signs in directly, storing the access token as the plug-in does.
    static bool storeAccessToken(const QString &user, const QString &password);
    // The first line of a file's badge record that names appId, empty if none.
    static QString badgeUrl(const QString &path, const QString &appId);
    // Folder for screenshots (made if missing).
    static QString screenshotDir();

private:
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<TwitterService> m_service;
    // New for every test, so no badge outlives its test.
    std::unique_ptr<QTemporaryDir> m_captures;
};

#endif
