#ifndef BADGEIMAGESFIXTURE_H
#define BADGEIMAGESFIXTURE_H

#include "badges/badgeimages.h"
#include "metadatafixture.h"

// Builds the process's shared badge images from a metadata folder of its own
// holding one badge-capable applet record (appId).
inline bool buildBadgeImages(const QString &appId)
{
    MetadataFixture metadata;
    metadata.addApplet(appId, 8, QStringLiteral("applet.png"), Qt::green, QStringLiteral("Applet"),
        QStringLiteral("applet"));
    return metadata.isValid() && initBadgeImages();
}

#endif
