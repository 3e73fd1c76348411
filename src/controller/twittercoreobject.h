#ifndef TWITTERCOREOBJECT_H
#define TWITTERCOREOBJECT_H

#include "zpvtwitter_export.h"

#include "controller/hostcontract.h"
#include "controller/keyvaluerecord.h"
#include "controller/snappcoreobject.h"
#include "controller/twinfo.h"
#include "controller/uploadstatus.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

class QDomDocument;
class QTimer;
class Twitter_core;

// The controller the host creates for the plug-in: it drives the wizard
// through the wizard host, takes the selection from the applet manager,
// signs the user in and shares through its Twitter client. The host talks to
// it only through the signals and slots below, connected by their signature
// strings, so names and parameter lists must not change; the values in their
// flags words are those of controller/hostcontract.h.
class ZPVTWITTER_EXPORT TwitterCoreObject : public SNAppCoreObject
{
    Q_OBJECT
public:
    // wizardHost becomes the Qt parent; appletManager holds the address of
    // the host's applet manager object.
    TwitterCoreObject(QObject *wizardHost, unsigned long appletManager);
    ~TwitterCoreObject() override;

    QString getUserErrorMsg() const;
    void sysTrayClicked(bool clicked);
    bool registerForInfoRequest(QObject *page, unsigned long flags);

Q_SIGNALS:
    void showMustUpload(unsigned long flags);
    void requestSelectContent(unsigned long flags);
    void showWelcome(unsigned long flags);
    void showError(unsigned long flags);
    void sendInfo(const QString &text, unsigned long flags);
    void sendInfo(const QString &text, const QImage &image, unsigned long flags);
    void popupMessage(unsigned long flags);
    void startUploadWizard(unsigned long flags);
    void doWizardNext(unsigned long flags);
    void doWizardBack(unsigned long flags);
    void requestConfirmation(unsigned long flags);
    void cancelAllThreads(unsigned long flags);
    void clearWizardPages(unsigned long flags);
    void registerSNAppCore(QObject *core, unsigned long flags);
    void snAppReadyToClose(const QString &id, bool ok, unsigned long flags);
    void loginComplete(bool status, const QString &text);
    void getLoggedInUserComplete(bool status, const QString &text);
    void resumeWizard(unsigned long flags);
    void verifyShutdown(QWidget *widget, bool agree, unsigned long flags);
    void authorizeRequestApp(const QString &appid, bool authorized, unsigned long authorizeFlags);
    void startMinimize(bool minimize);
    void setExternalProgressRange(int minimum, int maximum);
    void setExternalProgressValue(int value);
    void cancelSNApp(unsigned long flags);
    void uploadComplete(unsigned long flags);
    void requestApp(const QString &appid, const QString &data, unsigned long flags);
    void appRequest(const QString &appId, unsigned long flags);
    void youTubeStatus(unsigned long status);
    void assertValid();

public Q_SLOTS:
    void onUploadWizardAgain(unsigned long flags);
    void onResume(unsigned long flags);
    void onRequestSendInfo(unsigned long flags);
    void onWizardBackBtn(bool checked);
    void onWizardNextBtn(bool checked);
    void onWizardApplyBtn(bool checked);
    void onWizardUploadBackBtn(bool checked);
    void onWizardUploadBtn(bool checked);
    void onReportInfo(const QString &text, unsigned long flags);
    void onCancel(bool checked);
    void onConfirm(int response, unsigned long flags);
    void onThreadCancelled(long id, unsigned long flags);
    void onUploadComplete(long id, unsigned long flags);
    void onRequestSNAppReadyToClose(const QString &id, unsigned long flags);
    void onLoginNext(bool checked);
    void onCreateAccount();
    void onGetLoggedInUserComplete(bool status, unsigned long flags);
    void onRequestShutdown(unsigned long flags);
    void onRequestAuthorizeRequestApp(unsigned long flags);
    void confirmShutdown(int response, unsigned long flags);
    void confirmAuthorize(int response, unsigned long flags);
    void onMinimize();
    void onLogout(bool checked);
    void onLogin(unsigned long flags);
    void onNextMustUploadClicked(bool checked);
    void onBackMustUploadClicked(bool checked);
    void onReviewNextBtn(bool checked);
    void onSubmitForApproval(const QStringList &paths, unsigned long flags) override;
    void onAppClosed(const QString &appId, unsigned long flags);
    void onUploadStatus(const QString &appid, bool status, const QString &path, const QString &link,
        unsigned long flags);
    void onUploadStatusError(const QString &appid, bool status, const QString &path,
        const QString &link, unsigned long flags);
    void onShortUrlInPlace(unsigned long flags);
    void onShowEvent(unsigned long flags);
    void onHideEvent(unsigned long flags);

private Q_SLOTS:
    void onStartCoreObject(unsigned long flags);
    void onSelectContent(const QString &path, const QImage &image, unsigned long flags);
    void onLoginComplete(bool status, unsigned long flags);
    void onFileUploadComplete(bool status, const QString &path, const QString &link,
        unsigned long flags, int statusRetCode, const QString &statusMsg);
    void onTweetResult(bool status, const QString &text, const QString &id, const QString &uid,
        unsigned long flags);
    void onGetShortUrlResult(bool status, const QString &path, const QString &origUrl,
        const QString &shortUrl, unsigned long flags);
    void onCloseDownLaterTimer();

protected:
    void clear() override;

