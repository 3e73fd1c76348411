#ifndef MEDIAPROBE_H
#define MEDIAPROBE_H

#include <QImage>
#include <QString>

// What libavformat finds inside a media file.
struct MediaProbe
{
    bool isMovie = false;
    qint64 durationSeconds = -1; // whole seconds, rounded down; -1 when unknown
    // The file could be read, so the answer rests on its content alone.
    bool conclusive = false;
};

// With fd (the file open for reading), what is read is that file whatever
// the path names by now; the path's suffix may still hint at the format.
MediaProbe probeMedia(const QString &path, int fd = -1);

// One decoded picture from about a tenth into the video; null on failure.
QImage decodeVideoFrame(const QString &path);

#endif
