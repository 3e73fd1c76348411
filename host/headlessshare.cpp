#include "headlessshare.h"

#include "appletmanager.h"
#include "authorizepagereader.h"
#include "composepage.h"
#include "errorpage.h"
#include "reviewpage.h"
#include "sharesession.h"
#include "signinpage.h"

#include "badges/badger.h"
#include "twitter/itwitter_core.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

HeadlessShare::HeadlessShare(const Options &options, QTextStream &out, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_out(out)
{ }

HeadlessShare::~HeadlessShare() = default;

void HeadlessShare::start()
{
    m_total.start();
    m_step.start();
    const QString clip = QFileInfo(m_options.clip).absoluteFilePath();
    if (!QFileInfo(clip).isFile()) {
        QTimer::singleShot(0, this, [this] { fail(tr("no such file: %1").arg(m_options.clip)); });
        return;
    }
    // No window: a thumbnail would be decoded and written to the cache for nobody.
    m_session = new ShareSession({ { clip, ShareSession::placeholderThumbnail() } }, this);
    WizardHost *wizard = m_session->wizard();
    wizard->signInPage()->setCredentials(m_options.user, m_options.password, m_options.remember);
    if (wizard->signInPage()->usesPin()) {
        m_pinReader = new AuthorizePageReader(wizard->signInPage(), this);
        connect(m_pinReader, &AuthorizePageReader::failed, this, &HeadlessShare::fail);
    }

    // The client's answers end the steps that are one request each; the
    // tweet's id is only in its answer.
    if (auto *client = m_session->controller()->findChild<ITwitter_core *>()) {
        connect(
            client, &ITwitter_core::loginResult, this, [this] { step(QStringLiteral("sign-in")); });
        connect(client, &ITwitter_core::isLoggedInResult, this,
            [this] { step(QStringLiteral("user check")); });
        connect(client, SIGNAL(tweetResult(bool, QString, QString, QString, unsigned long)), this,
            SLOT(onTweetResult(bool, QString, QString)));
    }
    connect(wizard, &WizardHost::pageChanged, this, &HeadlessShare::advance, Qt::QueuedConnection);
    for (int page = 0; page < WizardHost::PageCount; ++page)
        connect(wizard->page(WizardHost::Page(page)), &WizardPage::buttonsChanged, this,
            &HeadlessShare::advance, Qt::QueuedConnection);
    connect(
        wizard->composePage(), &ComposePage::shortLinkArrived, this, [this](const QString &link) {
            m_shortLink = link;
            advance();
        });
    AppletManager *manager = m_session->appletManager();
    connect(manager, &AppletManager::uploadStarted, this,
        [this] { step(QStringLiteral("hand-over")); });
    connect(
        manager, &AppletManager::uploadFinished, this, [this] { step(QStringLiteral("upload")); });
    connect(m_session, &ShareSession::ended, this, [this](bool shared) {
        if (!shared)
            fail(tr("the plug-in closed before the tweet was sent"));
    });
    QTimer::singleShot(m_options.timeoutMs, this, [this] { fail(tr("timed out")); });
    m_session->start();
}

void HeadlessShare::step(const QString &name)
{
    if (m_done)
        return;
    const qint64 us = m_step.nsecsElapsed() / 1000;
    m_step.start();
    m_steps.append(name);
    m_stepTimes.append(us);
    m_out << QStringLiteral("step %1 %2 ms").arg(name).arg(us / 1000.0, 0, 'f', 1) << Qt::endl;
}

void HeadlessShare::press(WizardHost::Page page)
{
    WizardHost *wizard = m_session->wizard();
    if (m_pressedOn == page || !wizard->nextButton()->isEnabled())
        return;
    m_pressedOn = page;
    wizard->nextButton()->click();
}

void HeadlessShare::advance()
{
    if (m_done || !m_session || !m_session->wizard())
        return;
    WizardHost *wizard = m_session->wizard();
    const WizardHost::Page page = wizard->currentPage();
    if (page != m_pressedOn && m_pressedOn != m_stepped && page != WizardHost::Progress
        && page != WizardHost::Error) {
        m_stepped = m_pressedOn;
        // A new page: the previous press has done its work.
        if (m_pressedOn == WizardHost::Review)
            step(QStringLiteral("review"));
    }
    switch (page) {
    case WizardHost::SignIn:
        if (m_pinReader && !wizard->isSignedIn())
            m_pinReader->start();
        if (wizard->isSignedIn() || m_pressedOn != WizardHost::SignIn)
            press(page);
        break;
    case WizardHost::Review:
    case WizardHost::MustUpload:
        press(page);
        break;
    case WizardHost::Compose:
        if (m_shortLink.isEmpty() || m_pressedOn == page)
            break;
        if (!m_textWritten) {
            m_textWritten = true;
            step(QStringLiteral("short-link"));
            wizard->composePage()->setUserText(
                m_options.text.isEmpty() ? m_shortLink : m_options.text + u' ' + m_shortLink);
        }
        press(page);
        break;
    case WizardHost::Result:
        step(QStringLiteral("badge"));
        succeed();
        break;
    case WizardHost::Error:
        fail(wizard->errorPage()->text().trimmed());
        break;
    default:
        break;
    }
}

void HeadlessShare::onTweetResult(bool status, const QString &text, const QString &id)
{
    step(QStringLiteral("tweet"));
    if (status) {
        m_tweetText = text;
        m_tweetId = id;
    }
}

void HeadlessShare::succeed()
{
    if (m_done)
        return;
    m_done = true;
    m_out << QStringLiteral("total %1 ms").arg(m_total.nsecsElapsed() / 1e6, 0, 'f', 1) << Qt::endl;
    m_out << "tweet text: " << m_tweetText << Qt::endl;
    m_out << "tweet id: " << m_tweetId << Qt::endl;
    m_out << "short link: " << m_shortLink << Qt::endl;
    QString record;
    Badger badger;
    if (!badger.getBadgeContent(QFileInfo(m_options.clip).absoluteFilePath(), record))
        record = QStringLiteral("(none: %1)").arg(record);
    m_out << "badge record:" << Qt::endl << record.trimmed() << Qt::endl;
    Q_EMIT finished(!m_tweetId.isEmpty());
}

void HeadlessShare::fail(const QString &reason)
{
    if (m_done)
        return;
    m_done = true;
    m_failure = reason;
    m_out << "share failed: " << reason << Qt::endl;
    Q_EMIT finished(false);
}
