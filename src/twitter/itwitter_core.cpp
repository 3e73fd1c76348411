#include "twitter/itwitter_core.h"

ITwitter_core::ITwitter_core(QObject *parent, unsigned long)
    : QObject(parent)
{ }

ITwitter_core::~ITwitter_core() = default;

#include "moc_itwitter_core.cpp"
