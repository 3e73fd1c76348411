#ifndef TESTHOST_H
#define TESTHOST_H

#include <QImage>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVariant>
#include <QWidget>

// Flags words as the recorders keep them.
inline QVariantList ulongs(std::initializer_list<unsigned long> values)
{
    QVariantList list;
    for (unsigned long value : values)
        list.append(QVariant::fromValue(value));
    return list;
}

// What one host object received, in order: slot name and arguments.
class Recorder
{
public:
    void record(const char *name, const QVariantList &arguments);
    QList<QVariantList> calls(const char *name) const;
    // The first argument of every call of name.
    QVariantList firstArguments(const char *name) const;
    QStringList names() const;
    void reset() { m_calls.clear(); }

private:
    QList<QPair<QString, QVariantList>> m_calls;
};

// The host's wizard: the controller's Qt parent. Its slots are those the
// controller connects itself; attach() connects the signals that a host must
// connect on its own, by signature strings as a real host does.
class WizardHost : public QWidget, public Recorder
{
    Q_OBJECT
public:
    void attach(QObject *controller);

Q_SIGNALS:
    void verifyShutdown(QWidget *widget, bool agree, unsigned long flags);
    void authorizeRequestApp(const QString &appid, bool authorized, unsigned long flags);
    void startCoreObject(unsigned long flags);

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

    void onRequestApp(const QString &appid, const QString &data, unsigned long flags);
    void onAppRequest(const QString &appId, unsigned long flags);
    void onStartMinimize(bool minimize);
    void onGetLoggedInUserComplete(bool status, const QString &text);
    void onReviewApproval(bool approved, unsigned long flags);
    void onDisplayLimitsErrorMsg(const QString &ls, unsigned long flags);
    void onYouTubeStatus(unsigned long status);
    void onUploadComplete(unsigned long flags);
    void onVerifyShutdown(QWidget *widget, bool agree, unsigned long flags);
    void onAuthorizeRequestApp(const QString &appid, bool authorized, unsigned long flags);
};

// The host's applet manager: delivers the gallery selection when asked.
class AppletManager : public QObject, public Recorder
{
    Q_OBJECT
public:
    QList<QPair<QString, QImage>> selection;

Q_SIGNALS:
    void selectImageContent(const QString &path, const QImage &image, unsigned long flags);
    void requestSNAppReadyToClose(const QString &id, unsigned long flags);

public Q_SLOTS:
    void onRequestSelectContent(unsigned long flags);
    void onRegisterSNAppCore(QObject *core, unsigned long flags);
    void onSNAppReadyToClose(const QString &id, bool ok, unsigned long flags);
};

// A wizard page. On report now it answers with its reports, if it has any.
class WizardPage : public QObject, public Recorder
{
    Q_OBJECT
public:
    QList<QPair<QString, unsigned long>> reports;

    // Text of every onSendInfo call carrying all bits of kind, either variant.
    QStringList texts(unsigned long kind) const;

Q_SIGNALS:
    void backClicked(bool checked);
    void nextClicked(bool checked);
    void applyClicked(bool checked);
    void requestSendInfo(unsigned long flags);
    void reportInfo(const QString &text, unsigned long flags);

public Q_SLOTS:
    void onSendInfo(const QString &text, unsigned long flags);
    void onSendInfo(const QString &text, const QImage &image, unsigned long flags);

private:
    void answerReportNow(unsigned long flags);
};

#endif
