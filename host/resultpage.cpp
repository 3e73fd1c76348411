#include "resultpage.h"

#include "controller/hostcontract.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace HostContract;

ResultPage::ResultPage(QWidget *parent)
    : WizardPage(tr("Shared"), parent)
{
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("resultMessage"));
    m_message->setWordWrap(true);
    body()->addWidget(m_message);
    m_link = new QLabel(this);
    m_link->setObjectName(QStringLiteral("resultLink"));
    m_link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_link->setOpenExternalLinks(true);
    body()->addWidget(m_link);
    body()->addStretch(1);
}

QString ResultPage::nextText() const
{
    return tr("Close");
}

QString ResultPage::message() const
{
    return m_message->text();
}

void ResultPage::setOutcome(unsigned long welcome)
{
    if (welcome == ShowWelcome::UploadsDone)
        m_message->setText(tr("All uploads finished."));
    else
        m_message->setText(tr("Your tweet was sent. This window closes by itself in a moment."));
}

void ResultPage::onSendInfo(const QString &text, unsigned long flags)
{
    if ((flags & InfoKind::ShortUrl) && !text.isEmpty())
        m_link->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(text.toHtmlEscaped()));
}
