#ifndef APPLETMANAGER_H
#define APPLETMANAGER_H

#include <QImage>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include "videouploadapplet.h"

// Starts and closes the host's applets on the plug-in's behalf, delivers the
// gallery selection, and relays the upload applet's reports. Slots and
// signals are named as the controller connects them.
class AppletManager : public QObject
{
    Q_OBJECT
public:
    explicit AppletManager(QObject *parent = nullptr);
    ~AppletManager() override;

    void setSelection(const QList<QPair<QString, QImage>> &selection);
    QObject *registeredCore() const { return m_core; }
    VideoUploadApplet *uploadApplet() const { return m_upload; }
    // The tray icon was clicked: the plug-in asks for its tray applet.
    void trayClicked();

Q_SIGNALS:
    void selectImageContent(const QString &path, const QImage &image, unsigned long flags);
    void requestSNAppReadyToClose(const QString &id, unsigned long flags);
    // Relayed to the controller's onAppClosed and onUploadStatus.
    void appClosed(const QString &appId, unsigned long flags);
    void uploadStatus(const QString &appid, bool status, const QString &path, const QString &link,
        unsigned long flags);
    // For the host's own windows.
    void uploadStarted(const QString &path);
    void uploadProgress(qint64 sent, qint64 total);
    void uploadFinished(const QString &link);
    void uploadFailed(const QString &reason);
    void pluginBroughtBack();
    void pluginClosed();
    void trayAppletRequested();

public Q_SLOTS:
    void onRequestSelectContent(unsigned long flags);
    void onRegisterSNAppCore(QObject *core, unsigned long flags);
    void onSNAppReadyToClose(const QString &id, bool ok, unsigned long flags);
    void onRequestApp(const QString &appid, const QString &data, unsigned long flags);
    void onAppRequest(const QString &appId, unsigned long flags);
    // The plug-in's window was put away for the hand-over.
    void onPluginPutAway();

private:
    void startUpload(const QString &data);

    QList<QPair<QString, QImage>> m_selection;
    QObject *m_core = nullptr;
    QPointer<VideoUploadApplet> m_upload;
    bool m_closing = false;
};

#endif
