#ifndef PROBESTORE_H
#define PROBESTORE_H

#include "platform/mediaprobe.h"

#include <QString>

#include <sys/stat.h>

// What a probe learnt about a media file, kept for later processes with the
// file's inode, size and modification time (ns); an answer counts only
// while all three match. It is kept in the file's own attribute
// "user.zpv-probe" (outside the names ClipFrame gives out) or, where that
// cannot be had, in a per-user record "$XDG_CACHE_HOME/zpv/probes/<hex
// SHA-1 of the file URI>". Media folders may be shared, and anyone who may
// write a file may set its attributes: an attribute counts only on a file
// of ours or root's that no one else may write, and is written only on a
// file of ours that no one else may write.
//
// fd is the file opened without following a link (st its state), or -1 for
// a link or a file we could not open: the per-user record alone then.
bool loadStoredProbe(int fd, const QString &absolutePath, const struct stat &st, MediaProbe &probe);
// Inconclusive answers (a file that could not be read) are not kept.
void storeProbe(
    int fd, const QString &absolutePath, const struct stat &st, const MediaProbe &probe);
// Drops what is kept for the file: its attribute when the file is ours,
// and the per-user record.
void forgetStoredProbe(const QString &path);

#endif
