#ifndef REVIEWPAGE_H
#define REVIEWPAGE_H

#include "wizardpage.h"

#include <QStringList>

class QLabel;
class QListWidget;

// The selected item as the plug-in sends it, and the plug-in's verdict on it
// (the limits message when the selection is refused).
class ReviewPage : public WizardPage
{
    Q_OBJECT
public:
    explicit ReviewPage(QWidget *parent = nullptr);

    bool canGoNext() const override;
    QStringList paths() const { return m_paths; }
    bool approved() const { return m_approved; }
    QString limitsMessage() const;
    void setMustUpload(bool mustUpload);

    // The text of a refusal, one line per offending file.
    static QString describeLimits(const QString &ls);

public Q_SLOTS:
    void onSendInfo(const QString &text, const QImage &image, unsigned long flags) override;
    void onReviewApproval(bool approved, unsigned long flags);
    void onDisplayLimitsErrorMsg(const QString &ls, unsigned long flags);

private:
    void clearPage() override;

    QListWidget *m_items = nullptr;
    QLabel *m_verdict = nullptr;
    QStringList m_paths;
    QStringList m_incoming;
    bool m_approved = false;
    bool m_mustUpload = false;
};

#endif
