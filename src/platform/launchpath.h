#ifndef LAUNCHPATH_H
#define LAUNCHPATH_H

#include "zpvtwitter_export.h"

#include <QString>

// Turns an applet's launch recipe (the appLaunch text of its application
// info: parts joined by "(!)") into the path of the program it starts, by
// trying the host's folder, the system-wide settings (the registry on
// Windows, INI files under the XDG config folders here), the system folders
// and the program-files folder in a fixed order. True when a candidate exists
// (or is a web address); path then holds it. On false path holds the last
// candidate tried.
//
// Here "SystemRoot" is normally unset: the two steps that need it are then
// skipped rather than ending the search. Registry values and "ProgramFiles"
// are joined with the native separator, and a "ProgramFiles" folder ending
// in "(x86)" is replaced by the "Program Files" folder beside it.
ZPVTWITTER_EXPORT bool resolveLaunchPath(const QString &appLaunch, QString &path);

#endif
