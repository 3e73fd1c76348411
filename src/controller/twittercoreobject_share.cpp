// The share flow: selection, hand-over to the video upload applet, short
// link and tweet.
#include "controller/twittercoreobject.h"

#include "badges/badger.h"
#include "catalog/contentinfo.h"
#include "twitter/twitter_core.h"
#include "twitter/twittersettings.h"

#include <QTimer>

using namespace HostContract;

void TwitterCoreObject::onSelectContent(const QString &path, const QImage &image, unsigned long)
{
    m_selection.insert(path, image);
}

QStringList TwitterCoreObject::selectionPaths() const
{
    return m_selection.keys();
}

void TwitterCoreObject::onSubmitForApproval(const QStringList &paths, unsigned long flags)
{
    m_flow.mustUploadFirst = false;
    if (paths.size() == 1 && !m_flow.waitingForUpload)
        checkYTRequirement(paths.first(), 0);
    SNAppCoreObject::onSubmitForApproval(paths, flags);
}

void TwitterCoreObject::checkYTRequirement(const QString &path, unsigned long)
{
    Badger badger;
    QString link;
    m_flow.mustUploadFirst = !badger.initialize(path) || !badger.getUrl(videoUploadAppId(), link);
}

bool TwitterCoreObject::okToBeginUploadWizard(unsigned long)
{
    return true;
}

void TwitterCoreObject::onReviewNextBtn(bool)
{
    Q_EMIT doWizardNext(0);
    if (m_flow.mustUploadFirst) {
        Q_EMIT sendInfo(QString(), QImage(), InfoKind::ReportNow);
        Q_EMIT showMustUpload(ShowMustUpload::OnReviewNext);
    }
}

void TwitterCoreObject::onNextMustUploadClicked(bool)
{
    m_flow.waitingForUpload = true;
    m_closeDownState = CloseDown::Later;
    Q_EMIT startMinimize(true);
}

void TwitterCoreObject::onBackMustUploadClicked(bool)
{
    Q_EMIT resumeWizard(ResumeWizard::UploadAgain);
}

void TwitterCoreObject::onUploadWizardAgain(unsigned long)
{
    Q_EMIT resumeWizard(ResumeWizard::UploadAgain);
}

void TwitterCoreObject::onAppClosed(const QString &appId, unsigned long flags)
{
    if (!m_flow.waitingForUpload)
        return;
    if (appId == videoUploadAppId() && !(flags & OnAppClosed::WithResult)) {
        m_flow.waitingForUpload = false;
        m_closeDownState = CloseDown::None;
        Q_EMIT appRequest(ownAppId(), AppRequest::Close);
        return;
    }
    if (!(flags & OnAppClosed::InHandOver))
        return;
    if (appId == ownAppId()) {
        ContentInfo info;
        info.paths = m_reportedPaths.isEmpty() ? selectionPaths() : m_reportedPaths;
        contentInfoToXml(info);
        Q_EMIT requestApp(videoUploadAppId(), info.xml, RequestApp::StartUpload);
    } else if (appId == videoUploadAppId()) {
        if (!m_flow.tweetDeferred) {
            Q_EMIT requestApp(ownAppId(), QString(), RequestApp::BringBack);
            Q_EMIT resumeWizard(
                m_client->haveAccessToken(0) ? ResumeWizard::AtTweet : ResumeWizard::AtSignIn);
        }
        Q_EMIT youTubeStatus(YouTubeStatus::Idle);
    }
}

void TwitterCoreObject::onUploadStatus(const QString &appid, bool status, const QString &path,
    const QString &link, unsigned long flags)
{
    if (appid != videoUploadAppId())
        return;
    if (!status) {
        onUploadStatusError(appid, status, path, link, flags);
        Q_EMIT youTubeStatus(YouTubeStatus::Idle);
        m_closeDownState = CloseDown::None;
        Q_EMIT appRequest(ownAppId(), AppRequest::Close);
    } else if (flags & OnUploadStatus::UnderWay) {
        Q_EMIT appRequest(videoUploadAppId(), AppRequest::Hide);
        Q_EMIT youTubeStatus(YouTubeStatus::Uploading);
    } else if (flags & OnUploadStatus::Finished) {
        m_flow.waitingForUpload = false;
        m_flow.uploadDone = true;
        requestShortLink(path);
        Q_EMIT appRequest(videoUploadAppId(), AppRequest::Close);
        Q_EMIT youTubeStatus(YouTubeStatus::Idle);
        if (!m_flow.tweetDeferred)
            Q_EMIT requestApp(ownAppId(), QString(), RequestApp::BringBack);
    }
}

void TwitterCoreObject::onUploadStatusError(
    const QString &, bool, const QString &, const QString &, unsigned long)
{ }

void TwitterCoreObject::processPendingShortUrlRequest()
{
    if (m_reportedPaths.size() == 1)
        requestShortLink(m_reportedPaths.first());
}

