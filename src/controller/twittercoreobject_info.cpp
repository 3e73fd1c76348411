// The info exchange between the controller and its wizard pages.
#include "controller/twittercoreobject.h"

#include "catalog/contentinfo.h"
#include "twitter/twitter_core.h"

using namespace HostContract;

bool TwitterCoreObject::registerForInfoRequest(QObject *page, unsigned long flags)
{
    bool ok = connect(page, SIGNAL(requestSendInfo(unsigned long)), this,
        SLOT(onRequestSendInfo(unsigned long)), Qt::QueuedConnection);
    if (flags & InfoPage::TakesImages) {
        ok = connect(this, SIGNAL(sendInfo(const QString &, const QImage &, unsigned long)), page,
                 SLOT(onSendInfo(const QString &, const QImage &, unsigned long)),
                 Qt::QueuedConnection)
            && ok;
    } else {
        ok = connect(this, SIGNAL(sendInfo(const QString &, unsigned long)), page,
                 SLOT(onSendInfo(const QString &, unsigned long)), Qt::QueuedConnection)
            && ok;
    }
    if (flags & InfoPage::Reports) {
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
        Q_EMIT sendInfo(QString(), InfoKind::ReportNow);
    if (imagePages)
        Q_EMIT sendInfo(QString(), QImage(), InfoKind::ReportNow);
}

void TwitterCoreObject::onRequestSendInfo(unsigned long flags)
{
    if ((flags & InfoKind::ShortUrlRequest) && !m_flow.waitingForUpload) {
        m_shortUrl.clear();
        m_flow.shortUrlRequestPending = true;
        armPendingStep(InfoKind::Paths, false, true);
    }
    if ((flags & InfoKind::ShortUrl) && !m_shortUrl.isEmpty())
        Q_EMIT sendInfo(m_shortUrl, InfoKind::ShortUrl);
    if (flags & InfoKind::UserName)
        Q_EMIT sendInfo(m_client->user.name, InfoKind::UserName);
    if (flags & InfoKind::Tweet)
        Q_EMIT sendInfo(m_tweetInfo.record.toString(), InfoKind::Tweet);
    if (flags & InfoKind::SignIn) {
        m_signInRecord.insert(QStringLiteral("remember"),
            m_client->getSaveState() ? QStringLiteral("1") : QStringLiteral("0"));
        Q_EMIT sendInfo(m_signInRecord.toString(), InfoKind::SignIn);
    }
    if ((flags & InfoKind::Paths) && isApproved()) {
        for (auto it = m_selection.cbegin(); it != m_selection.cend(); ++it)
            Q_EMIT sendInfo(it.key(), it.value(), InfoKind::Paths | InfoKind::Item);
        Q_EMIT sendInfo(
            QString(), QImage(), InfoKind::Paths | InfoKind::Item | InfoKind::EndMarker);
    }
}

void TwitterCoreObject::onReportInfo(const QString &text, unsigned long flags)
{
    if ((flags & InfoKind::Tweet) && !text.isEmpty())
        m_tweetInfo.record.fromString(text);
    if ((flags & InfoKind::Paths) && !text.isEmpty())
        m_reportedPaths = pathListFromText(text);
    if (flags & InfoKind::SignIn) {
        m_signInRecord.fromString(text);
        m_client->setSaveState(m_signInRecord.value(QStringLiteral("remember")).toInt() != 0);
    }
    m_reportMask |= flags;
    if (m_pendingReportMask != 0 && (m_reportMask & m_pendingReportMask) == m_pendingReportMask)
        runPendingStep();
}

void TwitterCoreObject::runPendingStep()
{
    if (m_pendingReportMask == InfoKind::SignIn) {
        m_pendingReportMask = 0;
        clientLogin();
    } else if (m_pendingReportMask == InfoKind::Paths && m_flow.shortUrlRequestPending) {
        m_flow.shortUrlRequestPending = false;
        m_pendingReportMask = 0;
        processPendingShortUrlRequest();
    } else if (m_pendingReportMask == m_tweetReportMask) {
        m_pendingReportMask = 0;
        runTweetStep();
    }
}
