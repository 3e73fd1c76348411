#include "catalog/applaunchpath.h"

#include "catalog/appinfo.h"

bool resolveLaunchPath(const ZPVGlobal::AppInfo &info, QString &path)
{
    return resolveLaunchPath(info.appLaunch, path);
}
