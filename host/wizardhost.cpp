#include "wizardhost.h"

#include "composepage.h"
#include "errorpage.h"
#include "mustuploadpage.h"
#include "progresspage.h"
#include "resultpage.h"
#include "reviewpage.h"
#include "signinpage.h"

#include "controller/hostcontract.h"
#include "controller/twittercoreobject.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace HostContract;

WizardHost::WizardHost(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(tr("Share on Twitter"));
    resize(560, 420);
    m_stack = new QStackedWidget(this);
    m_pages = { new SignInPage(this), new ReviewPage(this), new MustUploadPage(this),
        new ComposePage(this), new ProgressPage(this), new ResultPage(this), new ErrorPage(this) };
    for (WizardPage *page : std::as_const(m_pages)) {
        m_stack->addWidget(page);
        connect(page, &WizardPage::buttonsChanged, this, &WizardHost::updateButtons);
    }

    m_back = new QPushButton(tr("< Back"), this);
    m_back->setObjectName(QStringLiteral("backButton"));
    m_next = new QPushButton(this);
    m_next->setObjectName(QStringLiteral("nextButton"));
    m_next->setDefault(true);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_stack, 1);
    layout->addLayout(buttons);

    connect(m_next, &QPushButton::clicked, this, &WizardHost::nextPressed);
    connect(m_back, &QPushButton::clicked, this, &WizardHost::backPressed);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_current == Result || m_current == Error)
            Q_EMIT finished(m_shared);
        else
            Q_EMIT cancelClicked(false);
    });
    showPage(SignIn);
}

WizardHost::~WizardHost() = default;

void WizardHost::closeEvent(QCloseEvent *event)
{
    // Closing the window is the user being done with it, as Cancel or Close.
    QWidget::closeEvent(event);
    Q_EMIT finished(m_shared);
}

void WizardHost::setController(QObject *controller)
{
    m_controller = controller;
}

SignInPage *WizardHost::signInPage() const
{
    return static_cast<SignInPage *>(m_pages.at(SignIn));
}

ReviewPage *WizardHost::reviewPage() const
{
    return static_cast<ReviewPage *>(m_pages.at(Review));
}

MustUploadPage *WizardHost::mustUploadPage() const
{
    return static_cast<MustUploadPage *>(m_pages.at(MustUpload));
}

ComposePage *WizardHost::composePage() const
{
    return static_cast<ComposePage *>(m_pages.at(Compose));
}

ProgressPage *WizardHost::progressPage() const
{
    return static_cast<ProgressPage *>(m_pages.at(Progress));
}

ResultPage *WizardHost::resultPage() const
{
    return static_cast<ResultPage *>(m_pages.at(Result));
}

ErrorPage *WizardHost::errorPage() const
{
    return static_cast<ErrorPage *>(m_pages.at(Error));
}

void WizardHost::showPage(Page which)
{
    m_current = which;
    m_stack->setCurrentIndex(which);
    updateButtons();
    // The controller often sends a page change and a correction of it in one
    // turn (Next, then the must-upload page): only the page still current
    // once those are handled starts its own requests.
    WizardPage *shown = m_pages.at(which);
    QTimer::singleShot(0, shown, [this, shown, which] {
        if (m_current == which)
            shown->pageShown();
    });
    Q_EMIT pageChanged(which);
}

void WizardHost::restoreAndShow(Page which)
{
    if (isMinimized())
        showNormal();
    showPage(which);
}

void WizardHost::updateButtons()
{
    const WizardPage *current = m_pages.at(m_current);
    m_next->setText(current->nextText());
    m_next->setEnabled(current->canGoNext());
    m_back->setEnabled(current->canGoBack());
    // No Next where there is nothing to go on to, no Cancel once it is done.
    m_next->setVisible(m_current != Error && m_current != Progress);
    m_cancel->setVisible(m_current != Result);
    m_cancel->setText(m_current == Error ? tr("Close") : tr("Cancel"));
}

