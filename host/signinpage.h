#ifndef SIGNINPAGE_H
#define SIGNINPAGE_H

#include "wizardpage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class QFormLayout;

// User name, password and "remember me". Reports them as the sign-in record
// when the plug-in asks; shows who is signed in once the plug-in says so.
// In the x flavour the user signs in on the service's own page in the
// browser instead: the page offers to open it and takes the PIN shown there
// in place of the password.
class SignInPage : public WizardPage
{
    Q_OBJECT
public:
    explicit SignInPage(QWidget *parent = nullptr);

    void setCredentials(const QString &user, const QString &password, bool remember);
    bool canGoNext() const override;
    bool canGoBack() const override { return false; }
    QString signedInName() const { return m_displayName; }
    QString problem() const;

    bool usesPin() const { return m_usesPin; }
    // Whether an authorize page is opened in the browser (a share without a
    // person reads it itself, see authorizationReady).
    void setOpensBrowser(bool opens) { m_opensBrowser = opens; }

public Q_SLOTS:
    void onSendInfo(const QString &text, unsigned long flags) override;
    // The outcome of an authorization asked for by authorizationRequested:
    // the page to open, or why there is none.
    void onAuthorizationResult(bool status, const QString &url, const QString &error);

Q_SIGNALS:
    // "Open the sign-in page" pressed: the plug-in's client is to start the
    // authorization.
    void authorizationRequested();
    void authorizationReady(const QString &url);

private:
    void update();

    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_remember = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_signOut = nullptr;
    QPushButton *m_openPage = nullptr;
    bool m_usesPin = false;
    bool m_opensBrowser = true;
    // An authorize page is open: a PIN can be typed.
    bool m_authorizing = false;
    QString m_notice;
    QString m_displayName;
    // What the plug-in last sent: the screen name and a masked password.
    QString m_confirmedUser;
    QString m_maskedPassword;
};

#endif
