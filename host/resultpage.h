#ifndef RESULTPAGE_H
#define RESULTPAGE_H

#include "wizardpage.h"

class QLabel;

// The end of a share: what was tweeted and where.
class ResultPage : public WizardPage
{
    Q_OBJECT
public:
    explicit ResultPage(QWidget *parent = nullptr);

    bool canGoBack() const override { return false; }
    QString nextText() const override;
    void setOutcome(unsigned long welcome);
    QString message() const;

public Q_SLOTS:
    void onSendInfo(const QString &text, unsigned long flags) override;

private:
    QLabel *m_message = nullptr;
    QLabel *m_link = nullptr;
};

#endif
