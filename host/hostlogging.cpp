#include "hostlogging.h"

Q_LOGGING_CATEGORY(lcHost, "zpv.host", QtInfoMsg)
