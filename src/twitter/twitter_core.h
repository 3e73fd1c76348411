#ifndef TWITTER_CORE_H
#define TWITTER_CORE_H

#include "zpvtwitter_export.h"

#include "twitter/itwitter_core.h"
#include "twitter/signature.h"
#include "twitter/user.h"

#include <QHash>
#include <QStringList>
#include <QVariant>

#include <functional>

class HttpTransport;
class QNetworkReply;
class Tweet;
class UrlShortener;

// The Twitter client: xAuth sign-in, the signed user check, status update and
// status fetch, short links, and the signer's known-answer self-tests.
// Endpoints come from the settings group "Twitter" ("api_url", "web_url",
// "ca_certificates", "timeout_ms"). With "api_flavor" "x" it speaks today's
// API instead: the browser sign-in with a PIN and the JSON resources under
// /2/, signed with the consumer pair of the settings. All requests of one client share one
// connection pool; replies are handled in later turns of the event loop, in
// the order they finish.
class ZPVTWITTER_EXPORT Twitter_core : public ITwitter_core
{
    Q_OBJECT
public:
    Twitter_core(QObject *parent, unsigned long flags);
    // Signs out unless the save state is on, then stores the save state.
    ~Twitter_core() override;

    bool logIn(const QString &userName, const QString &password, unsigned long flags) override;
    bool isLoggedIn(unsigned long flags) override;
    bool logOut(unsigned long flags) override;
    bool doTweet(const QString &text, unsigned long flags) override;
    bool getTweet(const QString &id, unsigned long flags) override;
    bool haveAccessToken(unsigned long flags) override;
    void setSaveState(bool save) override;
    bool getSaveState() override;
    bool getShortUrl(const QString &path, const QString &appId, unsigned long flags) override;
    bool signatureTest(unsigned long flags) override;
    bool signatureTweetTest(unsigned long flags) override;

    QString getErrorText() const;

    // The x flavour's browser sign-in: asks for a request token, then
    // reports through authorizationResult the page where the user approves
    // and reads the PIN that logIn() takes as its password. False (and no
    // signal) when the request could not be made, with errorText saying why.
    bool startAuthorization(unsigned long flags);

    // For measurements: a fresh connection for every request instead of the
    // shared pool.
    void setManagerPerRequest(bool perRequest);

    User user;

Q_SIGNALS:
    // url: the authorize page to open in the browser (empty on failure);
    // flags as those of loginResult.
    void authorizationResult(bool status, QString url, unsigned long flags);

protected:
    virtual bool signatureTest1(unsigned long flags);
    virtual bool signatureTest2(unsigned long flags);
    virtual bool doTweetOld(const QString &text, unsigned long flags);
    virtual bool doTweetNew(const QString &text, unsigned long flags);

    bool logIn_old(const QString &userName, const QString &password, unsigned long flags);
    bool processLoginResponse(QNetworkReply *reply);
    bool processIsLoggedInResponse(QNetworkReply *reply);
    // Both status replies: noTextLine is what each logs for an empty answer.
    bool processTweetResponse(QNetworkReply *reply, Tweet &tweet, const char *noTextLine);
    void processErrorResponse(QNetworkReply *reply);

    Signature signature;
    QVariant httpStatus;
    bool saveState = false;
    UrlShortener *shortener = nullptr;
    QString pendingShortPath; // path of the latest request sent to the shortener
    // Long link -> media paths waiting for its one request in flight, oldest first.
    QHash<QString, QStringList> pendingShortPaths;
    // The short links already known are kept for the thread, not the client.
    QString errorText;

private Q_SLOTS:
    void loginFinished(QNetworkReply *reply);
    void isLoggedInFinished(QNetworkReply *reply);
    void onShortenResult(bool status, QString origUrl, QString shortUrl, unsigned long flags);

private:
    using StatusResult = void (ITwitter_core::*)(bool, QString, QString, QString, unsigned long);

    // A reply sent before the latest sign-out: errorText says so.
    bool overtakenBySignOut(QNetworkReply *reply);
    // The status update in its current or its old form.
    bool sendTweet(const QString &text, bool oldForm);
    // handle gets the finished reply, which is deleted later.
    // A non-empty json goes as the body, which is then not signed.
    void send(const Signature &signer, const QUrl &url, std::function<void(QNetworkReply *)> handle,
        const QByteArray &json = QByteArray());
    // True for a 200 answer. Otherwise errorText says why: the server's error
    // text, or the network's own reason when there was no complete answer.
    // The status goes to httpStatus.
    bool answered(QNetworkReply *reply);
    // The reply of the status update or fetch, reported through result; only
    // the update's failure carries errorText.
    void statusFinished(
        QNetworkReply *reply, StatusResult result, const char *noTextLine, bool failureSaysWhy);

    // The x flavour (twitter_core_x.cpp).
    bool logInWithPin(const QString &pin);
    bool xIsLoggedIn();
    bool xSendTweet(const QString &text);
    bool xGetTweet(const QString &id);
    // A signer with the consumer pair of the settings (and the stored access
    // token when withToken); false, logged as who, when one is missing.
    bool xSigner(Signature &signer, bool withToken, const char *who);
    // As answered(), for the x flavour's answers (created: 201 is success
    // too). A 401 that says the token is invalid signs out when tokenUsed.
    bool xAnswered(QNetworkReply *reply, bool created, bool tokenUsed);
    void requestTokenFinished(QNetworkReply *reply);
    void xLoginFinished(QNetworkReply *reply);
    // userId: the poster's, for a status update (whose answer does not name it).
    void xStatusFinished(QNetworkReply *reply, StatusResult result, const QString &userId);

    HttpTransport *transport = nullptr;
    uint signOuts = 0;
    // The request token of the browser sign-in under way; used once.
    QString requestToken;
    QString requestTokenSecret;
};

// Factory for hosts that load the library by name.
extern "C" ZPVTWITTER_EXPORT ITwitter_core *GetTestObject(
    QObject *parent, void *unused, unsigned long flags);

#endif
