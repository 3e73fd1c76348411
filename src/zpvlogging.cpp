#include "zpvlogging.h"

Q_LOGGING_CATEGORY(lcTwitter, "zpv.twitter")
Q_LOGGING_CATEGORY(lcController, "zpv.controller")
Q_LOGGING_CATEGORY(lcBadges, "zpv.badges")
Q_LOGGING_CATEGORY(lcCatalog, "zpv.catalog")
Q_LOGGING_CATEGORY(lcPlatform, "zpv.platform")
