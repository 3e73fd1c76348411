#include "mustuploadpage.h"

#include <QLabel>
#include <QVBoxLayout>

MustUploadPage::MustUploadPage(QWidget *parent)
    : WizardPage(tr("Upload the video first"), parent)
{
    auto *text = new QLabel(tr("A tweet links to the video on the web, and this video has not been "
                               "uploaded yet.\n\nPress Upload to hand it over to the video upload "
                               "applet; the tweet is written once the upload is done."),
        this);
    text->setObjectName(QStringLiteral("mustUploadText"));
    text->setWordWrap(true);
    body()->addWidget(text);
    body()->addStretch(1);
}

QString MustUploadPage::nextText() const
{
    return tr("Upload");
}
