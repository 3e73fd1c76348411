#ifndef HOSTLOGGING_H
#define HOSTLOGGING_H

#include <QLoggingCategory>

// The reference host's own messages.
Q_DECLARE_LOGGING_CATEGORY(lcHost)

#endif
