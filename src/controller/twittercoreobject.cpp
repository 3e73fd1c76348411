#include "controller/twittercoreobject.h"

#include "catalog/contentinfo.h"
#include "twitter/twitter_core.h"
#include "zpvlogging.h"

#include <QTimer>

using namespace HostContract;

TwitterCoreObject::TwitterCoreObject(QObject *wizardHost, unsigned long appletManager)
    : SNAppCoreObject(wizardHost, appletManager)
    , m_tweetInfo(nullptr)
{
    resetVerifyFlags();
    setConstraintFlags(MovieFilesOnly);
    m_client = new Twitter_core(this, 0);
    setMaxCount(1);
    loadSettings();

    m_wizardHost = wizardHost;
    m_appletManager = reinterpret_cast<QObject *>(quintptr(appletManager));
    m_tweetInfo.firstWord = quintptr(m_appletManager);
    m_tweetInfo.secondWord = quintptr(m_wizardHost);

    getSelectedContent();
    connectClient();
    connectWizardHost();
    connectAppletManager();

    m_closeDownTimer = new QTimer(this);
    connect(m_closeDownTimer, SIGNAL(timeout()), this, SLOT(onCloseDownLaterTimer()),
        Qt::QueuedConnection);
}

TwitterCoreObject::~TwitterCoreObject()
{
    saveSettings();
}

void TwitterCoreObject::getSelectedContent()
{
    if (!m_appletManager)
        return;
    connect(this, SIGNAL(requestSelectContent(unsigned long)), m_appletManager,
        SLOT(onRequestSelectContent(unsigned long)), Qt::DirectConnection);
    connect(m_appletManager,
        SIGNAL(selectImageContent(const QString &, const QImage &, unsigned long)), this,
        SLOT(onSelectContent(const QString &, const QImage &, unsigned long)),
        Qt::DirectConnection);
    m_selection.clear();
    Q_EMIT requestSelectContent(0);
}

void TwitterCoreObject::connectClient()
{
    connect(m_client, &ITwitter_core::loginResult, this, &TwitterCoreObject::onLoginComplete,
        Qt::QueuedConnection);
    connect(m_client, &ITwitter_core::isLoggedInResult, this,
        &TwitterCoreObject::onGetLoggedInUserComplete, Qt::QueuedConnection);
    connect(m_client, &ITwitter_core::getShortUrlResult, this,
        &TwitterCoreObject::onGetShortUrlResult, Qt::QueuedConnection);
    connect(m_client, &ITwitter_core::tweetResult, this, &TwitterCoreObject::onTweetResult,
        Qt::QueuedConnection);
}

void TwitterCoreObject::connectWizardHost()
{
    if (!m_wizardHost)
        return;
    QObject *host = m_wizardHost;
    connect(this, SIGNAL(showMustUpload(unsigned long)), host,
        SLOT(onShowMustUpload(unsigned long)), Qt::QueuedConnection);
    connect(this, SIGNAL(showError(unsigned long)), host, SLOT(onShowError(unsigned long)),
        Qt::QueuedConnection);
    connect(this, SIGNAL(popupMessage(unsigned long)), host, SLOT(onPopupMessage(unsigned long)),
        Qt::QueuedConnection);
    connect(this, SIGNAL(showWelcome(unsigned long)), host, SLOT(onShowWelcome(unsigned long)),
        Qt::QueuedConnection);
    connect(this, SIGNAL(startUploadWizard(unsigned long)), host,
        SLOT(onStartUploadWizard(unsigned long)), Qt::DirectConnection);
    connect(this, SIGNAL(doWizardNext(unsigned long)), host, SLOT(onDoWizardNext(unsigned long)),
        Qt::QueuedConnection);
    connect(this, SIGNAL(doWizardBack(unsigned long)), host, SLOT(onDoWizardBack(unsigned long)),
        Qt::QueuedConnection);
    connect(this, SIGNAL(resumeWizard(unsigned long)), host, SLOT(onResumeWizard(unsigned long)),
        Qt::QueuedConnection);
    connect(this, SIGNAL(requestConfirmation(unsigned long)), host,
        SLOT(onRequestConfirmation(unsigned long)), Qt::QueuedConnection);
    connect(this, SIGNAL(clearWizardPages(unsigned long)), host,
        SLOT(onClearWizardPages(unsigned long)), Qt::QueuedConnection);
}

