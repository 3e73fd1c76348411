#include "twitter/twitter_core.h"

#include "badges/badger.h"
#include "platform/xmlguard.h"
#include "twitter/httptransport.h"
#include "twitter/signedrequest.h"
#include "twitter/tweet.h"
#include "twitter/twittersettings.h"
#include "twitter/urlshortener.h"
#include "zpvlogging.h"

#include <QDomDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>

namespace {

const QString accessTokenPath = QStringLiteral("/oauth/access_token");
const QString userCheckPath = QStringLiteral("/1/users/show.xml");
const QString statusUpdatePath = QStringLiteral("/1/statuses/update.xml");
const QString statusFetchPath = QStringLiteral("/1/statuses/show/%1.xml");

// Set on every reply: the client's sign-out count when it was sent.
constexpr char signOutsProperty[] = "zpvSignOuts";

QString accessTokenUrl()
{
    return TwitterSettings::endpoint(TwitterSettings::apiUrl(), accessTokenPath)
        .toString(QUrl::FullyEncoded);
}

QSettings twitterSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(TwitterSettings::organisation),
        QString::fromLatin1(TwitterSettings::application));
}

QString saveStateKey()
{
    return QString::fromLatin1(TwitterSettings::group) + QStringLiteral("/save_state");
}

// The user check has always logged the sign-in's line for an empty answer.
constexpr char noLoginTextLine[] = "Twitter_core::processLoginResponse() - no return text";

QString unreadableReply()
{
    return Twitter_core::tr("The service answered, but its reply could not be read");
}

// The body of an answer as text; an empty one is logged with noTextLine.
QString answerText(QNetworkReply *reply, const char *noTextLine)
{
    const QString text = QString::fromUtf8(HttpTransport::body(reply));
    if (text.isEmpty())
        qCCritical(lcTwitter, "%s", noTextLine);
    return text;
}

// Long links and their short links for the whole thread, so that a clip
// shared again (with a new controller and client) needs no request. Keyed by
// the shortener too: another service has other short links.
QHash<QString, QString> &shortLinks()
{
    static thread_local QHash<QString, QString> links;
    return links;
}

QString shortLinkKey(const QString &link)
{
    return TwitterSettings::shortenerUrl().toString(QUrl::FullyEncoded) + u' ' + link;
}

// Header values that must never reach a log.
bool isSecretHeader(const QByteArray &name)
{
    return name.compare("Set-Cookie", Qt::CaseInsensitive) == 0
        || name.compare("Authorization", Qt::CaseInsensitive) == 0
        || name.compare("Cookie", Qt::CaseInsensitive) == 0;
}

} // namespace

Twitter_core::Twitter_core(QObject *parent, unsigned long)
    : ITwitter_core(parent, 0)
    , user(nullptr)
    , signature(QStringLiteral("POST"), Signature::defaultConsumerKey(),
          Signature::defaultConsumerSecret(), accessTokenUrl())
    , transport(new HttpTransport(this))
{
    shortener = new UrlShortener(this);
    connect(shortener, &UrlShortener::shortenResult, this, &Twitter_core::onShortenResult,
        Qt::QueuedConnection);
    saveState = twitterSettings().value(saveStateKey(), false).toBool();
}

Twitter_core::~Twitter_core()
{
    if (!saveState)
        logOut(0);
    TwitterSettings::restrictSettingsFile();
    twitterSettings().setValue(saveStateKey(), saveState);
}

bool Twitter_core::logIn(const QString &userName, const QString &password, unsigned long)
{
    if (TwitterSettings::xFlavor())
        return logInWithPin(password);
    signature.clear();
    signature.initDefaults();
    signature.x_auth_username = userName;
    signature.x_auth_password = password;
    signature.addParam(QStringLiteral("x_auth_mode"), QStringLiteral("client_auth"));
    signature.addParam(QStringLiteral("x_auth_password"), password);
    signature.addParam(QStringLiteral("x_auth_username"), userName);
    signature.urlString = accessTokenUrl();
    signature.x_auth_mode = QStringLiteral("client_auth");
    if (!signature.createSignature(0)) {
        qCCritical(lcTwitter, "Twitter_core::logIn() - failed to createSignature");
        return false;
    }
    send(signature, QUrl(signature.urlString), [this](QNetworkReply *r) { loginFinished(r); });
    return true;
}

