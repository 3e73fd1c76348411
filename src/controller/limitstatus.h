#ifndef LIMITSTATUS_H
#define LIMITSTATUS_H

#include "controller/hostcontract.h"

#include <QHash>
#include <QString>

// The verdict of one content-limit check, and its text form for the host.
class LimitStatus
{
public:
    // One bit per broken limit, in the count status, per path and combined.
    enum LimitBit : unsigned long {
        SizeExceeded = HostContract::Limits::SizeExceeded,
        DurationExceeded = HostContract::Limits::DurationExceeded,
        CountExceeded = HostContract::Limits::CountExceeded,
        WrongKind = HostContract::Limits::WrongKind,
    };

    LimitStatus() = default;
    LimitStatus(quint32 maxSize, quint32 maxDuration, quint32 maxCount);
    virtual ~LimitStatus() = default;

    unsigned long combinedStatus() const;
    bool operator==(const LimitStatus &other) const;
    bool operator!=(const LimitStatus &other) const { return !(*this == other); }

    // "size(!)duration(!)count(!)countStatus(!)" then "path[!]bits" entries
    // joined by "<!>".
    QString toString() const;
    // False for an empty or malformed text; entries read before a bad one stay.
    bool fromString(const QString &text);

    quint32 maxSize = 0;
    quint32 maxDuration = 0;
    quint32 maxCount = 0;
    quint32 countStatus = 0;
    QHash<QString, unsigned long> statusByPath;
};

#endif
