#include "errorpage.h"

#include <QLabel>
#include <QVBoxLayout>

ErrorPage::ErrorPage(QWidget *parent)
    : WizardPage(tr("Something went wrong"), parent)
{
    m_explanation = new QLabel(this);
    m_explanation->setObjectName(QStringLiteral("errorExplanation"));
    m_explanation->setWordWrap(true);
    body()->addWidget(m_explanation);
    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("errorDetail"));
    m_detail->setWordWrap(true);
    m_detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    body()->addWidget(m_detail);
    body()->addStretch(1);
}

QString ErrorPage::explain(unsigned long code)
{
    switch (code) {
    case 2:
        return tr("Twitter did not accept the user name or password.");
    case 1024:
        return tr("Twitter could not be reached. Check the network connection and the "
                  "service address in the settings.");
    case 4:
        return tr("The sign-up page could not be opened in the web browser.");
    case 8:
        return tr("The saved sign-in is no longer valid. Please sign in again.");
    case 32:
        return tr("The video has no web link to put in the tweet.");
    case 2048:
        return tr("The tweet could not be sent.");
    default:
        return tr("The share could not be completed.");
    }
}

void ErrorPage::setError(unsigned long code, const QString &detail)
{
    m_code = code;
    m_explanation->setText(explain(code));
    m_detail->setText(detail);
    m_detail->setVisible(!detail.isEmpty());
}

QString ErrorPage::text() const
{
    return m_explanation->text() + u'\n' + m_detail->text();
}