void WizardHost::nextPressed()
{
    if (!m_next->isEnabled())
        return;
    if (m_current == Result) {
        Q_EMIT finished(true);
        return;
    }
    if (m_current == MustUpload)
        m_handingOver = true;
    Q_EMIT m_pages.at(m_current)->nextClicked(false);
}

void WizardHost::backPressed()
{
    if (m_back->isEnabled())
        Q_EMIT m_pages.at(m_current)->backClicked(false);
}

void WizardHost::onShowMustUpload(unsigned long flags)
{
    reviewPage()->setMustUpload(true);
    // At start the review page comes first and its Next leads here.
    if (flags == ShowMustUpload::OnReviewNext)
        showPage(MustUpload);
}

void WizardHost::onShowError(unsigned long flags)
{
    const auto *core = qobject_cast<TwitterCoreObject *>(m_controller);
    // Sign-in failures go back to the sign-in page, the rest to the tweet.
    switch (flags) {
    case ShowError::SignInRefused:
    case ShowError::NoAnswer:
    case ShowError::StoredSignInInvalid:
    case ShowError::SignUpPageFailed:
        m_errorReturn = SignIn;
        break;
    default:
        m_errorReturn = Compose;
        break;
    }
    errorPage()->setError(flags, core ? core->getUserErrorMsg() : QString());
    m_handingOver = false;
    restoreAndShow(Error);
}

void WizardHost::onPopupMessage(unsigned long) { }

void WizardHost::onShowWelcome(unsigned long flags)
{
    if (flags == ShowWelcome::Cancelled) {
        Q_EMIT finished(false);
        return;
    }
    m_shared = true;
    resultPage()->setOutcome(flags);
    restoreAndShow(Result);
}

void WizardHost::onStartUploadWizard(unsigned long flags)
{
    restoreAndShow(flags == StartUploadWizard::WithoutToken ? SignIn : Review);
}

void WizardHost::onDoWizardNext(unsigned long)
{
    switch (m_current) {
    case SignIn:
        showPage(Review);
        break;
    case Review:
        showPage(Compose);
        break;
    case Compose:
        showPage(Result);
        break;
    default:
        break;
    }
}

void WizardHost::onDoWizardBack(unsigned long)
{
    switch (m_current) {
    case Review:
        showPage(SignIn);
        break;
    case Compose:
    case MustUpload:
        showPage(Review);
        break;
    case Error:
        showPage(m_errorReturn);
        break;
    default:
        break;
    }
}

void WizardHost::onResumeWizard(unsigned long flags)
{
    m_handingOver = false;
    switch (flags) {
    case ResumeWizard::UploadAgain:
    case ResumeWizard::AtReview:
        restoreAndShow(Review);
        break;
    case ResumeWizard::AtTweet:
        restoreAndShow(Compose);
        break;
    default:
        restoreAndShow(SignIn);
        break;
    }
}

void WizardHost::onRequestConfirmation(unsigned long) { }

void WizardHost::onClearWizardPages(unsigned long)
{
    // Sent on cancel and when leaving the tweet page backwards: the link
    // belongs to the share under way, the user's words stay.
    composePage()->clearPage();
}

void WizardHost::onStartMinimize(bool minimize)
{
    if (!minimize)
        return;
    if (m_handingOver) {
        progressPage()->clearPage();
        showPage(Progress);
        Q_EMIT putAway();
        return;
    }
    // After the tweet the result stays on screen until the plug-in closes.
    if (m_current != Result && isVisible())
        showMinimized();
}

void WizardHost::onGetLoggedInUserComplete(bool status, const QString &)
{
    m_signedIn = status;
}

void WizardHost::onYouTubeStatus(unsigned long status)
{
    if (m_current == Progress && status == YouTubeStatus::Idle)
        progressPage()->setMessage(tr("Upload finished."));
}

void WizardHost::bringBack()
{
    m_handingOver = false;
    if (isMinimized())
        showNormal();
    restoreAndShow(m_signedIn ? Compose : SignIn);
}

void WizardHost::showUploadFailure(const QString &reason)
{
    m_handingOver = false;
    m_errorReturn = Review;
    errorPage()->setError(0, reason);
    restoreAndShow(Error);
}
