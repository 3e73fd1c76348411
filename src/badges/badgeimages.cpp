#include "badges/badgeimages.h"

#include "platform/sharedimages.h"

#include "catalog/ctaappinfo.h"
#include "catalog/metadatadir.h"

#include <QFont>
#include <QPainter>
#include <QTime>

QImage videoOverlayImage;
QImage motionOverlayImage;
QImage shareIconImage;
QHash<QString, BadgeInfo> badgeApplications;

QImage composeOverlay(const QImage &base, const QImage &strip, unsigned long duration)
{
    if (base.isNull())
        return QImage();
    const QImage scaled
        = strip.isNull() ? QImage() : strip.scaledToWidth(base.width(), Qt::FastTransformation);

    QImage result(base.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(result.rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, base);

    // The unscaled height on purpose: a strip scaled up runs past the bottom.
    const int y = base.height() - strip.height();
    if (!scaled.isNull())
        painter.drawImage(0, y, scaled);

    if (duration > 0) {
        const QTime time(0, int(duration / 60), int(duration % 60));
        const QString text = time.toString(QStringLiteral("m:ss")) + u' ';
        painter.setFont(QFont(QStringLiteral("Arial"), 8, QFont::Normal, false));
        painter.setPen(QColor(255, 255, 255, 255));
        painter.drawText(QRect(0, y, base.width(), strip.height()), Qt::AlignRight, text);
    }
    painter.end();
    return result;
}

bool initBadgeImages()
{
    initSharedImages();
    bool ok = true;
    // A failed load keeps what the image held before.
    const auto load = [&ok](QImage &image, const char *resource) {
        QImage loaded;
        if (loaded.load(QString::fromLatin1(resource)))
            image = loaded;
        else
            ok = false;
    };

    QImage base;
    QImage strip;
    load(base, galleryOverlayResource);
    load(strip, videoStripResource);
    videoOverlayImage = composeOverlay(base, strip, 0);
    load(strip, motionStripResource);
    motionOverlayImage = composeOverlay(base, strip, 0);
    load(shareIconImage, shareIconResource);

    QList<CTAAppInfo> infos;
    if (!loadAppInfos(infos, 8))
        return false;
    for (const CTAAppInfo &info : std::as_const(infos)) {
        BadgeInfo badge;
        badge.icon = info.icon;
        badge.caption = info.caption;
        badge.appId = info.id;
        badgeApplications.insert(info.id, badge);
    }
    return ok;
}
