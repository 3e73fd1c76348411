#include "twitter/itwitter_core.h"

ITwitter_core::ITwitter_core(QObject *parent, unsigned long flags)
    : QObject(parent)
{
    Q_UNUSED(flags)
}

ITwitter_core::~ITwitter_core() = default;
