#include "controller/snappcoreobject.h"

#include "controller/limitstatus.h"
#include "platform/clipframe.h"

#include <QFileInfo>

using namespace HostContract;

SNAppCoreObject::SNAppCoreObject(QObject *parent, unsigned long)
    : QObject(parent)
{
    SNAppCoreObject::clear();
}

SNAppCoreObject::~SNAppCoreObject() = default;

void SNAppCoreObject::setConstraintFlags(unsigned long flags)
{
    m_constraintFlags = quint32(flags);
}

void SNAppCoreObject::setMaxCount(unsigned long count)
{
    m_maxCount = quint32(count);
}

void SNAppCoreObject::setMaxSize(unsigned long size)
{
    m_maxSize = quint32(size);
}

void SNAppCoreObject::setMaxDuration(unsigned long seconds)
{
    m_maxDuration = quint32(seconds);
}

unsigned long SNAppCoreObject::getMaxCount() const
{
    return m_maxCount;
}

unsigned long SNAppCoreObject::getMaxSize() const
{
    return m_maxSize;
}

unsigned long SNAppCoreObject::getMaxDuration() const
{
    return m_maxDuration;
}

bool SNAppCoreObject::registerWizardPage(QObject *page, unsigned long flags)
{
    bool ok = false;
    if (flags & PageButtons::UploadBack) {
        ok = connect(page, SIGNAL(backClicked(bool)), this, SLOT(onWizardUploadBackBtn(bool)),
            Qt::QueuedConnection);
    } else {
        ok = connect(page, SIGNAL(backClicked(bool)), this, SLOT(onWizardBackBtn(bool)),
            Qt::QueuedConnection);
    }
    if (flags & PageButtons::UploadNext) {
        ok = connect(page, SIGNAL(nextClicked(bool)), this, SLOT(onWizardUploadBtn(bool)),
            Qt::QueuedConnection);
    } else if (!(flags & PageButtons::NoNext)) {
        ok = connect(page, SIGNAL(nextClicked(bool)), this, SLOT(onWizardNextBtn(bool)),
            Qt::QueuedConnection);
    }
    ok = connect(
        page, SIGNAL(applyClicked(bool)), this, SLOT(onWizardApplyBtn(bool)), Qt::QueuedConnection);
    return ok;
}

bool SNAppCoreObject::registerWizardPage(QObject *page, bool uploadNext, bool uploadBack)
{
    unsigned long flags = 0;
    if (uploadNext)
        flags |= PageButtons::UploadNext;
    if (uploadBack)
        flags |= PageButtons::UploadBack;
    return registerWizardPage(page, flags);
}

void SNAppCoreObject::onSubmitForApproval(const QStringList &paths, unsigned long flags)
{
    LimitStatus status(m_maxSize, m_maxDuration, m_maxCount);
    for (const QString &path : paths) {
        // Each rule replaces the verdict of the one before.
        if (m_maxSize != 0 && QFileInfo(path).size() > qint64(m_maxSize))
            status.statusByPath.insert(path, LimitStatus::SizeExceeded);
        if (m_maxDuration != 0) {
            unsigned long seconds = 0;
            // An unreadable duration breaks no limit.
            if (ClipFrame::getDuration(path, seconds) && seconds > m_maxDuration)
                status.statusByPath.insert(path, LimitStatus::DurationExceeded);
        }
        if ((m_constraintFlags & MovieFilesOnly) && !ClipFrame::isMovieFile(path))
            status.statusByPath.insert(path, LimitStatus::WrongKind);
    }
    if (m_maxCount != 0 && quint32(paths.size()) > m_maxCount)
        status.countStatus = LimitStatus::CountExceeded;

    const unsigned long combined = status.combinedStatus();
    m_approved = combined == 0;
    Q_EMIT reviewApproval(m_approved, combined);
    if (!m_approved && (flags & SubmitForApproval::ShowLimits))
        Q_EMIT displayLimitsErrorMsg(status.toString(), 0);
}

void SNAppCoreObject::clear()
{
    m_maxSize = 0;
    m_maxDuration = 0;
    m_maxCount = 0;
    m_constraintFlags = 0;
    m_approved = false;
}

#include "moc_snappcoreobject.cpp"
