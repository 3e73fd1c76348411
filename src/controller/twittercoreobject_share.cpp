// The share flow: selection, hand-over to the video upload applet, short
// link and tweet.
#include "controller/twittercoreobject.h"

#include "badges/badger.h"
#include "catalog/contentinfo.h"
#include "twitter/twitter_core.h"
#include "twitter/twittersettings.h"

#include <QTimer>

void TwitterCoreObject::onSelectContent(
    const QString &path, const QImage &image, unsigned long flags)
{
    Q_UNUSED(flags)
    m_selection.insert(path, image);
}

QStringList TwitterCoreObject::selectionPaths() const
{
    return m_selection.keys();
}

void TwitterCoreObject::onSubmitForApproval(const QStringList &paths, unsigned long flags)
{
    m_mustUploadFirst = false;
    if (paths.size() == 1 && !m_waitingForUpload)
        checkYTRequirement(paths.first(), 0);
    SNAppCoreObject::onSubmitForApproval(paths, flags);
}

void TwitterCoreObject::checkYTRequirement(const QString &path, unsigned long flags)
{
    Q_UNUSED(flags)
    Badger badger;
    QString link;
    m_mustUploadFirst = !badger.initialize(path) || !badger.getUrl(videoUploadAppId, link);
}

bool TwitterCoreObject::okToBeginUploadWizard(unsigned long flags)
{
    Q_UNUSED(flags)
    return true;
}

void TwitterCoreObject::onReviewNextBtn(bool checked)
{
    Q_UNUSED(checked)
    Q_EMIT doWizardNext(0);
    if (m_mustUploadFirst) {
        Q_EMIT sendInfo(QString(), QImage(), InfoReportNow);
        Q_EMIT showMustUpload(0);
    }
}

void TwitterCoreObject::onNextMustUploadClicked(bool checked)
{
    Q_UNUSED(checked)
    m_waitingForUpload = true;
    m_closeDownState = CloseLater;
    Q_EMIT startMinimize(true);
}

void TwitterCoreObject::onBackMustUploadClicked(bool checked)
{
    Q_UNUSED(checked)
    Q_EMIT resumeWizard(16);
}

void TwitterCoreObject::onUploadWizardAgain(unsigned long flags)
{
    Q_UNUSED(flags)
    Q_EMIT resumeWizard(16);
}

void TwitterCoreObject::onAppClosed(const QString &appId, unsigned long flags)
{
    if (!m_waitingForUpload)
        return;
    if (appId == videoUploadAppId && !(flags & 0x2)) {
        m_waitingForUpload = false;
        m_closeDownState = CloseNone;
        Q_EMIT appRequest(ownAppId, 4);
        return;
    }
    if (!(flags & 0x4))
        return;
    if (appId == ownAppId) {
        ContentInfo info;
        info.paths = m_reportedPaths.isEmpty() ? selectionPaths() : m_reportedPaths;
        contentInfoToXml(info);
        Q_EMIT requestApp(videoUploadAppId, info.xml, 40);
    } else if (appId == videoUploadAppId) {
        if (!m_tweetDeferred) {
            Q_EMIT requestApp(ownAppId, QString(), 0);
            Q_EMIT resumeWizard(m_client->haveAccessToken(0) ? 72 : 32);
        }
        Q_EMIT youTubeStatus(0);
    }
}

void TwitterCoreObject::onUploadStatus(const QString &appid, bool status, const QString &path,
    const QString &link, unsigned long flags)
{
    if (appid != videoUploadAppId)
        return;
    if (!status) {
        onUploadStatusError(appid, status, path, link, flags);
        Q_EMIT youTubeStatus(0);
        m_closeDownState = CloseNone;
        Q_EMIT appRequest(ownAppId, 4);
    } else if (flags & 0x1) {
        Q_EMIT appRequest(videoUploadAppId, 3);
        Q_EMIT youTubeStatus(1);
    } else if (flags & 0x2) {
        m_waitingForUpload = false;
        m_uploadDone = true;
        requestShortLink(path);
        Q_EMIT appRequest(videoUploadAppId, 4);
        Q_EMIT youTubeStatus(0);
        if (!m_tweetDeferred)
            Q_EMIT requestApp(ownAppId, QString(), 0);
    }
}

void TwitterCoreObject::onUploadStatusError(const QString &appid, bool status, const QString &path,
    const QString &link, unsigned long flags)
{
    Q_UNUSED(appid)
    Q_UNUSED(status)
    Q_UNUSED(path)
    Q_UNUSED(link)
    Q_UNUSED(flags)
}

