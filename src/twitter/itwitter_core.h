#ifndef ITWITTER_CORE_H
#define ITWITTER_CORE_H

#include "zpvtwitter_export.h"

#include <QObject>
#include <QString>

// The Twitter client as the plug-in's controller sees it. Every operation
// sends one request and returns at once: true when the request went out. The
// outcome arrives later as exactly one of the result signals.
class ZPVTWITTER_EXPORT ITwitter_core : public QObject
{
    Q_OBJECT
public:
    // Reasons in the flags word of a failed result.
    enum ResultFlag : unsigned long {
        // loginResult: the server refused the credentials.
        CredentialsRefused = 0x1,
        // loginResult: no answer at all.
        NoAnswer = 0x2,
        // getShortUrlResult: no link recorded for the applet.
        NoLinkForApplet = 0x8,
        // getShortUrlResult: the recorded link is empty.
        EmptyLink = 0x10,
    };

    ITwitter_core(QObject *parent, unsigned long flags);
    ~ITwitter_core() override;

    virtual bool logIn(const QString &userName, const QString &password, unsigned long flags) = 0;
    virtual bool isLoggedIn(unsigned long flags) = 0;
    virtual bool logOut(unsigned long flags) = 0;
    virtual bool doTweet(const QString &text, unsigned long flags) = 0;
    virtual bool getTweet(const QString &id, unsigned long flags) = 0;
    virtual bool haveAccessToken(unsigned long flags) = 0;
    virtual void setSaveState(bool save) = 0;
    virtual bool getSaveState() = 0;
    virtual bool getShortUrl(const QString &path, const QString &appId, unsigned long flags) = 0;
    virtual bool signatureTest(unsigned long flags) = 0;
    virtual bool signatureTweetTest(unsigned long flags) = 0;

Q_SIGNALS:
    void loginResult(bool status, unsigned long flags);
    void isLoggedInResult(bool status, unsigned long flags);
    void tweetResult(bool status, QString text, QString id, QString uid, unsigned long flags);
    void getTweetResult(bool status, QString text, QString id, QString uid, unsigned long flags);
    void getShortUrlResult(
        bool status, QString path, QString origUrl, QString shortUrl, unsigned long flags);
};

#endif
