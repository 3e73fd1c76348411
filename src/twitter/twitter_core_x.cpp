// The x flavour of the client: the browser sign-in with a PIN (three-legged
// OAuth 1.0a, out of band) and the JSON resources under /2/.
#include "twitter/twitter_core.h"

#include "twitter/httptransport.h"
#include "twitter/signedrequest.h"
#include "twitter/twittersettings.h"
#include "twitter/xapireply.h"
#include "zpvlogging.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUrlQuery>

namespace {

const QString requestTokenPath = QStringLiteral("/oauth/request_token");
const QString authorizePath = QStringLiteral("/oauth/authorize");
const QString accessTokenPath = QStringLiteral("/oauth/access_token");
const QString mePath = QStringLiteral("/2/users/me");
const QString tweetsPath = QStringLiteral("/2/tweets");
const QString userFields = QStringLiteral("profile_image_url");

QUrl apiEndpoint(const QString &path)
{
    return TwitterSettings::endpoint(TwitterSettings::apiUrl(), path);
}

// The URL as signed: a query's parameters are signed as parameters.
QString signedUrl(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded | QUrl::RemoveQuery);
}

QString encoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// Signs with one more protocol parameter, which goes into the Authorization
// header beside the others, as the service's examples send it.
bool signWith(Signature &signer, const char *name, const QString &value)
{
    signer.addSignatureParam(QLatin1String(name), value);
    if (!signer.createSignature(0))
        return false;
    signer.authorizationHeader
        += QStringLiteral(", %1=\"%2\"").arg(QLatin1String(name), encoded(value));
    return true;
}

QString unreadable()
{
    return Twitter_core::tr("The service answered, but its reply could not be read");
}

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

} // namespace

bool Twitter_core::xSigner(Signature &signer, bool withToken, const char *who)
{
    const QString key = TwitterSettings::consumerKey();
    const QString secret = TwitterSettings::consumerSecret();
    if (key.isEmpty() || secret.isEmpty()) {
        qCCritical(lcTwitter, "%s - no consumer key and secret", who);
        errorText = tr("Enter your application's consumer key and secret in the Twitter settings.");
        return false;
    }
    if (withToken && !startTokenSignature(signer)) {
        qCCritical(lcTwitter, "%s - no credentials", who);
        return false;
    }
    signer.oauth_consumer_key = key;
    signer.oauth_consumer_secret = secret;
    signer.setupOAuthParams();
    return true;
}

bool Twitter_core::startAuthorization(unsigned long)
{
    Signature signer;
    if (!xSigner(signer, false, "Twitter_core::startAuthorization()"))
        return false;
    const QUrl url = apiEndpoint(requestTokenPath);
    signer.urlString = signedUrl(url);
    // Out of band: the service shows the PIN instead of calling back.
    if (!signWith(signer, "oauth_callback", QStringLiteral("oob"))) {
        qCCritical(lcTwitter, "Twitter_core::startAuthorization() - failed to createSignature");
        return false;
    }
    requestToken.clear();
    requestTokenSecret.clear();
    send(signer, url, [this](QNetworkReply *r) { requestTokenFinished(r); });
    return true;
}

void Twitter_core::requestTokenFinished(QNetworkReply *reply)
{
    if (!xAnswered(reply, false, false)) {
        const int status = httpStatus.toInt();
        Q_EMIT authorizationResult(false, QString(),
            status == 401     ? CredentialsRefused
                : status == 0 ? NoAnswer
                              : 0ul);
        return;
    }
    const QUrlQuery answer(QString::fromUtf8(HttpTransport::body(reply)).trimmed());
    const QString token = answer.queryItemValue(QStringLiteral("oauth_token"), QUrl::FullyDecoded);
    const QString secret
        = answer.queryItemValue(QStringLiteral("oauth_token_secret"), QUrl::FullyDecoded);
    // Without the confirmation the service did not take the out-of-band
    // callback, and no PIN would come.
    if (token.isEmpty() || secret.isEmpty()
        || answer.queryItemValue(QStringLiteral("oauth_callback_confirmed"))
            != QLatin1String("true")) {
        qCCritical(lcTwitter, "Twitter_core::requestTokenFinished() - no request token");
        errorText = tr("The sign-in reply of the server could not be read.");
        Q_EMIT authorizationResult(false, QString(), 0);
        return;
    }
    requestToken = token;
    requestTokenSecret = secret;
    QUrl page = apiEndpoint(authorizePath);
    page.setQuery(QStringLiteral("oauth_token=") + encoded(token));
    Q_EMIT authorizationResult(true, page.toString(QUrl::FullyEncoded), 0);
}

