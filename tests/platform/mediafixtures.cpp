#include "mediafixtures.h"

#include <QFile>
#include <QProcess>

namespace {

bool runFfmpeg(const QStringList &arguments)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"),
        QStringList { QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
            QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi") }
            + arguments);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit
        && ffmpeg.exitCode() == 0;
}

} // namespace

bool MediaFixtures::makeClip(const QString &path, double seconds, int framesPerSecond)
{
    const QString source = QStringLiteral("testsrc=size=64x48:rate=%1:duration=%2")
                               .arg(framesPerSecond)
                               .arg(seconds);
    return runFfmpeg(
        { QStringLiteral("-i"), source, QStringLiteral("-c:v"), QStringLiteral("mpeg4"), path });
}

bool MediaFixtures::makeStill(const QString &path)
{
    return runFfmpeg({ QStringLiteral("-i"), QStringLiteral("testsrc=size=64x48:rate=1"),
        QStringLiteral("-frames:v"), QStringLiteral("1"), path });
}

bool MediaFixtures::writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(content) == content.size();
}