void TwitterCoreObject::processPendingShortUrlRequest()
{
    if (m_reportedPaths.size() == 1)
        requestShortLink(m_reportedPaths.first());
}

void TwitterCoreObject::requestShortLink(const QString &path)
{
    // Every call ends in exactly one result, a refusal included.
    m_shortLinks.sent++;
    m_client->getShortUrl(path, videoUploadAppId, 0);
}

void TwitterCoreObject::onGetShortUrlResult(bool status, const QString &path,
    const QString &origUrl, const QString &shortUrl, unsigned long flags)
{
    if (!m_shortLinks.arrive())
        return;
    if (status && !shortUrl.isEmpty()) {
        m_shortUrl = shortUrl;
    } else if (!(flags & 0x8)) {
        if (!origUrl.isEmpty())
            m_shortUrl = origUrl;
        else if (flags & 0x10)
            showFailure(32, tr("The link recorded for %1 is empty.").arg(path));
        else
            showFailure(32, tr("The record of %1 could not be read.").arg(path));
    }
    onRequestSendInfo(InfoShortUrl);
}

void TwitterCoreObject::onShortUrlInPlace(unsigned long flags)
{
    Q_UNUSED(flags)
    if (!m_tweetDeferred)
        return;
    // Released once: a repeated report must not post the tweet again.
    m_tweetDeferred = false;
    m_waitingForUpload = false;
    sendTweet(0);
}

void TwitterCoreObject::onWizardNextBtn(bool checked)
{
    Q_UNUSED(checked)
    Q_EMIT doWizardNext(0);
}

void TwitterCoreObject::onWizardBackBtn(bool checked)
{
    Q_UNUSED(checked)
    Q_EMIT doWizardBack(0);
}

void TwitterCoreObject::onWizardUploadBackBtn(bool checked)
{
    Q_UNUSED(checked)
    Q_EMIT clearWizardPages(0);
    Q_EMIT doWizardBack(0);
}

void TwitterCoreObject::onWizardUploadBtn(bool checked)
{
    Q_UNUSED(checked)
    sendTweet(0);
}

void TwitterCoreObject::sendTweet(unsigned long flags)
{
    Q_UNUSED(flags)
    // One tweet per share on its way: more presses wait for its result.
    if (m_tweetDeferred || m_pendingReportMask == m_tweetReportMask || m_tweets.live() > 0)
        return;
    if (m_waitingForUpload) {
        m_closeDownState = CloseLater;
        Q_EMIT startMinimize(true);
        m_tweetDeferred = true;
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
            showFailure(2048, message);
    });
}

void TwitterCoreObject::onTweetResult(
    bool status, const QString &text, const QString &id, const QString &uid, unsigned long flags)
{
    Q_UNUSED(id)
    Q_UNUSED(uid)
    if (!m_tweets.arrive())
        return;
    if (!status) {
        showFailure(2048, text);
        return;
    }
    const QStringList paths = m_reportedPaths.isEmpty() ? selectionPaths() : m_reportedPaths;
    if (!paths.isEmpty()) {
        const QString home
            = TwitterSettings::endpoint(TwitterSettings::webUrl(), QStringLiteral("/home"))
                  .toString(QUrl::FullyEncoded);
        Badger().badgeContent(ownAppId, home, paths.first(), flags);
    }
    if (!m_waitingForUpload)
        startCloseDownLater(flags);
    Q_EMIT showWelcome(16);
}

void TwitterCoreObject::onFileUploadComplete(bool status, const QString &path, const QString &link,
    unsigned long flags, int statusRetCode, const QString &statusMsg)
{
    if (status)
        Badger().badgeContent(ownAppId, link, path, flags);
    m_uploads.insert(path, UploadStatus(statusRetCode, statusMsg, status));
}

void TwitterCoreObject::onUploadComplete(long id, unsigned long flags)
{
    Q_UNUSED(id)
    Q_UNUSED(flags)
    Q_EMIT uploadComplete(0);
    QStringList failures;
    for (auto it = m_uploads.cbegin(); it != m_uploads.cend(); ++it) {
        if (!it->status)
            failures.append(tr("%1: %2").arg(it.key(), it->statusMessage));
    }
    if (failures.isEmpty())
        Q_EMIT showWelcome(24);
    else
        showFailure(2048, failures.join(u'\n'));
    Q_EMIT clearWizardPages(0);
}
