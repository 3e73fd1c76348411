// The info exchange between the controller and its wizard pages.
#include "controller/twittercoreobject.h"

#include "catalog/contentinfo.h"
#include "twitter/twitter_core.h"

bool TwitterCoreObject::registerForInfoRequest(QObject *page, unsigned long flags)
{
    bool ok = connect(page, SIGNAL(requestSendInfo(unsigned long)), this,
        SLOT(onRequestSendInfo(unsigned long)), Qt::QueuedConnection);
    if (flags & PageTakesImages) {
        ok = connect(this, SIGNAL(sendInfo(const QString &, const QImage &, unsigned long)), page,
                 SLOT(onSendInfo(const QString &, const QImage &, unsigned long)),
                 Qt::QueuedConnection)
            && ok;
    } else {
        ok = connect(this, SIGNAL(sendInfo(const QString &, unsigned long)), page,
                 SLOT(onSendInfo(const QString &, unsigned long)), Qt::QueuedConnection)
            && ok;
    }
    if (flags & PageReports) {
        ok = connect(page, SIGNAL(reportInfo(const QString &, unsigned long)), this,
                 SLOT(onReportInfo(const QString &, unsigned long)), Qt::QueuedConnection)
            && ok;
    }
    return ok;
}

void TwitterCoreObject::armPendingStep(unsigned long mask, bool textPages, bool imagePages)
{
    m_pendingReportMask = mask;
    m_reportMask = 0;
    if (textPages)
        Q_EMIT sendInfo(QString(), InfoReportNow);
    if (imagePages)
        Q_EMIT sendInfo(QString(), QImage(), InfoReportNow);
}

void TwitterCoreObject::onRequestSendInfo(unsigned long flags)
{
    if ((flags & InfoShortUrlRequest) && !m_waitingForUpload) {
        m_shortUrl.clear();
        m_shortUrlRequestPending = true;
        armPendingStep(InfoPaths, false, true);
    }
    if ((flags & InfoShortUrl) && !m_shortUrl.isEmpty())
        Q_EMIT sendInfo(m_shortUrl, InfoShortUrl);
    if (flags & InfoUserName)
        Q_EMIT sendInfo(m_client->user.name, InfoUserName);
    if (flags & InfoTweet)
        Q_EMIT sendInfo(m_tweetInfo.record.toString(), InfoTweet);
    if (flags & InfoSignIn) {
        m_signInRecord.insert(QStringLiteral("remember"),
            m_client->getSaveState() ? QStringLiteral("1") : QStringLiteral("0"));
        Q_EMIT sendInfo(m_signInRecord.toString(), InfoSignIn);
    }
    if ((flags & InfoPaths) && isApproved()) {
        for (auto it = m_selection.cbegin(); it != m_selection.cend(); ++it)
            Q_EMIT sendInfo(it.key(), it.value(), InfoPaths | InfoItem);
        Q_EMIT sendInfo(QString(), QImage(), InfoPaths | InfoItem | InfoEndMarker);
    }
}

void TwitterCoreObject::onReportInfo(const QString &text, unsigned long flags)
{
    if ((flags & InfoTweet) && !text.isEmpty())
        m_tweetInfo.record.fromString(text);
    if ((flags & InfoPaths) && !text.isEmpty())
        m_reportedPaths = pathListFromText(text);
    if (flags & InfoSignIn) {
        m_signInRecord.fromString(text);
        m_client->setSaveState(m_signInRecord.value(QStringLiteral("remember")).toInt() != 0);
    }
    m_reportMask |= flags;
    if (m_pendingReportMask != 0 && (m_reportMask & m_pendingReportMask) == m_pendingReportMask)
        runPendingStep();
}

void TwitterCoreObject::runPendingStep()
{
    if (m_pendingReportMask == InfoSignIn) {
        m_pendingReportMask = 0;
        clientLogin();
    } else if (m_pendingReportMask == InfoPaths && m_shortUrlRequestPending) {
        m_shortUrlRequestPending = false;
        m_pendingReportMask = 0;
        processPendingShortUrlRequest();
    } else if (m_pendingReportMask == m_tweetReportMask) {
        m_pendingReportMask = 0;
        runTweetStep();
    }
}
