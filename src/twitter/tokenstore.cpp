#include "twitter/tokenstore.h"

#include "platform/secretstore.h"
#include "twitter/signature.h"
#include "twitter/twittersettings.h"
#include "zpvlogging.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

namespace TokenStore {

namespace {

    const QString tokenKey = QStringLiteral("oauth_token");
    const QString secretKey = QStringLiteral("oauth_token_secret");
    const QString userIdKey = QStringLiteral("user_id");
    const QString screenNameKey = QStringLiteral("screen_name");

    SecretStore keyring()
    {
        return SecretStore(
            QString::fromLatin1(TwitterSettings::application) + QStringLiteral(" Twitter"));
    }

    template<typename F>
    void withCredentialsStore(F &&use)
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
            QString::fromLatin1(TwitterSettings::organisation),
            QString::fromLatin1(TwitterSettings::application));
        settings.beginGroup(QString::fromLatin1(TwitterSettings::group));
        settings.beginGroup(QString::fromLatin1(TwitterSettings::oauthGroup));
        use(settings);
    }

    // True when the keyring answered; says once why it did not.
    bool answered(SecretStore::Result result)
    {
        static bool told = false;
        if (result != SecretStore::Unavailable || told)
            return result != SecretStore::Unavailable;
        told = true;
        qCWarning(lcTwitter,
            "TokenStore - no keyring answered (%s): the access token is kept in the settings file",
            qUtf8Printable(SecretStore::unavailableReason()));
        return false;
    }

} // namespace

void save(const Signature &signer)
{
    TwitterSettings::restrictSettingsFile();
    withCredentialsStore([&signer](QSettings &settings) {
        const QString previous = settings.value(screenNameKey).toString();
        if (!previous.isEmpty()
            && (previous != signer.screen_name || signer.oauth_token.isEmpty())) {
            answered(keyring().remove(previous));
        }
        bool kept = false;
        if (!signer.oauth_token.isEmpty() && !signer.screen_name.isEmpty()) {
            const QJsonObject pair { { tokenKey, signer.oauth_token },
                { secretKey, signer.oauth_token_secret } };
            kept = answered(keyring().write(
                signer.screen_name, QJsonDocument(pair).toJson(QJsonDocument::Compact)));
        }
        if (kept) {
            settings.remove(tokenKey);
            settings.remove(secretKey);
        } else {
            settings.setValue(tokenKey, signer.oauth_token);
            settings.setValue(secretKey, signer.oauth_token_secret);
        }
        settings.setValue(userIdKey, signer.user_id);
        settings.setValue(screenNameKey, signer.screen_name);
    });
}

void load(Signature &signer)
{
    withCredentialsStore([&signer](QSettings &settings) {
        signer.oauth_token = settings.value(tokenKey).toString();
        signer.oauth_token_secret = settings.value(secretKey).toString();
        signer.user_id = settings.value(userIdKey).toString();
        signer.screen_name = settings.value(screenNameKey).toString();
    });
    QByteArray data;
    if (!signer.oauth_token.isEmpty() || signer.screen_name.isEmpty()
        || !answered(keyring().read(signer.screen_name, data)) || data.isEmpty()) {
        return;
    }
    const QJsonObject pair = QJsonDocument::fromJson(data).object();
    signer.oauth_token = pair.value(tokenKey).toString();
    signer.oauth_token_secret = pair.value(secretKey).toString();
}

} // namespace TokenStore
