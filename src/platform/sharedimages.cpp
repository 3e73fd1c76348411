#include "platform/sharedimages.h"

#include <QtGlobal>

#include <mutex>

void initSharedImages()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(sharedimages); });
}
