#include "gallerywindow.h"

#include "appletmanager.h"
#include "settingsdialog.h"
#include "sharesession.h"
#include "thumbnailgrid.h"
#include "wizardhost.h"

#include "catalog/contenttypeaggregator.h"

#include <QAction>
#include <QApplication>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QToolBar>

GalleryWindow::GalleryWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_aggregator(new ContentTypeAggregator(this))
    , m_tabs(new QTabWidget(this))
{
    setWindowTitle(tr("ZPV Gallery"));
    resize(900, 600);
    setCentralWidget(m_tabs);
    QToolBar *tools = addToolBar(tr("Gallery"));
    tools->setObjectName(QStringLiteral("galleryTools"));
    m_share = tools->addAction(tr("Share on Twitter"), this, &GalleryWindow::shareSelection);
    m_share->setObjectName(QStringLiteral("shareAction"));
    QAction *settings = tools->addAction(tr("Settings..."), this, &GalleryWindow::openSettings);
    settings->setObjectName(QStringLiteral("settingsAction"));
    statusBar()->showMessage(tr("Select a video and share it."));

    connect(m_aggregator, &ContentTypeAggregator::addContentType, this,
        &GalleryWindow::onAddContentType);
    connect(m_tabs, &QTabWidget::currentChanged, this, &GalleryWindow::updateActions);
    m_aggregator->onReady();

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_MediaPlay), this);
        connect(m_tray, &QSystemTrayIcon::activated, this, [this] {
            if (m_session)
                m_session->appletManager()->trayClicked();
            showNormal();
            raise();
        });
        m_tray->show();
    }
    updateActions();
}

GalleryWindow::~GalleryWindow()
{
    delete m_session;
}

ThumbnailGrid *GalleryWindow::currentGrid() const
{
    return qobject_cast<ThumbnailGrid *>(m_tabs->currentWidget());
}

void GalleryWindow::onAddContentType(
    QString name, QString title, QList<QDir> dirList, ulong type, ulong)
{
    auto *grid = new ThumbnailGrid(dirList, m_tabs);
    grid->setObjectName(name);
    grid->setProperty("contentType", QVariant::fromValue(type));
    connect(grid, &QListWidget::itemSelectionChanged, this, &GalleryWindow::updateActions);
    m_tabs->addTab(grid, title);
}

void GalleryWindow::updateActions()
{
    const ThumbnailGrid *grid = currentGrid();
    m_share->setEnabled(!m_session && grid && !grid->selectedPaths().isEmpty());
}

void GalleryWindow::shareSelection()
{
    ThumbnailGrid *grid = currentGrid();
    if (!grid || m_session)
        return;
    ShareSession::Selection selection;
    const QStringList paths = grid->selectedPaths();
    for (const QString &path : paths)
        selection.append({ path, ShareSession::thumbnailFor(path) });
    m_session = new ShareSession(selection, this);
    connect(m_session, &ShareSession::ended, this, [this, grid, paths](bool shared) {
        statusBar()->showMessage(shared ? tr("Shared on Twitter.") : tr("Nothing was shared."));
        for (const QString &path : paths)
            grid->refreshFile(path);
        m_session->deleteLater();
        m_session = nullptr;
        updateActions();
    });
    connect(m_session->appletManager(), &AppletManager::uploadFinished, this,
        [this](const QString &link) { statusBar()->showMessage(tr("Uploaded to %1").arg(link)); });
    connect(m_session->appletManager(), &AppletManager::trayAppletRequested, this, [this] {
        showNormal();
        raise();
        activateWindow();
    });
    m_session->wizard()->show();
    m_session->start();
    updateActions();
}

void GalleryWindow::openSettings()
{
    SettingsDialog dialog(this);
    dialog.exec();
}
