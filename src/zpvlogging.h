#ifndef ZPVLOGGING_H
#define ZPVLOGGING_H

#include <QLoggingCategory>

// One category per subsystem, so a host can silence or raise each one
// (QT_LOGGING_RULES="zpv.twitter.debug=false"). Message texts stay exactly
// "Class::operation() - ..." whatever the category.
Q_DECLARE_LOGGING_CATEGORY(lcTwitter)
Q_DECLARE_LOGGING_CATEGORY(lcController)
Q_DECLARE_LOGGING_CATEGORY(lcBadges)
Q_DECLARE_LOGGING_CATEGORY(lcCatalog)
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)

#endif
