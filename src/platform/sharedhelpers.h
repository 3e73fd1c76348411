#ifndef SHAREDHELPERS_H
#define SHAREDHELPERS_H

#include "zpvtwitter_export.h"

#include <QString>

class QMessageBox;

// MD5 of the text's 8-bit form up to its first zero, as 32 lower-case hex digits.
ZPVTWITTER_EXPORT QString hashString(const QString &text);

// "1023 byte(s)", "  1.5 KB", " 12.0 MB", "  4.2 GB" (units translated in "ZPV").
ZPVTWITTER_EXPORT QString formatFileSize(quint64 bytes);

// The suite's icon and name on a message box; the name in Japanese for 0x411.
ZPVTWITTER_EXPORT void decorateMessageBox(
    QMessageBox *box, const QString &iconPath, int languageId);

#endif
