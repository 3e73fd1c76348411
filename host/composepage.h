#ifndef COMPOSEPAGE_H
#define COMPOSEPAGE_H

#include "wizardpage.h"

class QLabel;
class QPlainTextEdit;

// The tweet text, with the short link the plug-in sends put into it and a
// live count of what is left of the 280 characters.
class ComposePage : public WizardPage
{
    Q_OBJECT
public:
    static constexpr int maxLength = 280;
    static constexpr int linkLength = 23;

    explicit ComposePage(QWidget *parent = nullptr);

    // Code points, every http or https link counting linkLength. Weighted
    // (the x flavour), as today's service counts: after NFC, code points of
    // Latin scripts and common punctuation weigh one, others (CJK, emoji...)
    // two, an emoji sequence two as a whole.
    static int tweetLength(const QString &text, bool weighted = false);

    void setUserText(const QString &text);
    QString text() const;
    QString shortLink() const { return m_shortLink; }
    bool canGoNext() const override;
    QString nextText() const override;
    void pageShown() override;
    void clearPage() override;

public Q_SLOTS:
    void onSendInfo(const QString &text, unsigned long flags) override;

Q_SIGNALS:
    void shortLinkArrived(const QString &link);

private:
    void updateCounter();

    // The tweet is on its way: Next stays off until the page is shown again
    // (the result or the error page comes in between).
    bool m_sending = false;
    bool m_weighted = false;
    QPlainTextEdit *m_text = nullptr;
    QLabel *m_counter = nullptr;
    QLabel *m_link = nullptr;
    QString m_shortLink;
};

#endif
