#ifndef UPLOADSTATUS_H
#define UPLOADSTATUS_H

#include <QString>

// The result of one file uploaded by the host, as the host reported it.
class UploadStatus
{
public:
    UploadStatus() = default;
    UploadStatus(int statusCode, const QString &statusMessage, bool status);
    virtual ~UploadStatus() = default;

    int statusCode = 0;
    QString statusMessage;
    bool status = false;
};

#endif
