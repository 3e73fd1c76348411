#ifndef MUSTUPLOADPAGE_H
#define MUSTUPLOADPAGE_H

#include "wizardpage.h"

// Tells the user the video needs a web link first; Next hands it over to the
// video upload applet.
class MustUploadPage : public WizardPage
{
    Q_OBJECT
public:
    explicit MustUploadPage(QWidget *parent = nullptr);
    QString nextText() const override;
};

#endif
