#ifndef SHARESESSION_H
#define SHARESESSION_H

#include <QImage>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

class AppletManager;
class TwitterCoreObject;
#include "wizardhost.h"

// One run of the plug-in: the wizard host and the applet manager, the
// controller constructed between them and wired up by signature strings as
// the plug-in's contract describes, the pages registered, then started.
class ShareSession : public QObject
{
    Q_OBJECT
public:
    using Selection = QList<QPair<QString, QImage>>;

    explicit ShareSession(const Selection &selection, QObject *parent = nullptr);
    ~ShareSession() override;

    // Connects everything and starts the controller.
    bool start();
    WizardHost *wizard() const { return m_wizard; }
    AppletManager *appletManager() const { return m_manager; }
    // Null once the plug-in has closed.
    QObject *controller() const { return m_controller; }

    // A thumbnail of a gallery file: the freedesktop one if there is one,
    // else a neutral tile.
    static QImage thumbnailFor(const QString &path);
    // The neutral tile alone, where nobody sees the pages.
    static QImage placeholderThumbnail();

Q_SIGNALS:
    void ended(bool shared);

private:
    bool connectHost();
    bool registerPages();
    void end(bool shared);

    AppletManager *m_manager = nullptr;
    QPointer<WizardHost> m_wizard;
    QPointer<QObject> m_controller;
    bool m_shared = false;
    bool m_ended = false;
};

#endif
