#include "thumbnailgrid.h"

#include "sharesession.h"

#include "badges/badgeimages.h"
#include "badges/badger.h"
#include "platform/sharedimages.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <sys/stat.h>

namespace {
constexpr int iconEdge = 160;
constexpr int drawnFromRole = Qt::UserRole + 1;

// What an item is drawn from: the file (which, how large, when written) and
// its badge. A change to anything else, such as an attribute in which the
// library keeps what it learnt from the file, is no reason to draw it again.
QString drawnFrom(const QString &path)
{
    struct stat st = {};
    QString badge;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0
        || !Badger().getBadgeContent(path, badge))
        return QString();
    return QStringLiteral("%1 %2 %3.%4\n")
               .arg(st.st_ino)
               .arg(st.st_size)
               .arg(st.st_mtim.tv_sec)
               .arg(st.st_mtim.tv_nsec)
        + badge;
}

void initBadges()
{
    [[maybe_unused]] static const bool done = [] {
        initSharedImages();
        initBadgeImages();
        return true;
    }();
}
} // namespace

ThumbnailGrid::ThumbnailGrid(const QList<QDir> &dirs, QWidget *parent)
    : QListWidget(parent)
    , m_dirs(dirs)
{
    setViewMode(QListView::IconMode);
    setIconSize(QSize(iconEdge, iconEdge * 3 / 4));
    setGridSize(QSize(iconEdge + 24, iconEdge * 3 / 4 + 40));
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &ThumbnailGrid::refreshFile);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &ThumbnailGrid::reload);
    reload();
}

QImage ThumbnailGrid::decoratedThumbnail(const QString &path, QString *tooltip)
{
    initBadges();
    QImage image
        = ShareSession::thumbnailFor(path)
              .scaled(iconEdge, iconEdge * 3 / 4, Qt::KeepAspectRatio, Qt::SmoothTransformation)
              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    Badger badger;
    QStringList lines { QFileInfo(path).fileName() };
    if (badger.initialize(path)) {
        badger.decorateThumbnail(image);
        QImage icon;
        if (badger.getBadgeIcon(icon) && !icon.isNull()) {
            QPainter painter(&image);
            const QImage small = icon.scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            painter.drawImage(image.width() - small.width() - 4, 4, small);
        }
        QList<BadgeInfo> badges;
        if (badger.getBadges(badges)) {
            for (const BadgeInfo &badge : std::as_const(badges))
                lines.append(badge.caption + QStringLiteral(": ") + badge.url);
        }
    }
    if (tooltip)
        *tooltip = lines.join(u'\n');
    return image;
}

QStringList ThumbnailGrid::selectedPaths() const
{
    QStringList paths;
    const QList<QListWidgetItem *> items = selectedItems();
    for (const QListWidgetItem *item : items)
        paths.append(item->data(Qt::UserRole).toString());
    return paths;
}

QStringList ThumbnailGrid::listFolders() const
{
    QStringList paths;
    for (const QDir &dir : std::as_const(m_dirs)) {
        const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &file : files)
            paths.append(file.absoluteFilePath());
    }
    return paths;
}

void ThumbnailGrid::reload()
{
    const QStringList paths = listFolders();
    QStringList shown;
    for (int row = 0; row < count(); ++row)
        shown.append(item(row)->data(Qt::UserRole).toString());
    if (paths == shown) {
        const QStringList watched = m_watcher.files();
        const QSet<QString> lost = QSet<QString>(paths.cbegin(), paths.cend())
                                       .subtract(QSet<QString>(watched.cbegin(), watched.cend()));
        if (!lost.isEmpty())
            m_watcher.addPaths(lost.values());
        for (int row = 0; row < count(); ++row)
            redraw(item(row));
        return;
    }

    const QStringList selected = selectedPaths();
    clear();
    m_items.clear();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    for (const QDir &dir : std::as_const(m_dirs)) {
        if (dir.exists())
            m_watcher.addPath(dir.absolutePath());
    }
    if (!paths.isEmpty())
        m_watcher.addPaths(paths);
    for (const QString &path : paths) {
        auto *item = new QListWidgetItem(QFileInfo(path).fileName(), this);
        item->setData(Qt::UserRole, path);
        m_items.insert(path, item);
        redraw(item);
        item->setSelected(selected.contains(path));
    }
}

void ThumbnailGrid::refreshFile(const QString &path)
{
    QListWidgetItem *item = m_items.value(path);
    if (!item)
        return;
    if (!QFileInfo::exists(path)) {
        m_items.remove(path);
        delete item;
        return;
    }
    // Saves replace files: watch the new one.
    if (!m_watcher.files().contains(path))
        m_watcher.addPath(path);
    redraw(item);
}

void ThumbnailGrid::redraw(QListWidgetItem *item)
{
    const QString path = item->data(Qt::UserRole).toString();
    const QString drawn = drawnFrom(path);
    if (!drawn.isEmpty() && item->data(drawnFromRole).toString() == drawn)
        return;
    item->setData(drawnFromRole, drawn);
    QString tooltip;
    item->setIcon(QIcon(QPixmap::fromImage(decoratedThumbnail(path, &tooltip))));
    item->setToolTip(tooltip);
}