bool Twitter_core::logIn_old(const QString &userName, const QString &password, unsigned long)
{
    signature.urlString = accessTokenUrl();
    signature.x_auth_mode = QStringLiteral("client_auth");
    signature.x_auth_username = userName;
    signature.x_auth_password = password;
    signature.postBody = QStringLiteral("x_auth_mode=client_auth")
        + QStringLiteral("&x_auth_password=")
        + QString::fromLatin1(QUrl::toPercentEncoding(password))
        + QStringLiteral("&x_auth_username=")
        + QString::fromLatin1(QUrl::toPercentEncoding(userName));
    if (!signature.createLoginSignature(0)) {
        qCCritical(lcTwitter, "Twitter_core::logIn() - failed to createLoginSignature");
        return false;
    }
    send(signature, QUrl(signature.urlString), [this](QNetworkReply *r) { loginFinished(r); });
    return true;
}

bool Twitter_core::logOut(unsigned long)
{
    // Replies of requests sent before are answers for a user who has left.
    ++signOuts;
    signature.clear();
    signature.saveCredentials();
    user.clear();
    saveState = false;
    return true;
}

bool Twitter_core::haveAccessToken(unsigned long)
{
    Signature stored;
    stored.loadCredentials();
    return !stored.oauth_token.isEmpty();
}

void Twitter_core::setSaveState(bool save)
{
    saveState = save;
}

bool Twitter_core::getSaveState()
{
    return saveState;
}

QString Twitter_core::getErrorText() const
{
    return errorText;
}

void Twitter_core::setManagerPerRequest(bool perRequest)
{
    transport->setManagerPerRequest(perRequest);
    shortener->transport()->setManagerPerRequest(perRequest);
}

void Twitter_core::send(const Signature &signer, const QUrl &url,
    std::function<void(QNetworkReply *)> handle, const QByteArray &json)
{
    HttpTransport::Request request;
    request.url = url;
    if (!json.isEmpty()) {
        request.contentType = QByteArrayLiteral("application/json");
        request.body = json;
    }
    QNetworkReply *reply = sendSigned(*transport, signer, request);
    reply->setProperty(signOutsProperty, signOuts);
    // Handled in a later turn of the event loop, never inside the call that sent it.
    connect(
        reply, &QNetworkReply::finished, this,
        [reply, handle = std::move(handle)] {
            handle(reply);
            reply->deleteLater();
        },
        Qt::QueuedConnection);
}

bool Twitter_core::answered(QNetworkReply *reply)
{
    const int status = HttpTransport::answeredStatus(reply);
    httpStatus = status;
    if (status == 200)
        return true;
    if (status == 0)
        errorText = HttpTransport::failureReason(reply);
    else
        processErrorResponse(reply);
    return false;
}

bool Twitter_core::overtakenBySignOut(QNetworkReply *reply)
{
    if (reply->property(signOutsProperty).toUInt() == signOuts)
        return false;
    errorText = tr("Signed out before the service answered.");
    return true;
}

void Twitter_core::loginFinished(QNetworkReply *reply)
{
    if (overtakenBySignOut(reply)) {
        Q_EMIT loginResult(false, 0);
    } else if (answered(reply)) {
        Q_EMIT loginResult(processLoginResponse(reply), 0);
    } else {
        const int status = httpStatus.toInt();
        Q_EMIT loginResult(false, status == 401 ? CredentialsRefused : status == 0 ? NoAnswer : 0ul);
    }
}

bool Twitter_core::processLoginResponse(QNetworkReply *reply)
{
    const QString text = answerText(reply, noLoginTextLine);
    if (!text.isEmpty() && signature.consumeLoginResponse(text)) {
        signature.saveCredentials();
        return true;
    }
    // A partly read token could never be confirmed; keep whatever was
    // stored before instead.
    errorText = tr("The sign-in reply of the server could not be read.");
    signature.oauth_token.clear();
    signature.oauth_token_secret.clear();
    signature.user_id.clear();
    signature.screen_name.clear();
    return false;
}

