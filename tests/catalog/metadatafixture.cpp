#include "metadatafixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

MetadataFixture::MetadataFixture()
    : m_previous(qgetenv("CommonProgramFiles"))
{
    qputenv("CommonProgramFiles", m_root.path().toLocal8Bit());
    QDir().mkpath(metaDir());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    setLanguageId(0x409);
}

MetadataFixture::~MetadataFixture()
{
    if (m_previous.isNull())
        qunsetenv("CommonProgramFiles");
    else
        qputenv("CommonProgramFiles", m_previous);
}

QString MetadataFixture::metaDir() const
{
    return m_root.path() + QStringLiteral("/nobridge/ZPVPlugins/ZPV/MetaData/");
}

void MetadataFixture::addApplet(const QString &id, int appType, const QString &iconName,
    QColor iconColor, const QString &caption, const QString &library, const QString &fileName)
{
    const QString lib = library.isEmpty() ? QStringLiteral("absent") : library;
    writeFile(metaDir() + (fileName.isEmpty() ? id + QStringLiteral(".xml") : fileName),
        QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE AppInfoText>\n<app_info>"
                       "<app_path>Applets/%1.so</app_path><id>%2</id><icon_path>%3</icon_path>"
                       "<app_type>%4</app_type><caption><en-US>%5</en-US></caption></app_info>\n")
            .arg(lib, id, iconName, QString::number(appType), caption)
            .toUtf8());
    if (!library.isEmpty())
        writeFile(m_root.path() + QStringLiteral("/Applets/") + library + QStringLiteral(".so"),
            "library");
    if (iconColor.isValid())
        writeIcon(metaDir() + iconName, iconColor);
}

bool MetadataFixture::writeIcon(const QString &path, QColor color)
{
    QImage icon(8, 8, QImage::Format_ARGB32);
    icon.fill(color);
    return icon.save(path, "PNG");
}

bool MetadataFixture::writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

void MetadataFixture::setLanguageId(const QVariant &id)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Nobridge"),
        QStringLiteral("ZPV"));
    if (id.isValid())
        settings.setValue(QStringLiteral("LanguageID"), id);
    else
        settings.remove(QStringLiteral("LanguageID"));
}