bool Twitter_core::logInWithPin(const QString &pin)
{
    const QString verifier = pin.trimmed();
    if (requestToken.isEmpty() || verifier.isEmpty()) {
        qCCritical(lcTwitter, "Twitter_core::logIn() - no request token or PIN");
        return false;
    }
    signature.clear();
    signature.initDefaults();
    if (!xSigner(signature, false, "Twitter_core::logIn()"))
        return false;
    signature.oauth_token = requestToken;
    signature.oauth_token_secret = requestTokenSecret;
    signature.setupOAuthParams();
    const QUrl url = apiEndpoint(accessTokenPath);
    signature.urlString = signedUrl(url);
    if (!signWith(signature, "oauth_verifier", verifier)) {
        qCCritical(lcTwitter, "Twitter_core::logIn() - failed to createSignature");
        return false;
    }
    // The exchange spends the request token, whether the PIN was right or not.
    requestToken.clear();
    requestTokenSecret.clear();
    send(signature, url, [this](QNetworkReply *r) { xLoginFinished(r); });
    return true;
}

void Twitter_core::xLoginFinished(QNetworkReply *reply)
{
    if (overtakenBySignOut(reply)) {
        Q_EMIT loginResult(false, 0);
    } else if (xAnswered(reply, false, false)) {
        // The same four fields as the answer of the password sign-in.
        Q_EMIT loginResult(processLoginResponse(reply), 0);
    } else {
        const int status = httpStatus.toInt();
        Q_EMIT loginResult(false,
            status == 401     ? CredentialsRefused
                : status == 0 ? NoAnswer
                              : 0ul);
    }
}

bool Twitter_core::xIsLoggedIn()
{
    Signature signer;
    if (!xSigner(signer, true, "Twitter_core::isLoggedIn()"))
        return false;
    QUrl url = apiEndpoint(mePath);
    signer.http_method = QStringLiteral("GET");
    signer.urlString = signedUrl(url);
    signer.addSignatureParam(QStringLiteral("user.fields"), userFields);
    if (!signer.createSignature(0)) {
        qCCritical(lcTwitter, "Twitter_core::isLoggedIn() - failed to createSignature");
        return false;
    }
    url.setQuery(QStringLiteral("user.fields=") + userFields);
    send(signer, url, [this](QNetworkReply *reply) {
        bool ok = !overtakenBySignOut(reply) && xAnswered(reply, false, true);
        if (ok) {
            const QJsonObject data = XApiReply(HttpTransport::body(reply)).data();
            user.id = text(data, "id");
            user.name = text(data, "name");
            user.screen_name = text(data, "username");
            user.profile_image_url = text(data, "profile_image_url");
            ok = !user.id.isEmpty() && !user.screen_name.isEmpty();
            if (!ok)
                errorText = unreadable();
        }
        Q_EMIT isLoggedInResult(ok, 0);
    });
    return true;
}

