#ifndef ERRORPAGE_H
#define ERRORPAGE_H

#include "wizardpage.h"

class QLabel;

// A failure the plug-in reported: a plain explanation of its code and the
// plug-in's own text for it.
class ErrorPage : public WizardPage
{
    Q_OBJECT
public:
    explicit ErrorPage(QWidget *parent = nullptr);

    bool canGoNext() const override { return false; }
    // The explanation shown for a showError code.
    static QString explain(unsigned long code);
    void setError(unsigned long code, const QString &detail);
    unsigned long code() const { return m_code; }
    QString text() const;

private:
    QLabel *m_explanation = nullptr;
    QLabel *m_detail = nullptr;
    unsigned long m_code = 0;
};

#endif
