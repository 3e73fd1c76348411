#include "progresspage.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QVBoxLayout>

ProgressPage::ProgressPage(QWidget *parent)
    : WizardPage(tr("Uploading the video"), parent)
{
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("progressMessage"));
    m_message->setWordWrap(true);
    body()->addWidget(m_message);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    body()->addWidget(m_bar);
    body()->addStretch(1);
    clearPage();
}

int ProgressPage::value() const
{
    return m_bar->value();
}

void ProgressPage::clearPage()
{
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_message->setText(tr("Handing the video over to the upload applet..."));
}

void ProgressPage::setMessage(const QString &text)
{
    m_message->setText(text);
}

void ProgressPage::onProgress(qint64 sent, qint64 total)
{
    if (total <= 0)
        return;
    m_bar->setValue(int(qBound(qint64(0), sent * 100 / total, qint64(100))));
    const QLocale locale;
    m_message->setText(tr("Uploading: %1 of %2")
                           .arg(locale.formattedDataSize(sent), locale.formattedDataSize(total)));
}