    void clientLogin();
    void getLoggedInUser();
    bool NoError(QDomDocument &document);
    void Append(const QString &text);
    void sendTweet(unsigned long flags);
    void processPendingShortUrlRequest();
    void checkYTRequirement(const QString &path, unsigned long flags);
    bool okToBeginUploadWizard(unsigned long flags);
    void resetVerifyFlags();
    void startCloseDownLater(unsigned long flags);
    void dumpStatus();
    void loadSettings();
    void saveSettings() const;

    // The delay before a close-down asked for by startCloseDownLater.
    static constexpr int closeDownDelayMs = 20000;
    // Tests shorten the delay of their own instances only.
    void setCloseDownDelay(int milliseconds);

private:
    void getSelectedContent();
    void connectClient();
    void connectWizardHost();
    void connectAppletManager();
    // Arms the step that runs once every kind in mask has been reported.
    void armPendingStep(unsigned long mask, bool textPages, bool imagePages);
    void runPendingStep();
    void runTweetStep();
    void requestShortLink(const QString &path);
    // Forgets the steps of the share under way: nothing armed, and results
    // of requests already out are dropped when they arrive.
    void abandonShare();
    void showFailure(unsigned long error, const QString &message);
    // The outcome of a user check; failure is the text to show, null for
    // the client's own.
    void confirmationFinished(bool status, const QString &failure);
    QStringList selectionPaths() const;

    // Results of one kind of client request still to come; those of requests
    // sent before the share was abandoned are dropped when they arrive.
    struct AwaitedResults
    {
        int sent = 0;
        int stale = 0;
        int live() const { return sent - stale; }
        void abandon() { stale = sent; }
        // False for a result to drop.
        bool arrive()
        {
            sent = qMax(sent - 1, 0);
            if (stale == 0)
                return true;
            --stale;
            return false;
        }
    };

    // Where the share stands. The flags do not exclude each other: the
    // hand-over and a sign-in run side by side, and a tweet may wait for the
    // upload. abandonShare() forgets the steps under way (the two sign-in
    // checks, the short-link request, the deferred tweet); clear() also the
    // sign-in and the hand-over; uploadDone lasts as long as the controller.
    struct ShareFlow
    {
        // A password sign-in was accepted and its user check is under way.
        bool signingIn = false;
        // The stored token was found at start and no failed check has shown
        // its error yet (a confirmed check leaves it set): a failed user
        // check then shows StoredSignInInvalid.
        bool checkingStoredSignIn = false;
        // The last user check confirmed the user.
        bool signedIn = false;
        // The selected video has no link from the video upload applet.
        bool mustUploadFirst = false;
        // Handed over to the video upload applet, whose report is awaited.
        bool waitingForUpload = false;
        // The video upload applet reported the upload finished.
        bool uploadDone = false;
        // A page asked for a short link: requested once the paths arrive.
        bool shortUrlRequestPending = false;
        // Tweet pressed during the hand-over: sent by onShortUrlInPlace.
        bool tweetDeferred = false;
    };

    Twitter_core *m_client = nullptr;
    QObject *m_wizardHost = nullptr;
    QObject *m_appletManager = nullptr;
    QHash<QString, UploadStatus> m_uploads;
    QString m_shortUrl;
    QString m_errorLog;
    QString m_userErrorMsg;
    TWInfo m_tweetInfo;
    QHash<QString, QImage> m_selection;
    QStringList m_reportedPaths;
    KeyValueRecord m_signInRecord;
    unsigned long m_pendingReportMask = 0;
    unsigned long m_reportMask = 0;
    unsigned long m_tweetReportMask = HostContract::InfoKind::Tweet | HostContract::InfoKind::SignIn
        | HostContract::InfoKind::Paths;
    // Why the plug-in is hiding or closing (HostContract::CloseDown).
    unsigned long m_closeDownState = HostContract::CloseDown::None;
    unsigned long m_requestFlags = 0;
    ShareFlow m_flow;
    AwaitedResults m_signIns;
    AwaitedResults m_checks;
    AwaitedResults m_shortLinks;
    AwaitedResults m_tweets;
    // Bumped when a share is abandoned: work queued before then is dropped.
    quint32 m_share = 0;
    QTimer *m_closeDownTimer = nullptr;
    int m_closeDownDelayMs = closeDownDelayMs;
};

#endif
