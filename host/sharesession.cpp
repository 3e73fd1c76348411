#include "sharesession.h"

#include "appletmanager.h"
#include "composepage.h"
#include "errorpage.h"
#include "mustuploadpage.h"
#include "progresspage.h"
#include "resultpage.h"
#include "reviewpage.h"
#include "signinpage.h"
#include "wizardhost.h"

#include "hostlogging.h"

#include "controller/hostcontract.h"
#include "controller/twittercoreobject.h"
#include "platform/osproxylib.h"
#include "twitter/twitter_core.h"

#include <QPainter>

using namespace HostContract;

namespace {
// Every connection is made even when an earlier one failed.
template<typename... Results>
bool connectAll(const Results &...results)
{
    return (bool(results) && ...);
}
} // namespace

ShareSession::ShareSession(const Selection &selection, QObject *parent)
    : QObject(parent)
    , m_manager(new AppletManager(this))
{
    m_manager->setSelection(selection);
    m_wizard = new WizardHost;
    // The controller asks the manager for the selection inside its constructor.
    auto *core = new TwitterCoreObject(m_wizard, reinterpret_cast<quintptr>(m_manager));
    m_controller = core;
    m_wizard->setController(core);
}

ShareSession::~ShareSession()
{
    delete m_wizard;
}

QImage ShareSession::thumbnailFor(const QString &path)
{
    static const bool cache = initThumbnailCache();
    QImage image;
    if (cache && getShellThumbnail(path, image, QSize(256, 256)) && !image.isNull())
        return image;
    return placeholderThumbnail();
}

QImage ShareSession::placeholderThumbnail()
{
    QImage image(160, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0x30, 0x36, 0x40));
    QPainter painter(&image);
    painter.setPen(Qt::white);
    painter.setBrush(QColor(0xdd, 0xdd, 0xdd));
    const QPointF play[] = { { 66, 40 }, { 66, 80 }, { 100, 60 } };
    painter.drawPolygon(play, 3);
    return image;
}

bool ShareSession::start()
{
    if (!m_controller)
        return false;
    const bool ok = connectHost() && registerPages();
    if (!ok)
        qCCritical(lcHost, "ShareSession::start() - the plug-in could not be connected");
    Q_EMIT m_wizard->startCoreObject(0);
    return ok;
}

bool ShareSession::connectHost()
{
    QObject *core = m_controller;
    WizardHost *wizard = m_wizard;
    AppletManager *manager = m_manager;
    const auto queued = Qt::QueuedConnection;
    const bool ok = connectAll(connect(wizard, SIGNAL(startCoreObject(unsigned long)), core,
                                   SLOT(onStartCoreObject(unsigned long)), queued),
        connect(wizard, SIGNAL(cancelClicked(bool)), core, SLOT(onCancel(bool)), queued),
        connect(core, SIGNAL(requestApp(QString, QString, unsigned long)), manager,
            SLOT(onRequestApp(QString, QString, unsigned long)), queued),
        connect(core, SIGNAL(appRequest(QString, unsigned long)), manager,
            SLOT(onAppRequest(QString, unsigned long)), queued),
        connect(core, SIGNAL(startMinimize(bool)), wizard, SLOT(onStartMinimize(bool)), queued),
        connect(core, SIGNAL(getLoggedInUserComplete(bool, QString)), wizard,
            SLOT(onGetLoggedInUserComplete(bool, QString)), queued),
        connect(core, SIGNAL(youTubeStatus(unsigned long)), wizard,
            SLOT(onYouTubeStatus(unsigned long)), queued),
        connect(core, SIGNAL(reviewApproval(bool, unsigned long)), wizard->reviewPage(),
            SLOT(onReviewApproval(bool, unsigned long)), queued),
        connect(core, SIGNAL(displayLimitsErrorMsg(QString, unsigned long)), wizard->reviewPage(),
            SLOT(onDisplayLimitsErrorMsg(QString, unsigned long)), queued),
        connect(manager, SIGNAL(appClosed(QString, unsigned long)), core,
            SLOT(onAppClosed(QString, unsigned long)), queued),
        connect(manager, SIGNAL(uploadStatus(QString, bool, QString, QString, unsigned long)), core,
            SLOT(onUploadStatus(QString, bool, QString, QString, unsigned long)), queued));

    // Host-side reactions that do not involve the controller.
    connect(wizard, &WizardHost::putAway, manager, &AppletManager::onPluginPutAway, queued);
    connect(manager, &AppletManager::pluginBroughtBack, wizard, &WizardHost::bringBack);
    connect(
        manager, &AppletManager::uploadProgress, wizard->progressPage(), &ProgressPage::onProgress);
    connect(manager, &AppletManager::uploadFailed, wizard, &WizardHost::showUploadFailure);
    connect(manager, &AppletManager::pluginClosed, this, [this] {
        // A failure stays on screen until the user has read it.
        if (!m_wizard || m_wizard->currentPage() != WizardHost::Error || m_wizard->isHidden())
            end(m_shared);
    });
    connect(wizard, &WizardHost::finished, this, &ShareSession::end);
    connect(wizard, &WizardHost::pageChanged, this, [this](WizardHost::Page page) {
        if (page == WizardHost::Result)
            m_shared = true;
    });
    return ok;
}

bool ShareSession::registerPages()
{
    auto *core = static_cast<TwitterCoreObject *>(m_controller.data());
    WizardHost *wizard = m_wizard;
    const auto queued = Qt::QueuedConnection;
    SignInPage *signIn = wizard->signInPage();
    ReviewPage *review = wizard->reviewPage();
    MustUploadPage *mustUpload = wizard->mustUploadPage();
    ComposePage *compose = wizard->composePage();
    // The browser sign-in is the client's own: the plug-in's contract with
    // the host has no signal for it.
    if (auto *client = core->findChild<Twitter_core *>()) {
        connect(signIn, &SignInPage::authorizationRequested, client, [client, signIn] {
            if (!client->startAuthorization(0))
                signIn->onAuthorizationResult(false, QString(), client->getErrorText());
        });
        connect(client, &Twitter_core::authorizationResult, signIn,
            [client, signIn](bool status, const QString &url) {
                signIn->onAuthorizationResult(status, url, client->getErrorText());
            });
    }
    return connectAll(
        // Buttons whose Next the host routes to the page's own controller slot.
        core->registerWizardPage(signIn, PageButtons::NoNext),
        connect(signIn, SIGNAL(nextClicked(bool)), core, SLOT(onLoginNext(bool)), queued),
        core->registerWizardPage(review, PageButtons::NoNext),
        connect(review, SIGNAL(nextClicked(bool)), core, SLOT(onReviewNextBtn(bool)), queued),
        connect(mustUpload, SIGNAL(nextClicked(bool)), core, SLOT(onNextMustUploadClicked(bool)),
            queued),
        connect(mustUpload, SIGNAL(backClicked(bool)), core, SLOT(onBackMustUploadClicked(bool)),
            queued),
        core->registerWizardPage(compose, PageButtons::UploadNext | PageButtons::UploadBack),
        core->registerWizardPage(wizard->errorPage(), PageButtons::NoNext),
        // The info exchange.
        core->registerForInfoRequest(signIn, InfoPage::Reports),
        core->registerForInfoRequest(review, InfoPage::TakesImages | InfoPage::Reports),
        core->registerForInfoRequest(compose, InfoPage::Reports),
        core->registerForInfoRequest(wizard->resultPage(), 0));
}

void ShareSession::end(bool shared)
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_wizard)
        m_wizard->hide();
    Q_EMIT ended(shared);
}
