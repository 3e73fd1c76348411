#ifndef METADATADIR_H
#define METADATADIR_H

#include <QList>
#include <QString>
#include <QStringList>

class CTAAppInfo;

// The shared folder of application info files ("<id>.xml") and their icons,
// and where the applets' libraries lie. The common program files folder is
// $CommonProgramFiles (usually unset on Linux); the host's folder is that of
// the running program.

// common program files + "/nobridge/ZPVPlugins/ZPV/MetaData/", else the
// host's folder + "/MetaData/"; native separators, trailing separator.
bool metaDataDir(QString &dir);
// The host's folder + "/Applets/", else common program files +
// "/NoBridge/ZPVPlugins/"; "/" separators, trailing "/".
bool appletsDir(QString &dir);
// Canonical path of an applet library named relative to common program
// files, else to the host's folder. resolved may be appPath itself.
bool resolveAppPath(const QString &appPath, QString &resolved);

// UTF-8; a file that is not UTF-8 reads one byte per character.
bool readMetaFile(const QString &path, QString &text);
bool readMetaDataTexts(QStringList &texts);

// Appends the records that pass the type filter: 0 every record (with its
// icon when it names one), 2048 those with that bit and no icons loaded,
// otherwise those sharing a bit with the filter that have an icon. A
// missing icon file is replaced by "missing_icon.png" of the folder, else
// by the library's own. Records whose library is not found are left out.
bool loadAppInfos(QList<CTAAppInfo> &infos, unsigned filter);

bool metaDataTextForId(const QString &appId, QString &text);
bool appPathForId(const QString &appId, QString &path);
// Searches dir and the folders below it for name plus the platform's shared
// library suffix, ignoring case.
bool findAppletLibrary(const QString &dir, const QString &name, QString &path);

// Every "*.xml" of the tree: a folder's own files first, then its subfolders.
bool collectMetaFiles(const QString &dir, QStringList &files);
// Copies the applets' metadata files and first icons into the host's
// "MetaData" folder.
void refreshMetaData();

// The icon used when neither the named icon nor "missing_icon.png" is found.
inline constexpr char builtInMissingIcon[] = ":/Images/Badges/missing_icon.png";

#endif
