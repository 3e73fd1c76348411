#ifndef THUMBNAILGRID_H
#define THUMBNAILGRID_H

#include <QDir>
#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QListWidget>
#include <QStringList>

// The files of one content type's folders as thumbnails, decorated with
// their badges (running time, the badge icon, a tooltip of where the file
// was shared). Files that change on disk are drawn again.
class ThumbnailGrid : public QListWidget
{
    Q_OBJECT
public:
    explicit ThumbnailGrid(const QList<QDir> &dirs, QWidget *parent = nullptr);

    QStringList selectedPaths() const;
    // Reads the folders again; when they hold the same files as before
    // (the folder reports attribute changes of its files too), only what
    // changed is drawn again.
    void reload();
    // Draws one file's item again (after a share, or when it changed).
    void refreshFile(const QString &path);

    // The file's thumbnail with its badges drawn on, and the tooltip text.
    static QImage decoratedThumbnail(const QString &path, QString *tooltip);

private:
    QStringList listFolders() const;
    // Draws the item again unless neither the file nor its badge changed
    // since it was drawn.
    void redraw(QListWidgetItem *item);

    QList<QDir> m_dirs;
    QFileSystemWatcher m_watcher;
    QHash<QString, QListWidgetItem *> m_items; // by path
};

#endif
