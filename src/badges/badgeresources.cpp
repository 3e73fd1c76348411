#include "badges/badgeresources.h"

#include <QtGlobal>

#include <mutex>

void initBadgeResources()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(badges); });
}