void TwitterCoreObject::connectAppletManager()
{
    if (m_appletManager) {
        connect(this, SIGNAL(registerSNAppCore(QObject *, unsigned long)), m_appletManager,
            SLOT(onRegisterSNAppCore(QObject *, unsigned long)), Qt::QueuedConnection);
    }
    Q_EMIT registerSNAppCore(this, 0);
    if (m_appletManager) {
        connect(m_appletManager, SIGNAL(requestSNAppReadyToClose(const QString &, unsigned long)),
            this, SLOT(onRequestSNAppReadyToClose(const QString &, unsigned long)),
            Qt::QueuedConnection);
        connect(this, SIGNAL(snAppReadyToClose(const QString &, bool, unsigned long)),
            m_appletManager, SLOT(onSNAppReadyToClose(const QString &, bool, unsigned long)),
            Qt::QueuedConnection);
    }
    if (m_wizardHost) {
        connect(this, SIGNAL(verifyShutdown(QWidget *, bool, unsigned long)), m_wizardHost,
            SIGNAL(verifyShutdown(QWidget *, bool, unsigned long)), Qt::QueuedConnection);
        connect(this, SIGNAL(authorizeRequestApp(const QString &, bool, unsigned long)),
            m_wizardHost, SIGNAL(authorizeRequestApp(const QString &, bool, unsigned long)),
            Qt::QueuedConnection);
    }
}

QString TwitterCoreObject::getUserErrorMsg() const
{
    return m_userErrorMsg;
}

void TwitterCoreObject::onStartCoreObject(unsigned long)
{
    m_flow.signedIn = false;
    if (m_client->haveAccessToken(0)) {
        Q_EMIT startUploadWizard(StartUploadWizard::WithToken);
        m_flow.checkingStoredSignIn = true;
        getLoggedInUser();
    } else {
        Q_EMIT startUploadWizard(StartUploadWizard::WithoutToken);
        Q_EMIT getLoggedInUserComplete(false, QString());
    }
    onSubmitForApproval(selectionPaths(), SubmitForApproval::ShowLimits);
    if (m_flow.mustUploadFirst && isApproved())
        Q_EMIT showMustUpload(ShowMustUpload::AtStart);
}

void TwitterCoreObject::onResume(unsigned long flags)
{
    if (flags & OnResume::SignInStates) {
        Q_EMIT resumeWizard(ResumeWizard::AtSignIn);
    } else if (flags & OnResume::ReviewState) {
        Q_EMIT resumeWizard(ResumeWizard::AtReview);
    } else {
        Q_EMIT startUploadWizard(StartUploadWizard::Restart);
        getLoggedInUser();
    }
}

void TwitterCoreObject::sysTrayClicked(bool clicked)
{
    if (!clicked)
        return;
    ContentInfo info;
    info.applicationId = ownAppId();
    contentInfoToXml(info);
    Q_EMIT requestApp(trayAppId(), info.xml, RequestApp::OpenTray);
}

void TwitterCoreObject::onMinimize()
{
    m_closeDownState = CloseDown::MinimisedByUser;
    Q_EMIT startMinimize(true);
}

void TwitterCoreObject::startCloseDownLater(unsigned long)
{
    m_closeDownState = CloseDown::Later;
    Q_EMIT startMinimize(true);
    m_closeDownTimer->stop();
    m_closeDownTimer->start(m_closeDownDelayMs);
}

void TwitterCoreObject::setCloseDownDelay(int milliseconds)
{
    m_closeDownDelayMs = milliseconds;
}

void TwitterCoreObject::onShowEvent(unsigned long)
{
    m_closeDownTimer->stop();
}

void TwitterCoreObject::onHideEvent(unsigned long) { }

void TwitterCoreObject::onCloseDownLaterTimer()
{
    m_closeDownTimer->stop();
    m_closeDownState = CloseDown::None;
    Q_EMIT appRequest(ownAppId(), AppRequest::Close);
}

