#ifndef APPLAUNCHPATH_H
#define APPLAUNCHPATH_H

#include "platform/launchpath.h"

namespace ZPVGlobal {
class AppInfo;
}

// resolveLaunchPath() for an applet's information record: its launch recipe.
ZPVTWITTER_EXPORT bool resolveLaunchPath(const ZPVGlobal::AppInfo &info, QString &path);

#endif
