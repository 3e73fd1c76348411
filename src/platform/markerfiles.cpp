#include "platform/markerfiles.h"

#include "platform/suitesettings.h"
#include "platform/usertempdir.h"

#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QTextStream>

namespace {

const QString preSelectFile = QStringLiteral("preSelectContent");
const QString preSelectKey = QStringLiteral("PreSelectContentFileAvailable");
const QString captureStatusFile = QStringLiteral("captureStatus");
const QString captureStatusKey = QStringLiteral("CaptureStatusFileAvailable");

// Empty without a private folder, so nothing is read or written in a
// folder that others share.
QString markerPath(const QString &fileName)
{
    const QString folder = userTempPath();
    return folder.isEmpty() ? QString() : folder + u'/' + fileName;
}

} // namespace

bool clearMarker(const QString &fileName, const QString &key)
{
    QSettings settings = QSettings(
        QLatin1String(SuiteSettings::organisation), QLatin1String(SuiteSettings::application));
    if (settings.contains(key))
        settings.remove(key);
    const QString path = markerPath(fileName);
    if (!path.isEmpty() && QFile::exists(path))
        QFile::remove(path);
    return true;
}

bool isMarkerSet(const QString &key, bool reset)
{
    QSettings settings = QSettings(
        QLatin1String(SuiteSettings::organisation), QLatin1String(SuiteSettings::application));
    const bool set = settings.value(key, false).toBool();
    if (set && reset)
        settings.setValue(key, false);
    return set;
}

bool readMarkerFile(const QString &fileName, QString &text, bool remove)
{
    const QString path = markerPath(fileName);
    const bool read = readUtf8File(path, text);
    if (read && remove)
        QFile::remove(path);
    return read;
}

bool writeMarkerFile(const QString &fileName, const QString &key, const QString &text, bool setFlag)
{
    const bool written = writeUtf8File(markerPath(fileName), text);
    if (written && setFlag) {
        QSettings settings = QSettings(
            QLatin1String(SuiteSettings::organisation), QLatin1String(SuiteSettings::application));
        settings.setValue(key, true);
    }
    return written;
}

bool readUtf8File(const QString &path, QString &text)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    QTextStream stream(&file);
    stream.setEncoding(QStringConverter::Utf8);
    text = stream.readAll();
    return !text.isEmpty();
}

bool writeUtf8File(const QString &path, const QString &text)
{
    // A reader must never see half a text, even after a crash or a full disk.
    QSaveFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly))
        return false;
    QTextStream stream(&file);
    stream.setEncoding(QStringConverter::Utf8);
    stream << text;
    stream.flush();
    if (stream.status() != QTextStream::Ok)
        return false;
    return file.commit();
}

QString tempFilePath()
{
    return markerPath(QStringLiteral("_ZPVTemp.tmp"));
}

bool readTempFile(QString &text)
{
    return readUtf8File(tempFilePath(), text);
}

bool writeTempFile(const QString &text)
{
    return writeUtf8File(tempFilePath(), text);
}

bool clearPreSelectContent()
{
    return clearMarker(preSelectFile, preSelectKey);
}

bool isPreSelectContentAvailable(bool reset)
{
    return isMarkerSet(preSelectKey, reset);
}

bool readPreSelectContent(QString &text, bool remove)
{
    return readMarkerFile(preSelectFile, text, remove);
}

bool writePreSelectContent(const QString &text, bool setFlag)
{
    return writeMarkerFile(preSelectFile, preSelectKey, text, setFlag);
}

bool clearCaptureStatus()
{
    return clearMarker(captureStatusFile, captureStatusKey);
}

bool isCaptureStatusAvailable(bool reset)
{
    return isMarkerSet(captureStatusKey, reset);
}

bool readCaptureStatus(QString &text, bool remove)
{
    return readMarkerFile(captureStatusFile, text, remove);
}

bool writeCaptureStatus(const QString &text, bool setFlag)
{
    return writeMarkerFile(captureStatusFile, captureStatusKey, text, setFlag);
}
