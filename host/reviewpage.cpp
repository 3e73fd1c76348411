#include "reviewpage.h"

#include "controller/hostcontract.h"

#include "catalog/contentinfo.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

using namespace HostContract;

ReviewPage::ReviewPage(QWidget *parent)
    : WizardPage(tr("Review your selection"), parent)
{
    m_items = new QListWidget(this);
    m_items->setObjectName(QStringLiteral("selectedItems"));
    m_items->setViewMode(QListView::IconMode);
    m_items->setIconSize(QSize(160, 120));
    m_items->setMinimumHeight(170);
    body()->addWidget(m_items);
    m_verdict = new QLabel(this);
    m_verdict->setObjectName(QStringLiteral("verdict"));
    m_verdict->setWordWrap(true);
    body()->addWidget(m_verdict);
}

bool ReviewPage::canGoNext() const
{
    return m_approved && !m_paths.isEmpty();
}

QString ReviewPage::limitsMessage() const
{
    return m_approved ? QString() : m_verdict->text();
}

void ReviewPage::setMustUpload(bool mustUpload)
{
    m_mustUpload = mustUpload;
    if (m_approved)
        m_verdict->setText(mustUpload ? tr("This video has no web link yet: it is uploaded first.")
                                      : tr("Ready to share."));
}

void ReviewPage::clearPage()
{
    m_items->clear();
    m_paths.clear();
    m_incoming.clear();
}

void ReviewPage::onSendInfo(const QString &text, const QImage &image, unsigned long flags)
{
    if (flags == InfoKind::ReportNow) {
        if (!m_paths.isEmpty())
            Q_EMIT reportInfo(pathListText(m_paths), InfoKind::Paths);
        return;
    }
    if (!(flags & InfoKind::Paths))
        return;
    if (flags & InfoKind::EndMarker) {
        m_paths = m_incoming;
        m_incoming.clear();
        Q_EMIT buttonsChanged();
        return;
    }
    if (m_incoming.isEmpty())
        m_items->clear();
    m_incoming.append(text);
    auto *item = new QListWidgetItem(QFileInfo(text).fileName(), m_items);
    item->setToolTip(text);
    if (!image.isNull())
        item->setIcon(QIcon(QPixmap::fromImage(image)));
}

void ReviewPage::onReviewApproval(bool approved, unsigned long)
{
    m_approved = approved;
    if (approved)
        setMustUpload(m_mustUpload);
    Q_EMIT buttonsChanged();
}

void ReviewPage::onDisplayLimitsErrorMsg(const QString &ls, unsigned long)
{
    m_verdict->setText(describeLimits(ls));
}

QString ReviewPage::describeLimits(const QString &ls)
{
    const QStringList parts = ls.split(QStringLiteral("(!)"));
    if (parts.size() != 5)
        return tr("The selection cannot be shared.");
    QStringList lines;
    if (parts.at(3).toULong() & Limits::CountExceeded)
        lines.append(tr("Select only %n item(s).", nullptr, parts.at(2).toInt()));
    const QStringList entries = parts.at(4).split(QStringLiteral("<!>"), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        const QStringList fields = entry.split(QStringLiteral("[!]"), Qt::SkipEmptyParts);
        if (fields.size() != 2)
            continue;
        const QString name = QFileInfo(fields.at(0)).fileName();
        const unsigned long bits = fields.at(1).toULong();
        if (bits & Limits::WrongKind)
            lines.append(tr("%1 is not a video.").arg(name));
        if (bits & Limits::DurationExceeded)
            lines.append(tr("%1 runs too long.").arg(name));
        if (bits & Limits::SizeExceeded)
            lines.append(tr("%1 is too large.").arg(name));
    }
    if (lines.isEmpty())
        lines.append(tr("The selection cannot be shared."));
    return lines.join(u'\n');
}
