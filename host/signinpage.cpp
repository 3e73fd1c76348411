#include "signinpage.h"

#include "controller/hostcontract.h"
#include "platform/osproxylib.h"
#include "twitter/twittersettings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace HostContract;

SignInPage::SignInPage(QWidget *parent)
    : WizardPage(tr("Sign in to Twitter"), parent)
{
    auto *form = new QFormLayout;
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("userName"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_remember = new QCheckBox(tr("Remember me"), this);
    m_remember->setObjectName(QStringLiteral("remember"));
    m_usesPin = TwitterSettings::xFlavor();
    form->addRow(tr("User name:"), m_user);
    if (m_usesPin) {
        // Whoever approves on the service's page is the one signed in.
        form->setRowVisible(m_user, false);
        m_openPage = new QPushButton(tr("Open the sign-in page"), this);
        m_openPage->setObjectName(QStringLiteral("openSignInPage"));
        form->addRow(QString(), m_openPage);
        m_password->setObjectName(QStringLiteral("pin"));
        m_password->setEchoMode(QLineEdit::Normal);
        m_password->setPlaceholderText(tr("shown after you approve"));
        form->addRow(tr("PIN:"), m_password);
        // The exchange spends the request token, whatever its outcome: a
        // failed sign-in needs a new page and PIN.
        connect(this, &WizardPage::nextClicked, this, [this] {
            m_authorizing = false;
            m_notice = tr("A PIN works once: open the sign-in page again for a new one.");
            update();
        });
        connect(m_openPage, &QPushButton::clicked, this, [this] {
            m_notice = tr("Asking Twitter for a sign-in page...");
            m_openPage->setEnabled(false);
            update();
            Q_EMIT authorizationRequested();
        });
    } else {
        form->addRow(tr("Password:"), m_password);
    }
    form->addRow(QString(), m_remember);
    body()->addLayout(form);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("signInStatus"));
    m_status->setWordWrap(true);
    body()->addWidget(m_status);
    m_signOut = new QPushButton(tr("Sign out"), this);
    m_signOut->setObjectName(QStringLiteral("signOut"));
    m_signOut->hide();
    body()->addWidget(m_signOut, 0, Qt::AlignLeft);
    body()->addStretch(1);

    connect(m_user, &QLineEdit::textChanged, this, &SignInPage::update);
    connect(m_password, &QLineEdit::textChanged, this, &SignInPage::update);
    connect(m_signOut, &QPushButton::clicked, this, [this] {
        m_displayName.clear();
        m_confirmedUser.clear();
        m_maskedPassword.clear();
        m_password->clear();
        m_authorizing = false;
        m_notice.clear();
        update();
        Q_EMIT applyClicked(false);
    });
    update();
}

void SignInPage::setCredentials(const QString &user, const QString &password, bool remember)
{
    m_user->setText(user);
    m_password->setText(password);
    m_remember->setChecked(remember);
}

QString SignInPage::problem() const
{
    if (!fitsRecord(m_user->text()) || !fitsRecord(m_password->text()))
        return tr("User name and password cannot contain \"||\" or \"<>\".");
    return QString();
}

bool SignInPage::canGoNext() const
{
    if (!m_displayName.isEmpty())
        return true;
    if (m_usesPin)
        return m_authorizing && !m_password->text().trimmed().isEmpty() && problem().isEmpty();
    return !m_user->text().isEmpty() && !m_password->text().isEmpty() && problem().isEmpty();
}

void SignInPage::update()
{
    const QString trouble = problem();
    if (!trouble.isEmpty())
        m_status->setText(trouble);
    else if (!m_displayName.isEmpty())
        m_status->setText(tr("Signed in as %1.").arg(m_displayName));
    else if (!m_notice.isEmpty())
        m_status->setText(m_notice);
    else if (m_usesPin)
        m_status->setText(tr("Open the sign-in page, approve the application there and type "
                             "the PIN it shows."));
    else
        m_status->setText(tr("Enter your Twitter user name and password."));
    m_signOut->setVisible(!m_displayName.isEmpty());
    if (m_openPage)
        m_openPage->setVisible(m_displayName.isEmpty());
    Q_EMIT buttonsChanged();
}

void SignInPage::onSendInfo(const QString &text, unsigned long flags)
{
    if (flags & InfoKind::UserName) {
        m_displayName = text;
        update();
    }
    if (flags & InfoKind::SignIn) {
        const QHash<QString, QString> record = parseRecord(text);
        m_confirmedUser = record.value(QStringLiteral("author"));
        m_maskedPassword = record.value(QStringLiteral("password"));
        if (!m_confirmedUser.isEmpty())
            m_user->setText(m_confirmedUser);
        m_remember->setChecked(record.value(QStringLiteral("remember")).toInt() != 0);
    }
    if (flags == InfoKind::ReportNow) {
        // After a confirmed sign-in the field still holds what the user typed;
        // the plug-in only ever gets back what it handed out or what was typed.
        const QString password
            = m_password->text().isEmpty() ? m_maskedPassword : m_password->text();
        Q_EMIT reportInfo(
            recordText({ { QStringLiteral("author"), m_user->text() },
                { QStringLiteral("password"), password },
                { QStringLiteral("remember"),
                    m_remember->isChecked() ? QStringLiteral("1") : QStringLiteral("0") } }),
            InfoKind::SignIn);
    }
}

void SignInPage::onAuthorizationResult(bool status, const QString &url, const QString &error)
{
    m_openPage->setEnabled(true);
    m_authorizing = status;
    if (!status) {
        m_notice = error.isEmpty() ? tr("Twitter did not start the sign-in.") : error;
    } else if (m_opensBrowser && !openWithShell(url, 0, QString())) {
        m_notice = tr("No web browser could open the sign-in page; open %1 yourself, approve "
                      "the application and type the PIN it shows.")
                       .arg(url);
    } else {
        m_notice = tr("Approve the application on the sign-in page, then type the PIN it shows.");
    }
    m_password->clear();
    update();
    if (status)
        Q_EMIT authorizationReady(url);
}
