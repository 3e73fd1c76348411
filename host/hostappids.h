#ifndef HOSTAPPIDS_H
#define HOSTAPPIDS_H

#include <QString>

// The applets the host knows by id. The plug-in's controller names the same
// ids; the host keeps its own copies because it must not depend on the
// controller's internals.
namespace HostAppIds {
inline QString plugin()
{
    return QStringLiteral("{BB23CC56-D53E-456e-BD39-5A8A8A394279}");
}
inline QString videoUpload()
{
    return QStringLiteral("{D263A27F-C49A-4dd7-8C8B-A253CF319468}");
}
inline QString tray()
{
    return QStringLiteral("{5E799358-947D-4c3b-9F93-E75A7ABAFC0F}");
}
} // namespace HostAppIds

// Info kinds of the page exchange with the plug-in.
namespace InfoKind {
inline constexpr unsigned long userName = 0x1;
inline constexpr unsigned long shortUrlRequest = 0x8;
inline constexpr unsigned long shortUrl = 0x10;
inline constexpr unsigned long paths = 0x40;
inline constexpr unsigned long item = 0x100;
inline constexpr unsigned long reportNow = 0x200;
inline constexpr unsigned long signIn = 0x1000;
inline constexpr unsigned long endMarker = 0x2000;
inline constexpr unsigned long tweet = 0x8000;
} // namespace InfoKind

#endif
