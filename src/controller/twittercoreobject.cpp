#include "controller/twittercoreobject.h"

#include "catalog/contentinfo.h"
#include "twitter/twitter_core.h"
#include "zpvlogging.h"

#include <QTimer>

const QString TwitterCoreObject::ownAppId
    = QStringLiteral("{BB23CC56-D53E-456e-BD39-5A8A8A394279}");
const QString TwitterCoreObject::videoUploadAppId
    = QStringLiteral("{D263A27F-C49A-4dd7-8C8B-A253CF319468}");
const QString TwitterCoreObject::trayAppId
    = QStringLiteral("{5E799358-947D-4c3b-9F93-E75A7ABAFC0F}");

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

void TwitterCoreObject::onStartCoreObject(unsigned long flags)
{
    Q_UNUSED(flags)
    m_signedIn = false;
    if (m_client->haveAccessToken(0)) {
        Q_EMIT startUploadWizard(16);
        m_checkingStoredSignIn = true;
        getLoggedInUser();
    } else {
        Q_EMIT startUploadWizard(32);
        Q_EMIT getLoggedInUserComplete(false, QString());
    }
    onSubmitForApproval(selectionPaths(), 0x2);
    if (m_mustUploadFirst && isApproved())
        Q_EMIT showMustUpload(8);
}

void TwitterCoreObject::onResume(unsigned long flags)
{
    if (flags & (0x2 | 0x4 | 0x8 | 0x400)) {
        Q_EMIT resumeWizard(32);
    } else if (flags & 0x800) {
        Q_EMIT resumeWizard(64);
    } else {
        Q_EMIT startUploadWizard(0);
        getLoggedInUser();
    }
}

void TwitterCoreObject::sysTrayClicked(bool clicked)
{
    if (!clicked)
        return;
    ContentInfo info;
    info.applicationId = ownAppId;
    contentInfoToXml(info);
    Q_EMIT requestApp(trayAppId, info.xml, 64);
}

void TwitterCoreObject::onMinimize()
{
    m_closeDownState = MinimisedByUser;
    Q_EMIT startMinimize(true);
}

void TwitterCoreObject::startCloseDownLater(unsigned long flags)
{
    Q_UNUSED(flags)
    m_closeDownState = CloseLater;
    Q_EMIT startMinimize(true);
    m_closeDownTimer->stop();
    m_closeDownTimer->start(m_closeDownDelayMs);
}

void TwitterCoreObject::setCloseDownDelay(int milliseconds)
{
    m_closeDownDelayMs = milliseconds;
}

void TwitterCoreObject::onShowEvent(unsigned long flags)
{
    Q_UNUSED(flags)
    m_closeDownTimer->stop();
}

void TwitterCoreObject::onHideEvent(unsigned long flags)
{
    Q_UNUSED(flags)
}

void TwitterCoreObject::onCloseDownLaterTimer()
{
    m_closeDownTimer->stop();
    m_closeDownState = CloseNone;
    Q_EMIT appRequest(ownAppId, 4);
}

void TwitterCoreObject::onRequestShutdown(unsigned long flags)
{
    m_requestFlags = flags;
    if (m_waitingForUpload) {
        m_closeDownState = CloseDuringHandOver;
        flags |= 0x2;
    }
    Q_EMIT verifyShutdown(qobject_cast<QWidget *>(m_wizardHost), true, flags);
}

void TwitterCoreObject::onRequestAuthorizeRequestApp(unsigned long flags)
{
    m_requestFlags = flags;
    if (m_waitingForUpload) {
        m_closeDownState = CloseDuringHandOver;
        flags |= 0x2;
    }
    Q_EMIT authorizeRequestApp(ownAppId, true, flags);
}

void TwitterCoreObject::confirmShutdown(int response, unsigned long flags)
{
    Q_UNUSED(flags)
    if (response == 1)
        m_closeDownState = CloseLater;
    Q_EMIT verifyShutdown(qobject_cast<QWidget *>(m_wizardHost), response == 1 || response == 2,
        m_requestFlags | m_closeDownState);
}

void TwitterCoreObject::confirmAuthorize(int response, unsigned long flags)
{
    Q_UNUSED(flags)
    if (response == 1)
        m_closeDownState = CloseLater;
    Q_EMIT authorizeRequestApp(
        ownAppId, response == 1 || response == 2, m_requestFlags | m_closeDownState);
}

void TwitterCoreObject::onRequestSNAppReadyToClose(const QString &id, unsigned long flags)
{
    Q_UNUSED(flags)
    if (id != ownAppId)
        return;
    Q_EMIT snAppReadyToClose(id, true, m_closeDownState);
    m_closeDownState = CloseNone;
}

void TwitterCoreObject::resetVerifyFlags()
{
    m_closeDownState = CloseNone;
    m_requestFlags = 0;
}

void TwitterCoreObject::onCancel(bool checked)
{
    Q_UNUSED(checked)
    abandonShare();
    Q_EMIT showWelcome(8);
    Q_EMIT clearWizardPages(0);
}

void TwitterCoreObject::onConfirm(int response, unsigned long flags)
{
    // No jobs of our own run, so there is never one to confirm.
    Q_UNUSED(response)
    Q_UNUSED(flags)
}

void TwitterCoreObject::onThreadCancelled(long id, unsigned long flags)
{
    Q_UNUSED(id)
    Q_UNUSED(flags)
}

void TwitterCoreObject::abandonShare()
{
    ++m_share;
    m_pendingReportMask = 0;
    m_reportMask = 0;
    m_shortUrlRequestPending = false;
    m_tweetDeferred = false;
    m_signingIn = false;
    m_checkingStoredSignIn = false;
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
    m_signedIn = false;
    resetVerifyFlags();
    m_mustUploadFirst = false;
    m_waitingForUpload = false;
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
