#ifndef FILECOPY_H
#define FILECOPY_H

#include <QString>

// Copies the bytes of source into destination (created or truncated),
// letting the event loop run between blocks. On a failed read, write or
// close the partial destination is removed and the result is false.
bool copyFileContents(const QString &source, const QString &destination);

// Bytes moved per step; small enough that events still run every few
// milliseconds, large enough to keep up with cp.
inline constexpr qint64 copyBlockSize = 8 * 1024 * 1024;

#endif
