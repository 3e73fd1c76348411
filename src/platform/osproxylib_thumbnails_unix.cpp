#include "platform/osproxylib.h"

#include "platform/fileuri.h"
#include "platform/mediaprobe.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdio>
#include <sys/stat.h>

namespace {

bool cacheHeld = false;

struct Flavour
{
    const char *folder;
    int edge;
};
constexpr Flavour flavours[]
    = { { "normal", 128 }, { "large", 256 }, { "x-large", 512 }, { "xx-large", 1024 } };
constexpr int flavourCount = int(std::size(flavours));

const QString uriKey = QStringLiteral("Thumb::URI");
const QString mtimeKey = QStringLiteral("Thumb::MTime");

QString thumbnailRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/thumbnails";
}

int flavourFor(int edge)
{
    for (int i = 0; i < flavourCount; ++i) {
        if (edge <= flavours[i].edge)
            return i;
    }
    return flavourCount - 1;
}

QImage fitted(const QImage &image, int edge)
{
    if (image.width() <= edge && image.height() <= edge)
        return image;
    return image.scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// QImageReader::text() cuts keys at the first colon, so the keys are
// taken from the decoded image.
QImage readValid(const QString &file, const QByteArray &uri, const QString &mtime)
{
    QImageReader reader(file, "png");
    const QImage image = reader.read();
    if (image.isNull() || image.text(uriKey).toUtf8() != uri || image.text(mtimeKey) != mtime)
        return {};
    return image;
}

QImage renderSource(const QString &path, int edge)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (reader.canRead()) {
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > edge || size.height() > edge))
            reader.setScaledSize(size.scaled(edge, edge, Qt::KeepAspectRatio));
        const QImage image = reader.read();
        if (!image.isNull())
            return image;
    }
    return decodeVideoFrame(path);
}

bool makePrivateFolder(const QString &folder)
{
    return QDir().mkpath(folder)
        && QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Written under a temporary name and renamed, so readers never see half a file.
void store(QImage image, const QString &folder, const QString &target, const QByteArray &uri,
    const QString &mtime, qint64 size)
{
    if (!makePrivateFolder(thumbnailRoot()) || !makePrivateFolder(folder))
        return;
    image.setText(uriKey, QString::fromUtf8(uri));
    image.setText(mtimeKey, mtime);
    image.setText(QStringLiteral("Thumb::Size"), QString::number(size));
    image.setText(QStringLiteral("Software"), QStringLiteral("zpvtwitter"));
    QTemporaryFile file(folder + u"/zpv-XXXXXX.png");
    if (!file.open() || !QImageWriter(&file, "png").write(image))
        return;
    file.close();
    if (std::rename(
            QFile::encodeName(file.fileName()).constData(), QFile::encodeName(target).constData())
        == 0)
        file.setAutoRemove(false);
}

} // namespace

bool initThumbnailCache()
{
    if (cacheHeld)
        return false;
    cacheHeld = true;
    return true;
}

void releaseThumbnailCache()
{
    cacheHeld = false;
}

bool getShellThumbnail(const QString &path, QImage &image, QSize size)
{
    const int edge = size.width();
    if (!cacheHeld || path.isEmpty() || edge <= 0)
        return false;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    struct stat st;
    if (::stat(QFile::encodeName(absolute).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const QByteArray uri = fileUri(absolute);
    const QString mtime = QString::number(qint64(st.st_mtim.tv_sec));
    const QString name
        = QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex())
        + u".png";
    const QString root = thumbnailRoot();

    const int first = flavourFor(edge);
    for (int i = first; i < flavourCount; ++i) {
        const QImage found = readValid(
            root + u'/' + QLatin1StringView(flavours[i].folder) + u'/' + name, uri, mtime);
        if (!found.isNull()) {
            image = fitted(found, edge);
            return true;
        }
    }

    const QImage made = fitted(renderSource(absolute, flavours[first].edge), flavours[first].edge);
    if (made.isNull())
        return false;
    // Never thumbnail the thumbnails themselves.
    if (!absolute.startsWith(root + u'/')) {
        const QString folder = root + u'/' + QLatin1StringView(flavours[first].folder);
        store(made, folder, folder + u'/' + name, uri, mtime, st.st_size);
    }
    image = fitted(made, edge);
    return true;
}
