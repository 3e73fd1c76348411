#include "signinpage.h"

#include "controller/hostcontract.h"

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
    form->addRow(tr("User name:"), m_user);
    form->addRow(tr("Password:"), m_password);
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
    return !m_user->text().isEmpty() && !m_password->text().isEmpty() && problem().isEmpty();
}

void SignInPage::update()
{
    const QString trouble = problem();
    if (!trouble.isEmpty())
        m_status->setText(trouble);
    else if (!m_displayName.isEmpty())
        m_status->setText(tr("Signed in as %1.").arg(m_displayName));
    else
        m_status->setText(tr("Enter your Twitter user name and password."));
    m_signOut->setVisible(!m_displayName.isEmpty());
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
