#include "servicelogging.h"

Q_LOGGING_CATEGORY(lcService, "zpv.twitterd")
