#ifndef WIZARDHOST_H
#define WIZARDHOST_H

#include <QList>
#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;
class ComposePage;
class ErrorPage;
class MustUploadPage;
class ProgressPage;
class ResultPage;
class ReviewPage;
class SignInPage;
class WizardPage;

// The plug-in's window: it becomes the controller's Qt parent, shows the
// wizard pages and turns the controller's page requests into page changes.
// Its slots are named as the controller connects them.
class WizardHost : public QWidget
{
    Q_OBJECT
public:
    enum Page { SignIn, Review, MustUpload, Compose, Progress, Result, Error, PageCount };
    Q_ENUM(Page)

    explicit WizardHost(QWidget *parent = nullptr);
    ~WizardHost() override;

    // The controller, for its error text; the host reads nothing else from it.
    void setController(QObject *controller);

    Page currentPage() const { return m_current; }
    WizardPage *page(Page which) const { return m_pages.at(which); }
    SignInPage *signInPage() const;
    ReviewPage *reviewPage() const;
    MustUploadPage *mustUploadPage() const;
    ComposePage *composePage() const;
    ProgressPage *progressPage() const;
    ResultPage *resultPage() const;
    ErrorPage *errorPage() const;
    bool isSignedIn() const { return m_signedIn; }
    bool isHandingOver() const { return m_handingOver; }
    QPushButton *nextButton() const { return m_next; }
    QPushButton *backButton() const { return m_back; }

    // Shows a page by hand (tests and screenshots).
    void showPage(Page which);

Q_SIGNALS:
    void verifyShutdown(QWidget *widget, bool agree, unsigned long flags);
    void authorizeRequestApp(const QString &appid, bool authorized, unsigned long flags);
    void startCoreObject(unsigned long flags);
    void cancelClicked(bool checked);
    void pageChanged(WizardHost::Page page);
    // The window was put away for the hand-over to the upload applet.
    void putAway();
    // The user is done with the wizard (success or not).
    void finished(bool shared);

public Q_SLOTS:
    void onShowMustUpload(unsigned long flags);
    void onShowError(unsigned long flags);
    void onPopupMessage(unsigned long flags);
    void onShowWelcome(unsigned long flags);
    void onStartUploadWizard(unsigned long flags);
    void onDoWizardNext(unsigned long flags);
    void onDoWizardBack(unsigned long flags);
    void onResumeWizard(unsigned long flags);
    void onRequestConfirmation(unsigned long flags);
    void onClearWizardPages(unsigned long flags);

    void onStartMinimize(bool minimize);
    void onGetLoggedInUserComplete(bool status, const QString &text);
    void onYouTubeStatus(unsigned long status);
    // From the applet manager.
    void bringBack();
    void showUploadFailure(const QString &reason);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // A page the controller asks for: the window comes back from the task bar.
    void restoreAndShow(Page which);
    void updateButtons();
    void nextPressed();
    void backPressed();
    bool m_shared = false;

    QStackedWidget *m_stack = nullptr;
    QLabel *m_progressHint = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_cancel = nullptr;
    QList<WizardPage *> m_pages;
    QObject *m_controller = nullptr;
    Page m_current = SignIn;
    Page m_errorReturn = SignIn;
    bool m_signedIn = false;
    bool m_handingOver = false;
};

#endif