bool Twitter_core::xSendTweet(const QString &status)
{
    if (status.isEmpty()) {
        qCCritical(lcTwitter, "Twitter_core::isLoggedIn() - empty tweet");
        return false;
    }
    Signature signer;
    if (!xSigner(signer, true, "Twitter_core::doTweet()"))
        return false;
    const QUrl url = apiEndpoint(tweetsPath);
    signer.urlString = signedUrl(url);
    // A JSON body is not form-encoded, so none of it is signed.
    if (!signer.createSignature(0)) {
        qCCritical(lcTwitter, "Twitter_core::doTweet() - failed to createSignature");
        return false;
    }
    const QByteArray json = QJsonDocument(
        QJsonObject { { QStringLiteral("text"),
            status } }).toJson(QJsonDocument::Compact);
    send(
        signer, url,
        [this, userId = signer.user_id](
            QNetworkReply *reply) { xStatusFinished(reply, &ITwitter_core::tweetResult, userId); },
        json);
    return true;
}

bool Twitter_core::xGetTweet(const QString &id)
{
    // Ids are numbers; anything else would change the path.
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,19}$"));
    if (!number.match(id).hasMatch()) {
        qCCritical(lcTwitter, "Twitter_core::getTweet() - not a status id: %s", qUtf8Printable(id));
        return false;
    }
    Signature signer;
    if (!xSigner(signer, true, "Twitter_core::getTweet()"))
        return false;
    QUrl url = apiEndpoint(tweetsPath + u'/' + id);
    signer.http_method = QStringLiteral("GET");
    signer.urlString = signedUrl(url);
    signer.addSignatureParam(QStringLiteral("tweet.fields"), QStringLiteral("author_id"));
    if (!signer.createSignature(0)) {
        qCCritical(lcTwitter, "Twitter_core::getTweet() - failed to createSignature");
        return false;
    }
    url.setQuery(QStringLiteral("tweet.fields=author_id"));
    send(signer, url, [this](QNetworkReply *reply) {
        xStatusFinished(reply, &ITwitter_core::getTweetResult, QString());
    });
    return true;
}

void Twitter_core::xStatusFinished(QNetworkReply *reply, StatusResult result, const QString &userId)
{
    const bool posted = result == &ITwitter_core::tweetResult;
    if (xAnswered(reply, posted, true)) {
        const XApiReply answer(HttpTransport::body(reply));
        const QJsonObject data = answer.data();
        const QString id = text(data, "id");
        if (!id.isEmpty()) {
            Q_EMIT(this->*result)
            (true, text(data, "text"), id, posted ? userId : text(data, "author_id"), 0);
            return;
        }
        // A partial answer (no such status) says what went wrong instead.
        errorText = answer.problem().isEmpty() ? unreadable() : answer.problem();
    }
    Q_EMIT(this->*result)(false, posted ? errorText : QString(), QString(), QString(), 0);
}

bool Twitter_core::xAnswered(QNetworkReply *reply, bool created, bool tokenUsed)
{
    const int status = HttpTransport::answeredStatus(reply);
    httpStatus = status;
    if (status == 200 || (created && status == 201))
        return true;
    if (status == 0) {
        errorText = HttpTransport::failureReason(reply);
        return false;
    }
    // Logs the headers; the text of a plain or XML answer, or of none.
    processErrorResponse(reply);
    const XApiReply answer(HttpTransport::body(reply));
    if (answer.isObject()) {
        const QString problem = answer.problem();
        errorText = problem.isEmpty() ? tr("The service answered HTTP %1").arg(status) : problem;
    }
    const QDateTime reset = XApiReply::rateLimitReset(reply->rawHeader("x-rate-limit-reset"));
    if (status == 429 && reset.isValid()) {
        errorText = tr("Twitter takes no more requests for now; try again at %1.")
                        .arg(reset.toLocalTime().toString(QStringLiteral("HH:mm")));
    }
    // Only a token the service no longer knows is dropped: a signature or
    // clock problem is not the token's fault.
    if (status == 401 && tokenUsed && answer.tokenRejected()) {
        qCCritical(
            lcTwitter, "Twitter_core::xAnswered() - the stored token was refused; signed out");
        logOut(0);
    }
    return false;
}
