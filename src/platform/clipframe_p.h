#ifndef CLIPFRAME_P_H
#define CLIPFRAME_P_H

#include <QString>

// Inner parts of ClipFrame, shared with its tests and benchmarks.
namespace ClipFramePrivate {

bool readAttribute(const QString &path, const QString &name, QString &text);
bool writeAttribute(const QString &path, const QString &name, const QString &text);
bool removeAttribute(const QString &path, const QString &name);

QString sidecarPath(const QString &path);
QString userStorePath(const QString &path);

// Makes every extended-attribute call fail with ENOTSUP, as on a file system
// without user attributes.
void setExtendedAttributesDisabled(bool disabled);
bool extendedAttributesDisabled();

// Forgets every probe result cached in this process (not those kept on disk).
void clearProbeCache();
// How many files this process has looked into.
int probesMade();

} // namespace ClipFramePrivate

#endif