void TwitterCoreObject::requestShortLink(const QString &path)
{
    // Every call ends in exactly one result, a refusal included.
    m_shortLinks.sent++;
    m_client->getShortUrl(path, videoUploadAppId(), 0);
}

void TwitterCoreObject::onGetShortUrlResult(bool status, const QString &path,
    const QString &origUrl, const QString &shortUrl, unsigned long flags)
{
    if (!m_shortLinks.arrive())
        return;
    if (status && !shortUrl.isEmpty()) {
        m_shortUrl = shortUrl;
    } else if (!(flags & ITwitter_core::NoLinkForApplet)) {
        if (!origUrl.isEmpty())
            m_shortUrl = origUrl;
        else if (flags & ITwitter_core::EmptyLink)
            showFailure(ShowError::NoLink, tr("The link recorded for %1 is empty.").arg(path));
        else
            showFailure(ShowError::NoLink, tr("The record of %1 could not be read.").arg(path));
    }
    onRequestSendInfo(InfoKind::ShortUrl);
}

void TwitterCoreObject::onShortUrlInPlace(unsigned long)
{
    if (!m_flow.tweetDeferred)
        return;
    // Released once: a repeated report must not post the tweet again.
    m_flow.tweetDeferred = false;
    m_flow.waitingForUpload = false;
    sendTweet(0);
}

void TwitterCoreObject::onWizardNextBtn(bool)
{
    Q_EMIT doWizardNext(0);
}

void TwitterCoreObject::onWizardBackBtn(bool)
{
    Q_EMIT doWizardBack(0);
}

void TwitterCoreObject::onWizardUploadBackBtn(bool)
{
    Q_EMIT clearWizardPages(0);
    Q_EMIT doWizardBack(0);
}

void TwitterCoreObject::onWizardUploadBtn(bool)
{
    sendTweet(0);
}

void TwitterCoreObject::sendTweet(unsigned long)
{
    // One tweet per share on its way: more presses wait for its result.
    if (m_flow.tweetDeferred || m_pendingReportMask == m_tweetReportMask || m_tweets.live() > 0)
        return;
    if (m_flow.waitingForUpload) {
        m_closeDownState = CloseDown::Later;
        Q_EMIT startMinimize(true);
        m_flow.tweetDeferred = true;
        return;
    }
    armPendingStep(m_tweetReportMask, true, true);
}

void TwitterCoreObject::runTweetStep()
{
    m_uploads.clear();
    const QString text = m_tweetInfo.record.value(QStringLiteral("description"));
    if (!text.isEmpty() && m_client->doTweet(text, 0)) {
        m_tweets.sent++;
        return;
    }
    // No result signal follows a request that never went out.
    const QString message = text.isEmpty()
        ? tr("The tweet could not be sent: its text is empty.")
        : tr("The tweet could not be sent: there is no usable sign-in.");
    QTimer::singleShot(0, this, [this, message, share = m_share] {
        if (share == m_share)
            showFailure(ShowError::ShareFailed, message);
    });
}

void TwitterCoreObject::onTweetResult(
    bool status, const QString &text, const QString &, const QString &, unsigned long flags)
{
    if (!m_tweets.arrive())
        return;
    if (!status) {
        showFailure(ShowError::ShareFailed, text);
        return;
    }
    const QStringList paths = m_reportedPaths.isEmpty() ? selectionPaths() : m_reportedPaths;
    if (!paths.isEmpty()) {
        const QString home
            = TwitterSettings::endpoint(TwitterSettings::webUrl(), QStringLiteral("/home"))
                  .toString(QUrl::FullyEncoded);
        Badger().badgeContent(ownAppId(), home, paths.first(), flags);
    }
    if (!m_flow.waitingForUpload)
        startCloseDownLater(flags);
    Q_EMIT showWelcome(ShowWelcome::TweetSent);
}

void TwitterCoreObject::onFileUploadComplete(bool status, const QString &path, const QString &link,
    unsigned long flags, int statusRetCode, const QString &statusMsg)
{
    if (status)
        Badger().badgeContent(ownAppId(), link, path, flags);
    m_uploads.insert(path, UploadStatus(statusRetCode, statusMsg, status));
}

void TwitterCoreObject::onUploadComplete(long, unsigned long)
{
    Q_EMIT uploadComplete(0);
    QStringList failures;
    for (auto it = m_uploads.cbegin(); it != m_uploads.cend(); ++it) {
        if (!it->status)
            failures.append(tr("%1: %2").arg(it.key(), it->statusMessage));
    }
    if (failures.isEmpty())
        Q_EMIT showWelcome(ShowWelcome::UploadsDone);
    else
        showFailure(ShowError::ShareFailed, failures.join(u'\n'));
    Q_EMIT clearWizardPages(0);
}
