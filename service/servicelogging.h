#ifndef SERVICELOGGING_H
#define SERVICELOGGING_H

#include <QLoggingCategory>

// The service's request log ("zpv.twitterd"), kept apart from the plug-in's
// categories: the service is a peer of the plug-in, not part of it.
Q_DECLARE_LOGGING_CATEGORY(lcService)

#endif
