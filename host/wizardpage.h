#ifndef WIZARDPAGE_H
#define WIZARDPAGE_H

#include <QHash>
#include <QImage>
#include <QString>
#include <QWidget>

class QLabel;
class QVBoxLayout;

// One page of the share wizard. The wizard host shows it and forwards its
// Back, Next and Apply buttons through the page's own signals; the plug-in
// connects to those signals and to the info exchange by name.
class WizardPage : public QWidget
{
    Q_OBJECT
public:
    explicit WizardPage(const QString &title, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    // Whether the host's Next and Back buttons are usable on this page.
    virtual bool canGoNext() const { return true; }
    virtual bool canGoBack() const { return true; }
    virtual QString nextText() const;
    // Called by the wizard host each time the page becomes the current one.
    virtual void pageShown() { }
    // Drops what the page learned during one share.
    virtual void clearPage() { }

    // The pairs of a key-value record ("key||value" joined by "<>").
    static QHash<QString, QString> parseRecord(const QString &text);
    static QString recordText(const QList<QPair<QString, QString>> &pairs);
    // A value the record form cannot carry.
    static bool fitsRecord(const QString &value);

Q_SIGNALS:
    void backClicked(bool checked);
    void nextClicked(bool checked);
    void applyClicked(bool checked);
    void requestSendInfo(unsigned long flags);
    void reportInfo(const QString &text, unsigned long flags);
    // The page's buttons changed state.
    void buttonsChanged();

public Q_SLOTS:
    virtual void onSendInfo(const QString &text, unsigned long flags);
    virtual void onSendInfo(const QString &text, const QImage &image, unsigned long flags);

protected:
    QVBoxLayout *body() const { return m_body; }

private:
    QString m_title;
    QVBoxLayout *m_body = nullptr;
};

#endif
