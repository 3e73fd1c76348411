#ifndef MEDIAPROBE_H
#define MEDIAPROBE_H

#include <QImage>
#include <QString>

// What libavformat finds inside a media file.
struct MediaProbe
{
    bool isMovie = false;
    qint64 durationSeconds = -1; // whole seconds, rounded down; -1 when unknown
};

MediaProbe probeMedia(const QString &path);

// One decoded picture from about a tenth into the video; null on failure.
QImage decodeVideoFrame(const QString &path);

#endif
