#ifndef CLIPFRAMESIDECAR_H
#define CLIPFRAMESIDECAR_H

#include <QByteArray>
#include <QString>

// The record file ".<file name>.zpvattr" beside a media file. Media folders
// may be shared with other users, so the name is only ever looked up inside
// the folder, never followed as a link; a record counts only when it is a
// regular file of ours (or root's) that no one else may write; and it is
// replaced only through a new file of ours renamed over nothing or over a
// regular file of ours. Anything else at the name is left alone.
class ClipFrameSidecar
{
public:
    // mediaPath is absolute.
    explicit ClipFrameSidecar(const QString &mediaPath);
    ~ClipFrameSidecar();
    ClipFrameSidecar(const ClipFrameSidecar &) = delete;
    ClipFrameSidecar &operator=(const ClipFrameSidecar &) = delete;

    // The record's bytes; false when there is none or it does not count.
    bool load(QByteArray &data) const;
    // False when the record could not be put in place (folder not writable,
    // something not ours at the name, a file system that keeps files open to
    // others); nothing at the name has changed then.
    bool save(const QByteArray &data) const;
    // Removes a record of ours; true when none is left.
    bool remove() const;

private:
    // The folder, opened on first use: reads go by the path alone.
    int folder() const;

    QString m_path; // for messages
    QByteArray m_name;
    QString m_folderPath;
    mutable int m_folder = -2; // -2: not opened yet, -1: not to be had
};

#endif
