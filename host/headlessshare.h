#ifndef HEADLESSSHARE_H
#define HEADLESSSHARE_H

#include "wizardhost.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

class AuthorizePageReader;
class QTextStream;
class ShareSession;

// Drives the real wizard pages through one share without a person: fills in
// the sign-in page, presses Next where a user would, writes the tweet once
// the short link is in, and reports each step with its time.
class HeadlessShare : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString clip;
        QString user;
        QString password;
        QString text;
        bool remember = false;
        int timeoutMs = 120000;
    };

    HeadlessShare(const Options &options, QTextStream &out, QObject *parent = nullptr);
    ~HeadlessShare() override;

    // Starts the share; finished() reports the outcome.
    void start();
    ShareSession *session() const { return m_session; }
    // Step names in the order they completed, and their times in µs.
    QStringList steps() const { return m_steps; }
    QList<qint64> stepTimes() const { return m_stepTimes; }
    QString tweetId() const { return m_tweetId; }
    QString tweetText() const { return m_tweetText; }
    QString shortLink() const { return m_shortLink; }
    QString failure() const { return m_failure; }

Q_SIGNALS:
    void finished(bool ok);

private Q_SLOTS:
    void onTweetResult(bool status, const QString &text, const QString &id);

private:
    void advance();
    void press(WizardHost::Page page);
    void step(const QString &name);
    void succeed();
    void fail(const QString &reason);

    Options m_options;
    QTextStream &m_out;
    ShareSession *m_session = nullptr;
    // The x flavour's browser sign-in, read without a browser.
    AuthorizePageReader *m_pinReader = nullptr;
    QElapsedTimer m_total;
    QElapsedTimer m_step;
    QStringList m_steps;
    QList<qint64> m_stepTimes;
    WizardHost::Page m_pressedOn = WizardHost::PageCount;
    // The page whose press has been reported as a step.
    WizardHost::Page m_stepped = WizardHost::PageCount;
    bool m_textWritten = false;
    bool m_done = false;
    QString m_tweetId;
    QString m_tweetText;
    QString m_shortLink;
    QString m_failure;
};

#endif
