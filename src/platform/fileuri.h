#ifndef FILEURI_H
#define FILEURI_H

#include <QByteArray>
#include <QString>

// "file://" URI of an absolute local path, escaped byte for byte as GLib's
// g_filename_to_uri() does. Desktop programs key thumbnails and records by
// this exact text; QUrl escapes "[", "]" and ";" differently.
QByteArray fileUri(const QString &absolutePath);

#endif
