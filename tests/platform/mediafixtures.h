#ifndef MEDIAFIXTURES_H
#define MEDIAFIXTURES_H

#include <QString>

// Media made at test time with the ffmpeg command; nothing binary is committed.
namespace MediaFixtures {

// A 64x48 test pattern clip; the container follows the suffix of path.
bool makeClip(const QString &path, double seconds, int framesPerSecond = 2);
// One 64x48 JPEG picture.
bool makeStill(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);

} // namespace MediaFixtures

#endif
