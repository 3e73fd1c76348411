#ifndef BADGEIMAGES_H
#define BADGEIMAGES_H

#include "badges/badgeinfo.h"

#include <QHash>
#include <QImage>
#include <QString>

// Images shared by every Badger, built once per process by initBadgeImages.
// The library carries its own set under these resource paths; a host may
// register its own in their place.
inline constexpr char galleryOverlayResource[] = ":/Images/Badges/gallery_overlay.png";
inline constexpr char videoStripResource[] = ":/Images/Badges/gallery_overlay_video.png";
inline constexpr char motionStripResource[] = ":/Images/Badges/gallery_overlay_motion.png";
inline constexpr char shareIconResource[] = ":/Images/Badges/icon_share.png";

// The application whose badge marks a motion capture.
inline constexpr char motionAppId[] = "{6F9D29D2-F2E2-4124-92B9-BD0BE98DEA58}";

extern QImage videoOverlayImage;
extern QImage motionOverlayImage;
extern QImage shareIconImage;
// Applets of type bit 8 with their icons and captions, by application id.
extern QHash<QString, BadgeInfo> badgeApplications;

// The strip scaled to the base's width and drawn with its unscaled height
// flush with the bottom edge; a positive duration is written right-aligned
// on it as "m:ss ". A null base gives a null image.
QImage composeOverlay(const QImage &base, const QImage &strip, unsigned long duration);

// True only when every image loaded and the applet list was read.
bool initBadgeImages();

#endif
