#ifndef CAPTURESTATUS_H
#define CAPTURESTATUS_H

#include "zpvtwitter_export.h"

#include <QMap>
#include <QString>

// The camera's capture mode, resolution, format and the feature rules in
// force, as passed between applets.
class ZPVTWITTER_EXPORT CaptureStatus
{
public:
    virtual ~CaptureStatus() = default;

    void clear();
    // Replaces the rules and forgets the cache.
    bool setRules(const char *text);
    // Appends "|" and the name; the cache is kept, so answers built before stay.
    bool addRule(const char *name);
    // Builds the cache from the rules when it is empty.
    bool hasRule(unsigned bit) const;

    quint32 mode = 0;
    quint32 xres = 0;
    quint32 yres = 0;
    QString format;
    // Rule bit to rule name, built from `rules` on demand.
    mutable QMap<unsigned, QString> ruleMap;
    // Rule names separated by anything but letters, digits and "_".
    QString rules;
};

// The bit of a rule name (case ignored); logs unknown names.
ZPVTWITTER_EXPORT bool getRuleId(const char *name, unsigned &bit);

ZPVTWITTER_EXPORT bool captureStatusToXml(const CaptureStatus &status, QString &xml);
// Clears the record first; false when the text does not parse.
ZPVTWITTER_EXPORT bool xmlToCaptureStatus(const QString &xml, CaptureStatus &status);

#endif
