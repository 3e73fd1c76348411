#ifndef METADATAFIXTURE_H
#define METADATAFIXTURE_H

#include <QColor>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

// A common program files folder of its own ($CommonProgramFiles points at it
// for the fixture's life), with a metadata folder and applet libraries, and
// an isolated settings store whose current language is en-US.
class MetadataFixture
{
public:
    MetadataFixture();
    ~MetadataFixture();

    bool isValid() const { return m_root.isValid(); }
    QString root() const { return m_root.path(); }
    QString metaDir() const;

    // Writes "<fileName>" (default "<id>.xml") into the metadata folder. The
    // library "Applets/<library>.so" is created unless library is empty;
    // an icon of iconColor is drawn unless the colour is invalid.
    void addApplet(const QString &id, int appType, const QString &iconName, QColor iconColor,
        const QString &caption, const QString &library, const QString &fileName = QString());
    static bool writeIcon(const QString &path, QColor color);
    static bool writeFile(const QString &path, const QByteArray &bytes);
    static void setLanguageId(const QVariant &id);

private:
    QTemporaryDir m_root;
    QTemporaryDir m_settings;
    QByteArray m_previous;
};

#endif
