#include "appletmanager.h"

#include "hostlogging.h"
#include "videouploadapplet.h"

#include "controller/hostcontract.h"
#include "controller/twittercoreobject.h"

using namespace HostContract;

AppletManager::AppletManager(QObject *parent)
    : QObject(parent)
{ }

AppletManager::~AppletManager() = default;

void AppletManager::setSelection(const QList<QPair<QString, QImage>> &selection)
{
    m_selection = selection;
}

void AppletManager::trayClicked()
{
    if (auto *core = qobject_cast<TwitterCoreObject *>(m_core))
        core->sysTrayClicked(true);
}

void AppletManager::onRequestSelectContent(unsigned long)
{
    for (const auto &item : std::as_const(m_selection))
        Q_EMIT selectImageContent(item.first, item.second, 0);
}

void AppletManager::onRegisterSNAppCore(QObject *core, unsigned long)
{
    m_core = core;
}

void AppletManager::onSNAppReadyToClose(const QString &id, bool ok, unsigned long flags)
{
    qCDebug(
        lcHost, "AppletManager::onSNAppReadyToClose() - %s %d %lu", qUtf8Printable(id), ok, flags);
    if (id != ownAppId() || !ok || !m_closing)
        return;
    m_closing = false;
    Q_EMIT pluginClosed();
}

void AppletManager::onRequestApp(const QString &appid, const QString &data, unsigned long flags)
{
    qCDebug(lcHost, "AppletManager::onRequestApp() - %s %lu", qUtf8Printable(appid), flags);
    if (appid == videoUploadAppId())
        startUpload(data);
    else if (appid == ownAppId())
        Q_EMIT pluginBroughtBack();
    else if (appid == trayAppId())
        Q_EMIT trayAppletRequested();
}

void AppletManager::onAppRequest(const QString &appId, unsigned long flags)
{
    qCDebug(lcHost, "AppletManager::onAppRequest() - %s %lu", qUtf8Printable(appId), flags);
    if (flags != AppRequest::Close)
        return;
    if (appId == ownAppId()) {
        // The plug-in leaves only once it says it is ready.
        m_closing = true;
        Q_EMIT requestSNAppReadyToClose(appId, 0);
    } else if (appId == videoUploadAppId() && m_upload) {
        m_upload->close();
    }
}

void AppletManager::onPluginPutAway()
{
    Q_EMIT appClosed(ownAppId(), OnAppClosed::InHandOver);
}

void AppletManager::startUpload(const QString &data)
{
    if (m_upload) {
        qCWarning(lcHost, "AppletManager::startUpload() - the upload applet is already running");
        return;
    }
    m_upload = new VideoUploadApplet(this);
    connect(m_upload, &VideoUploadApplet::uploadStatus, this, &AppletManager::uploadStatus);
    connect(m_upload, &VideoUploadApplet::progress, this, &AppletManager::uploadProgress);
    connect(m_upload, &VideoUploadApplet::started, this, &AppletManager::uploadStarted);
    connect(m_upload, &VideoUploadApplet::finished, this, &AppletManager::uploadFinished);
    connect(m_upload, &VideoUploadApplet::failed, this, &AppletManager::uploadFailed);
    connect(
        m_upload, &VideoUploadApplet::closed, this, [this](const QString &id, unsigned long flags) {
            m_upload->deleteLater();
            Q_EMIT appClosed(id, flags);
        });
    m_upload->start(data);
}
