#include "testhost.h"

void Recorder::record(const char *name, const QVariantList &arguments)
{
    m_calls.append({ QString::fromLatin1(name), arguments });
}

QList<QVariantList> Recorder::calls(const char *name) const
{
    QList<QVariantList> found;
    for (const auto &call : m_calls) {
        if (call.first == QLatin1String(name))
            found.append(call.second);
    }
    return found;
}

QVariantList Recorder::firstArguments(const char *name) const
{
    QVariantList found;
    for (const QVariantList &arguments : calls(name))
        found.append(arguments.value(0));
    return found;
}

QStringList Recorder::names() const
{
    QStringList found;
    for (const auto &call : m_calls)
        found.append(call.first);
    return found;
}

void WizardHost::attach(QObject *controller)
{
    const auto queued = Qt::QueuedConnection;
    connect(controller, SIGNAL(requestApp(const QString &, const QString &, unsigned long)), this,
        SLOT(onRequestApp(const QString &, const QString &, unsigned long)), queued);
    connect(controller, SIGNAL(appRequest(const QString &, unsigned long)), this,
        SLOT(onAppRequest(const QString &, unsigned long)), queued);
    connect(controller, SIGNAL(startMinimize(bool)), this, SLOT(onStartMinimize(bool)), queued);
    connect(controller, SIGNAL(getLoggedInUserComplete(bool, const QString &)), this,
        SLOT(onGetLoggedInUserComplete(bool, const QString &)), queued);
    connect(controller, SIGNAL(reviewApproval(bool, unsigned long)), this,
        SLOT(onReviewApproval(bool, unsigned long)), queued);
    connect(controller, SIGNAL(displayLimitsErrorMsg(QString, unsigned long)), this,
        SLOT(onDisplayLimitsErrorMsg(const QString &, unsigned long)), queued);
    connect(controller, SIGNAL(youTubeStatus(unsigned long)), this,
        SLOT(onYouTubeStatus(unsigned long)), queued);
    connect(controller, SIGNAL(uploadComplete(unsigned long)), this,
        SLOT(onUploadComplete(unsigned long)), queued);
    connect(this, SIGNAL(verifyShutdown(QWidget *, bool, unsigned long)), this,
        SLOT(onVerifyShutdown(QWidget *, bool, unsigned long)));
    connect(this, SIGNAL(authorizeRequestApp(const QString &, bool, unsigned long)), this,
        SLOT(onAuthorizeRequestApp(const QString &, bool, unsigned long)));
    connect(this, SIGNAL(startCoreObject(unsigned long)), controller,
        SLOT(onStartCoreObject(unsigned long)));
}

#define RECORD_FLAGS(slot)                                                                         \
    void WizardHost::slot(unsigned long flags)                                                     \
    {                                                                                              \
        record(#slot, { QVariant::fromValue(flags) });                                             \
    }
RECORD_FLAGS(onShowMustUpload)
RECORD_FLAGS(onShowError)
RECORD_FLAGS(onPopupMessage)
RECORD_FLAGS(onShowWelcome)
RECORD_FLAGS(onStartUploadWizard)
RECORD_FLAGS(onDoWizardNext)
RECORD_FLAGS(onDoWizardBack)
RECORD_FLAGS(onResumeWizard)
RECORD_FLAGS(onRequestConfirmation)
RECORD_FLAGS(onClearWizardPages)
RECORD_FLAGS(onYouTubeStatus)
RECORD_FLAGS(onUploadComplete)
#undef RECORD_FLAGS

void WizardHost::onRequestApp(const QString &appid, const QString &data, unsigned long flags)
{
    record("onRequestApp", { appid, data, QVariant::fromValue(flags) });
}

void WizardHost::onAppRequest(const QString &appId, unsigned long flags)
{
    record("onAppRequest", { appId, QVariant::fromValue(flags) });
}

void WizardHost::onStartMinimize(bool minimize)
{
    record("onStartMinimize", { minimize });
}

void WizardHost::onGetLoggedInUserComplete(bool status, const QString &text)
{
    record("onGetLoggedInUserComplete", { status, text });
}

void WizardHost::onReviewApproval(bool approved, unsigned long flags)
{
    record("onReviewApproval", { approved, QVariant::fromValue(flags) });
}

void WizardHost::onDisplayLimitsErrorMsg(const QString &ls, unsigned long flags)
{
    record("onDisplayLimitsErrorMsg", { ls, QVariant::fromValue(flags) });
}

void WizardHost::onVerifyShutdown(QWidget *widget, bool agree, unsigned long flags)
{
    record("onVerifyShutdown",
        { QVariant::fromValue(static_cast<void *>(widget)), agree, QVariant::fromValue(flags) });
}

void WizardHost::onAuthorizeRequestApp(const QString &appid, bool authorized, unsigned long flags)
{
    record("onAuthorizeRequestApp", { appid, authorized, QVariant::fromValue(flags) });
}

void AppletManager::onRequestSelectContent(unsigned long flags)
{
    record("onRequestSelectContent", { QVariant::fromValue(flags) });
    for (const auto &item : std::as_const(selection))
        Q_EMIT selectImageContent(item.first, item.second, 0);
}

void AppletManager::onRegisterSNAppCore(QObject *core, unsigned long flags)
{
    record("onRegisterSNAppCore",
        { QVariant::fromValue(static_cast<void *>(core)), QVariant::fromValue(flags) });
}

void AppletManager::onSNAppReadyToClose(const QString &id, bool ok, unsigned long flags)
{
    record("onSNAppReadyToClose", { id, ok, QVariant::fromValue(flags) });
}

QStringList WizardPage::texts(unsigned long kind) const
{
    QStringList found;
    for (const char *name : { "onSendInfo", "onSendInfoImage" }) {
        for (const QVariantList &call : calls(name)) {
            if ((call.last().value<unsigned long>() & kind) == kind)
                found.append(call.first().toString());
        }
    }
    return found;
}

void WizardPage::onSendInfo(const QString &text, unsigned long flags)
{
    record("onSendInfo", { text, QVariant::fromValue(flags) });
    answerReportNow(flags);
}

void WizardPage::onSendInfo(const QString &text, const QImage &image, unsigned long flags)
{
    record("onSendInfoImage", { text, image, QVariant::fromValue(flags) });
    answerReportNow(flags);
}

void WizardPage::answerReportNow(unsigned long flags)
{
    if (!(flags & 0x200))
        return;
    for (const auto &report : std::as_const(reports))
        Q_EMIT reportInfo(report.first, report.second);
}
