// The sign-in and account part of the controller.
#include "controller/twittercoreobject.h"

#include "platform/osproxylib.h"
#include "twitter/twitter_core.h"
#include "twitter/twittersettings.h"
#include "zpvlogging.h"

#include <QDomDocument>
#include <QTimer>

namespace {

const QString authorKey = QStringLiteral("author");
const QString passwordKey = QStringLiteral("password");
const QString rememberKey = QStringLiteral("remember");
// Sent back to the page in place of the real password.
const QString hiddenPassword = QStringLiteral("**********");

} // namespace

using namespace HostContract;

void TwitterCoreObject::onLogin(unsigned long)
{
    Q_EMIT resumeWizard(ResumeWizard::SignInAsked);
}

void TwitterCoreObject::onLoginNext(bool)
{
    if (m_flow.signedIn) {
        Q_EMIT doWizardNext(0);
        return;
    }
    armPendingStep(InfoKind::SignIn, true, false);
}

void TwitterCoreObject::clientLogin()
{
    if (m_client->logIn(m_signInRecord.value(authorKey), m_signInRecord.value(passwordKey), 0)) {
        m_signIns.sent++;
        return;
    }
    // No result signal follows a request that never went out.
    const QString message = tr("The sign-in request could not be prepared.");
    QTimer::singleShot(0, this, [this, message, share = m_share] {
        if (share == m_share)
            showFailure(ShowError::SignInRefused, message);
    });
}

void TwitterCoreObject::onLoginComplete(bool status, unsigned long flags)
{
    // A sign-in of a cancelled share, or overtaken by a sign-out.
    if (!m_signIns.arrive())
        return;
    if (status) {
        saveSettings();
        m_flow.signingIn = true;
        getLoggedInUser();
        return;
    }
    showFailure((flags & ITwitter_core::NoAnswer) ? ShowError::NoAnswer : ShowError::SignInRefused,
        m_client->getErrorText());
}

void TwitterCoreObject::getLoggedInUser()
{
    if (m_client->isLoggedIn(0)) {
        m_checks.sent++;
        return;
    }
    const QString message = tr("The stored Twitter sign-in is incomplete; please sign in again.");
    QTimer::singleShot(0, this, [this, message, share = m_share] {
        if (share == m_share)
            confirmationFinished(false, message);
    });
}

void TwitterCoreObject::onGetLoggedInUserComplete(bool status, unsigned long)
{
    if (m_checks.arrive())
        confirmationFinished(status, QString());
}

void TwitterCoreObject::confirmationFinished(bool status, const QString &failure)
{
    Q_EMIT getLoggedInUserComplete(status, QString());
    m_flow.signedIn = status;
    if (m_flow.signedIn) {
        saveSettings();
        if (m_flow.signingIn) {
            if (!m_flow.waitingForUpload && !m_flow.uploadDone)
                Q_EMIT doWizardNext(0);
            else
                Q_EMIT resumeWizard(ResumeWizard::AtTweet);
        }
        m_flow.signingIn = false;
        m_signInRecord.insert(authorKey, m_client->user.screen_name);
        m_signInRecord.insert(passwordKey, hiddenPassword);
        onRequestSendInfo(
            InfoKind::UserName | InfoKind::Paths | InfoKind::SignIn | InfoKind::Tweet);
        return;
    }
    if (!m_flow.signingIn && !m_flow.checkingStoredSignIn)
        return;
    m_flow.signingIn = false;
    m_flow.checkingStoredSignIn = false;
    showFailure(
        ShowError::StoredSignInInvalid, failure.isNull() ? m_client->getErrorText() : failure);
}

void TwitterCoreObject::onLogout(bool)
{
    m_signInRecord.clear();
    m_tweetInfo.clear();
    saveSettings();
    m_client->logOut(0);
    clear();
    Q_EMIT requestSelectContent(0);
    onStartCoreObject(0);
}

void TwitterCoreObject::onWizardApplyBtn(bool)
{
    onLogout(true);
}

void TwitterCoreObject::onCreateAccount()
{
    const QUrl url
        = TwitterSettings::endpoint(TwitterSettings::webUrl(), QStringLiteral("/signup"));
    if (!openWithShell(url.toString(QUrl::FullyEncoded), 0, QString()))
        showFailure(ShowError::SignUpPageFailed,
            tr("No web browser could open %1.").arg(url.toDisplayString()));
}

void TwitterCoreObject::Append(const QString &text)
{
    m_errorLog += text + QLatin1Char('\n');
}

bool TwitterCoreObject::NoError(QDomDocument &document)
{
    const QDomElement root = document.documentElement();
    const QString code = root.firstChildElement(QStringLiteral("error_code")).text();
    if (code.isEmpty())
        return true;
    const QString message = root.firstChildElement(QStringLiteral("error_msg")).text();
    Append(QStringLiteral("\n************** ERROR **************"));
    Append(QStringLiteral("error_code: ") + code);
    Append(QStringLiteral("error_msg: ") + message);
    Append(document.toString(1));
    return false;
}
