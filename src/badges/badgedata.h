#ifndef BADGEDATA_H
#define BADGEDATA_H

#include <QHash>
#include <QString>

// Application id -> URL under which that application holds the media file.
using BadgeData = QHash<QString, QString>;

// Clears the map first; false for empty text or text that does not parse.
bool xmlToBadgeData(const QString &xml, BadgeData *bd);
// False when a key or URL holds characters XML cannot carry.
bool badgeDataToXml(const BadgeData &bd, QString &xml);

// Whether the text can be stored in an XML document and read back as it is.
bool isXmlText(const QString &text);

#endif
