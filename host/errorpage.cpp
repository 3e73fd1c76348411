#include "errorpage.h"

#include "controller/hostcontract.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace HostContract;

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
    case ShowError::SignInRefused:
        return tr("Twitter did not accept the user name or password.");
    case ShowError::NoAnswer:
        return tr("Twitter could not be reached. Check the network connection and the "
                  "service address in the settings.");
    case ShowError::SignUpPageFailed:
        return tr("The sign-up page could not be opened in the web browser.");
    case ShowError::StoredSignInInvalid:
        return tr("The saved sign-in is no longer valid. Please sign in again.");
    case ShowError::NoLink:
        return tr("The video has no web link to put in the tweet.");
    case ShowError::ShareFailed:
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
