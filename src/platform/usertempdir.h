#ifndef USERTEMPDIR_H
#define USERTEMPDIR_H

#include <QString>

// The user's own temporary folder: where the suite's marker files, scratch
// files and clean copies go. /tmp is shared by every user on Linux, so fixed
// names there could be read, pre-created or linked by someone else.
// This is $XDG_RUNTIME_DIR when it is a real folder owned by the user and
// closed to others,
// otherwise a folder "zpv-<uid>" under QDir::tempPath() that is created with
// mode 0700 and accepted only if it is a real folder owned by the user with no
// access for others. Empty when neither can be had.
QString userTempPath();

// A folder of that name in userTempPath(), created with mode 0700 when
// missing and, like it, accepted only as a real folder of the user's closed
// to others. Empty when it cannot be had.
QString userTempSubfolder(const QString &name);

#endif
