#include "thumbnailgrid.h"

#include "sharesession.h"

#include "badges/badgeimages.h"
#include "badges/badger.h"
#include "platform/sharedimages.h"

#include <QFileInfo>
#include <QPainter>

namespace {
constexpr int iconEdge = 160;

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

QListWidgetItem *ThumbnailGrid::itemFor(const QString &path) const
{
    for (int row = 0; row < count(); ++row) {
        if (item(row)->data(Qt::UserRole).toString() == path)
            return item(row);
    }
    return nullptr;
}

void ThumbnailGrid::reload()
{
    const QStringList selected = selectedPaths();
    clear();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    for (const QDir &dir : std::as_const(m_dirs)) {
        if (!dir.exists())
            continue;
        m_watcher.addPath(dir.absolutePath());
        const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &file : files) {
            auto *item = new QListWidgetItem(file.fileName(), this);
            item->setData(Qt::UserRole, file.absoluteFilePath());
            m_watcher.addPath(file.absoluteFilePath());
            refreshFile(file.absoluteFilePath());
            item->setSelected(selected.contains(file.absoluteFilePath()));
        }
    }
}

void ThumbnailGrid::refreshFile(const QString &path)
{
    QListWidgetItem *item = itemFor(path);
    if (!item)
        return;
    if (!QFileInfo::exists(path)) {
        delete item;
        return;
    }
    // Saves replace files: watch the new one.
    if (!m_watcher.files().contains(path))
        m_watcher.addPath(path);
    QString tooltip;
    item->setIcon(QIcon(QPixmap::fromImage(decoratedThumbnail(path, &tooltip))));
    item->setToolTip(tooltip);
}