void Twitter_core::processErrorResponse(QNetworkReply *reply)
{
    const QString text = QString::fromUtf8(HttpTransport::body(reply));
    QDomDocument doc(QStringLiteral("error_msg"));
    QString message;
    if (setGuardedContent(doc, text))
        message = doc.documentElement().firstChildElement(QStringLiteral("error")).text();
    else if (!text.contains(QLatin1String("<html"), Qt::CaseInsensitive))
        message = text;
    // A page of a proxy or server carries no message of the service's own.
    message = message.trimmed();
    if (message.isEmpty()) {
        message = tr("The service answered HTTP %1 %2")
                      .arg(httpStatus.toInt())
                      .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                      .trimmed();
    }
    errorText = message;

    qCDebug(lcTwitter, "------ headers -----");
    const auto headers = reply->rawHeaderPairs();
    for (const auto &header : headers) {
        qCDebug(lcTwitter, "%s: %s", header.first.constData(),
            isSecretHeader(header.first) ? "(hidden)" : header.second.constData());
    }
}

bool Twitter_core::isLoggedIn(unsigned long)
{
    if (TwitterSettings::xFlavor())
        return xIsLoggedIn();
    Signature signer;
    if (!startTokenSignature(signer)) {
        qCCritical(lcTwitter, "Twitter_core::isLoggedIn() - no credentials");
        return false;
    }
    // A GET is signed with its query parameters and without the query in the URL.
    QUrl url = TwitterSettings::endpoint(TwitterSettings::apiUrl(), userCheckPath);
    signer.http_method = QStringLiteral("GET");
    signer.urlString = url.toString(QUrl::FullyEncoded);
    signer.addSignatureParam(QStringLiteral("user_id"), signer.user_id);
    if (!signer.createSignature(0)) {
        qCCritical(lcTwitter, "Twitter_core::isLoggedIn() - failed to createSignature");
        return false;
    }
    url.setQuery(
        QStringLiteral("user_id=") + QString::fromLatin1(QUrl::toPercentEncoding(signer.user_id)));
    send(signer, url, [this](QNetworkReply *r) { isLoggedInFinished(r); });
    return true;
}

void Twitter_core::isLoggedInFinished(QNetworkReply *reply)
{
    Q_EMIT isLoggedInResult(
        !overtakenBySignOut(reply) && answered(reply) && processIsLoggedInResponse(reply), 0);
}

bool Twitter_core::processIsLoggedInResponse(QNetworkReply *reply)
{
    const QString text = answerText(reply, noLoginTextLine);
    if (text.isEmpty() || !user.fromText(text)) {
        errorText = unreadableReply();
        return false;
    }
    return true;
}

bool Twitter_core::doTweet(const QString &text, unsigned long flags)
{
    return doTweetNew(text, flags);
}

bool Twitter_core::doTweetNew(const QString &text, unsigned long)
{
    if (TwitterSettings::xFlavor())
        return xSendTweet(text);
    return sendTweet(text, false);
}

bool Twitter_core::doTweetOld(const QString &text, unsigned long)
{
    return sendTweet(text, true);
}

bool Twitter_core::sendTweet(const QString &text, bool oldForm)
{
    if (text.isEmpty()) {
        qCCritical(lcTwitter, "Twitter_core::isLoggedIn() - empty tweet");
        return false;
    }
    Signature signer;
    if (!startTokenSignature(signer)) {
        qCCritical(lcTwitter, "Twitter_core::doTweet() - no credentials");
        return false;
    }
    signer.addParam(QStringLiteral("status"), text);
    const QUrl url = TwitterSettings::endpoint(TwitterSettings::apiUrl(), statusUpdatePath);
    signer.urlString = url.toString(QUrl::FullyEncoded);
    // The old form signs a fixed text and writes the body by hand.
    const bool signedOk = oldForm ? signer.createBasicSignature(0) : signer.createSignature(0);
    if (!signedOk) {
        qCCritical(lcTwitter, "Twitter_core::doTweet() - failed to createBasicSignature");
        return false;
    }
    if (oldForm)
        signer.postBody
            = QStringLiteral("status=") + QString::fromLatin1(QUrl::toPercentEncoding(text));
    send(signer, url, [this](QNetworkReply *r) {
        statusFinished(r, &ITwitter_core::tweetResult,
            "Twitter_core::processTweetResponse() - no return text", true);
    });
    return true;
}

