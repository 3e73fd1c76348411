#ifndef CLIPFRAME_H
#define CLIPFRAME_H

#include <QString>

// The suite's media attribute library: a text attribute kept with a photo or
// video file, and what a probe of the file says about it.
//
// Where the text is kept:
// - In the file's extended attributes, one per name, "user.zpv." + name
//   (e.g. "user.zpv.BadgeData"), UTF-8 without a terminator.
// - When the file system refuses that (ENOTSUP, ENOSPC, E2BIG, EPERM or
//   EACCES: no user attributes, the shared attribute block is full, the
//   text is too long, or the file is not writable for us), in a sidecar: a
//   hidden JSON file ".<file name>.zpvattr" beside the media file or, where
//   that cannot be had (a folder closed to us, or at that name a link, a
//   folder or a file that is not ours), "$XDG_DATA_HOME/zpv/attributes/<hex
//   SHA-1 of the file URI>.json". Both record the URI, size and modification
//   time of the media file; a record whose size or time no longer match (the
//   path now names another file) is ignored, and so is a record beside the
//   file that is not a regular file of ours or root's closed to writing by
//   others (see ClipFrameSidecar).
// Sidecars are replaced atomically. Reads look at the extended attribute
// first, then the sidecar beside the file, then the per-user store; writes
// never touch the media data and leave the previous text in place when they
// fail (so a text already in an extended attribute that can no longer be
// changed stays, and the write reports false); removal clears the name in
// all three places.
//
// A file that carries no text under a name reads as true with an empty
// text; a file that does not exist reads as false.
// The photo pair keeps its text under "BadgeData" as well, so that removal
// by that name clears photos and videos alike.
//
// isMovieFile and getDuration look into the file (never at its suffix): a
// movie is a file with a video stream in a container that is not a still
// image format. Results are cached by path, size and modification time,
// and kept on disk for later processes (see probestore.h).
class ClipFrame
{
public:
    ClipFrame();
    ~ClipFrame();

    static bool isMovieFile(const QString &path);
    static bool getDuration(const QString &path, unsigned long &seconds);

    static bool getFileAttribute(const QString &path, const QString &name, QString &text);
    static bool getPhotoFileAttribute(const QString &path, QString &text);
    static bool setFileAttribute(const QString &path, const QString &name, const QString &text);
    static bool setPhotoFileAttribute(const QString &path, const QString &text);
    static bool removeFileAttribute(const QString &path, const QString &name);
};

#endif
