#ifndef SIGNINPAGE_H
#define SIGNINPAGE_H

#include "wizardpage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// User name, password and "remember me". Reports them as the sign-in record
// when the plug-in asks; shows who is signed in once the plug-in says so.
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

public Q_SLOTS:
    void onSendInfo(const QString &text, unsigned long flags) override;

private:
    void update();

    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_remember = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_signOut = nullptr;
    QString m_displayName;
    // What the plug-in last sent: the screen name and a masked password.
    QString m_confirmedUser;
    QString m_maskedPassword;
};

#endif
