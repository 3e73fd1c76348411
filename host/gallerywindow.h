#ifndef GALLERYWINDOW_H
#define GALLERYWINDOW_H

#include <QDir>
#include <QList>
#include <QMainWindow>
#include <QPointer>

class ContentTypeAggregator;
class QAction;
class QSystemTrayIcon;
class QTabWidget;
#include "sharesession.h"
class ThumbnailGrid;

// The media gallery: one tab per content type, each a grid of the files in
// its capture folders; "Share on Twitter" runs the plug-in on the selection.
class GalleryWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit GalleryWindow(QWidget *parent = nullptr);
    ~GalleryWindow() override;

    QTabWidget *tabs() const { return m_tabs; }
    ThumbnailGrid *currentGrid() const;
    ShareSession *session() const { return m_session; }
    QAction *shareAction() const { return m_share; }

public Q_SLOTS:
    void shareSelection();
    void openSettings();

private Q_SLOTS:
    void onAddContentType(
        QString name, QString title, QList<QDir> dirList, ulong type, ulong flags);

private:
    void updateActions();

    ContentTypeAggregator *m_aggregator = nullptr;
    QTabWidget *m_tabs = nullptr;
    QAction *m_share = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QPointer<ShareSession> m_session;
};

#endif
