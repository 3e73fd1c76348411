#ifndef PROGRESSPAGE_H
#define PROGRESSPAGE_H

#include "wizardpage.h"

class QLabel;
class QProgressBar;

// Shown while the video is handed over and uploaded; the bar is fed by the
// upload applet.
class ProgressPage : public WizardPage
{
    Q_OBJECT
public:
    explicit ProgressPage(QWidget *parent = nullptr);

    bool canGoNext() const override { return false; }
    bool canGoBack() const override { return false; }
    int value() const;
    void clearPage() override;

public Q_SLOTS:
    void onProgress(qint64 sent, qint64 total);
    void setMessage(const QString &text);

private:
    QLabel *m_message = nullptr;
    QProgressBar *m_bar = nullptr;
};

#endif