void TwitterCoreObject::onRequestShutdown(unsigned long flags)
{
    m_requestFlags = flags;
    if (m_flow.waitingForUpload) {
        m_closeDownState = CloseDown::DuringHandOver;
        flags |= CloseDown::DuringHandOver;
    }
    Q_EMIT verifyShutdown(qobject_cast<QWidget *>(m_wizardHost), true, flags);
}

void TwitterCoreObject::onRequestAuthorizeRequestApp(unsigned long flags)
{
    m_requestFlags = flags;
    if (m_flow.waitingForUpload) {
        m_closeDownState = CloseDown::DuringHandOver;
        flags |= CloseDown::DuringHandOver;
    }
    Q_EMIT authorizeRequestApp(ownAppId(), true, flags);
}

void TwitterCoreObject::confirmShutdown(int response, unsigned long)
{
    if (response == ConfirmResponse::AgreeAndCloseLater)
        m_closeDownState = CloseDown::Later;
    const bool agree
        = response == ConfirmResponse::AgreeAndCloseLater || response == ConfirmResponse::Agree;
    Q_EMIT verifyShutdown(
        qobject_cast<QWidget *>(m_wizardHost), agree, m_requestFlags | m_closeDownState);
}

void TwitterCoreObject::confirmAuthorize(int response, unsigned long)
{
    if (response == ConfirmResponse::AgreeAndCloseLater)
        m_closeDownState = CloseDown::Later;
    const bool agree
        = response == ConfirmResponse::AgreeAndCloseLater || response == ConfirmResponse::Agree;
    Q_EMIT authorizeRequestApp(ownAppId(), agree, m_requestFlags | m_closeDownState);
}

void TwitterCoreObject::onRequestSNAppReadyToClose(const QString &id, unsigned long)
{
    if (id != ownAppId())
        return;
    Q_EMIT snAppReadyToClose(id, true, m_closeDownState);
    m_closeDownState = CloseDown::None;
}

void TwitterCoreObject::resetVerifyFlags()
{
    m_closeDownState = CloseDown::None;
    m_requestFlags = 0;
}

void TwitterCoreObject::onCancel(bool)
{
    abandonShare();
    Q_EMIT showWelcome(ShowWelcome::Cancelled);
    Q_EMIT clearWizardPages(0);
}

// No jobs of our own run, so there is never one to confirm or cancel.
void TwitterCoreObject::onConfirm(int, unsigned long) { }

void TwitterCoreObject::onThreadCancelled(long, unsigned long) { }

void TwitterCoreObject::abandonShare()
{
    ++m_share;
    m_pendingReportMask = 0;
    m_reportMask = 0;
    m_flow.shortUrlRequestPending = false;
    m_flow.tweetDeferred = false;
    m_flow.signingIn = false;
    m_flow.checkingStoredSignIn = false;
    for (AwaitedResults *results : { &m_signIns, &m_checks, &m_shortLinks, &m_tweets })
        results->abandon();
}

void TwitterCoreObject::showFailure(unsigned long error, const QString &message)
{
    m_userErrorMsg = message;
    Q_EMIT showError(error);
}

void TwitterCoreObject::clear()
{
    SNAppCoreObject::clear();
    abandonShare();
    m_flow.signedIn = false;
    resetVerifyFlags();
    m_flow.mustUploadFirst = false;
    m_flow.waitingForUpload = false;
    m_errorLog.clear();
    m_userErrorMsg.clear();
    m_tweetInfo.clear();
    m_selection.clear();
    m_reportedPaths.clear();
    m_signInRecord.clear();
    // Without these, a selection submitted after a sign-out would pass
    // unchecked: photos or several items for a target that takes one video.
    setConstraintFlags(MovieFilesOnly);
    setMaxCount(1);
}

void TwitterCoreObject::dumpStatus() { }

// The credentials persist through the client; a draft tweet is not kept.
void TwitterCoreObject::loadSettings() { }

void TwitterCoreObject::saveSettings() const { }

#include "moc_twittercoreobject.cpp"