void Twitter_core::statusFinished(
    QNetworkReply *reply, StatusResult result, const char *noTextLine, bool failureSaysWhy)
{
    Tweet tweet(nullptr);
    if (answered(reply) && processTweetResponse(reply, tweet, noTextLine)) {
        Q_EMIT(this->*result)(true, tweet.text, tweet.id, tweet.user.id, 0);
        return;
    }
    const QString reason = failureSaysWhy ? errorText : QString();
    Q_EMIT(this->*result)(false, reason, QString(), QString(), 0);
}

bool Twitter_core::processTweetResponse(QNetworkReply *reply, Tweet &tweet, const char *noTextLine)
{
    const QString text = answerText(reply, noTextLine);
    if (!text.isEmpty())
        tweet.consumeTweetResponse(text);
    // Posted only when the answer names the status; a partial record (say,
    // a user without a picture) still does.
    if (!tweet.id.isEmpty())
        return true;
    errorText = unreadableReply();
    return false;
}

bool Twitter_core::getTweet(const QString &id, unsigned long)
{
    if (TwitterSettings::xFlavor())
        return xGetTweet(id);
    Signature signer;
    if (!startTokenSignature(signer)) {
        qCCritical(lcTwitter, "Twitter_core::getTweet() - no credentials");
        return false;
    }
    const QUrl url = TwitterSettings::endpoint(TwitterSettings::apiUrl(), statusFetchPath.arg(id));
    signer.http_method = QStringLiteral("GET");
    signer.urlString = url.toString(QUrl::FullyEncoded | QUrl::RemoveQuery);
    if (!signer.createSignature(0)) {
        qCCritical(lcTwitter, "Twitter_core::getTweet() - failed to createSignature");
        return false;
    }
    send(signer, url, [this](QNetworkReply *r) {
        statusFinished(r, &ITwitter_core::getTweetResult,
            "Twitter_core::processGetTweetResponse() - no return text", false);
    });
    return true;
}

bool Twitter_core::getShortUrl(const QString &path, const QString &appId, unsigned long)
{
    Badger badger;
    if (!badger.initialize(path)) {
        qCCritical(lcTwitter,
            "Twitter_core::getShortUrl() - failed to initialize badger for path: %s",
            qUtf8Printable(path));
        // Still one result: the caller would otherwise wait for ever.
        Q_EMIT getShortUrlResult(false, path, QString(), QString(), 0);
        return false;
    }
    QString link;
    if (!badger.getUrl(appId, link)) {
        Q_EMIT getShortUrlResult(false, path, QString(), QString(), NoLinkForApplet);
        return false;
    }
    if (link.isEmpty()) {
        Q_EMIT getShortUrlResult(false, path, QString(), QString(), EmptyLink);
        return false;
    }
    const auto cached = shortLinks().constFind(shortLinkKey(link));
    if (cached != shortLinks().cend()) {
        Q_EMIT getShortUrlResult(true, path, link, cached.value(), 0);
        return true;
    }
    // One request per link: whoever asks while it is out waits for its
    // answer, which names its own long link.
    pendingShortPath = path;
    QStringList &waiting = pendingShortPaths[link];
    waiting.append(path);
    if (waiting.size() == 1)
        shortener->shorten(link, 0);
    return true;
}

void Twitter_core::onShortenResult(
    bool status, QString origUrl, QString shortUrl, unsigned long flags)
{
    QStringList paths = pendingShortPaths.take(origUrl);
    if (paths.isEmpty())
        paths.append(pendingShortPath);
    if (status && !shortUrl.isEmpty())
        shortLinks().insert(shortLinkKey(origUrl), shortUrl);
    for (const QString &path : std::as_const(paths))
        Q_EMIT getShortUrlResult(status, path, origUrl, shortUrl, flags);
}

ITwitter_core *GetTestObject(QObject *parent, void *, unsigned long flags)
{
    return new Twitter_core(parent, flags);
}

#include "moc_twitter_core.cpp"
