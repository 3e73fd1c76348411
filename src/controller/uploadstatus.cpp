#include "controller/uploadstatus.h"

UploadStatus::UploadStatus(int statusCode, const QString &statusMessage, bool status)
    : statusCode(statusCode)
    , statusMessage(statusMessage)
    , status(status)
{ }
