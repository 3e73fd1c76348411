#include "badges/badgeimages.h"

#include "platform/sharedimages.h"

#include "catalog/ctaappinfo.h"
#include "catalog/metadatadir.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QFont>
#include <QMutex>
#include <QPainter>
#include <QStaticText>
#include <QTime>

#include <algorithm>
#include <cstring>
#include <utility>

QImage videoOverlayImage;
QImage motionOverlayImage;
QImage shareIconImage;
QHash<QString, BadgeInfo> badgeApplications;

namespace {

// The running times, each laid out once: a gallery draws the same few over
// and over, and laying text out costs more than all the rest of a
// thumbnail. Dropped with the application, as the fonts they hold are.
struct DurationTexts
{
    QFont font { QStringLiteral("Arial"), 8, QFont::Normal, false };
    QHash<unsigned long, QStaticText> texts;
};
DurationTexts *durationTexts = nullptr;
QMutex durationTextsMutex;

void dropDurationTexts()
{
    const QMutexLocker lock(&durationTextsMutex);
    delete std::exchange(durationTexts, nullptr);
}

// The text aligned right at the top of rect, with the pixels drawText()
// gives it (and its clip, which it sets only when the text does not fit);
// the painter is left with that clip, font and pen.
void drawDuration(QPainter &painter, const QRect &rect, unsigned long duration)
{
    const QMutexLocker lock(&durationTextsMutex);
    if (!durationTexts) {
        durationTexts = new DurationTexts;
        qAddPostRoutine(dropDurationTexts);
    }
    // From an hour on the time is not valid and shows as nothing.
    const unsigned long key = std::min(duration, 3600ul);
    auto it = durationTexts->texts.find(key);
    if (it == durationTexts->texts.end()) {
        const QTime time(0, int(key / 60), int(key % 60));
        QStaticText text(time.toString(QStringLiteral("m:ss")) + u' ');
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), durationTexts->font);
        it = durationTexts->texts.insert(key, text);
    }
    const QSizeF size = it->size();
    if (size.width() > rect.width() || size.height() > rect.height())
        painter.setClipRect(rect, Qt::IntersectClip);
    painter.setFont(durationTexts->font);
    painter.setPen(QColor(255, 255, 255, 255));
    painter.drawStaticText(QPointF(rect.x() + rect.width() - size.width(), rect.y()), *it);
}

} // namespace

QImage composeOverlay(const QImage &base, const QImage &strip, unsigned long duration)
{
    if (base.isNull())
        return QImage();
    const QImage scaled
        = strip.isNull() ? QImage() : strip.scaledToWidth(base.width(), Qt::FastTransformation);

    QImage result(base.size(), QImage::Format_ARGB32_Premultiplied);
    // Drawn over transparent, such a base comes out as it is: copied instead.
    const bool copied = base.format() == result.format() && base.devicePixelRatio() == 1.0
        && !base.colorSpace().isValid();
    for (int y = 0; copied && y < base.height(); ++y)
        std::memcpy(result.scanLine(y), base.constScanLine(y), size_t(base.width()) * 4);
    QPainter painter(&result);
    if (!copied) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(result.rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(0, 0, base);
    }

    // The unscaled height on purpose: a strip scaled up runs past the bottom.
    const int y = base.height() - strip.height();
    if (!scaled.isNull())
        painter.drawImage(0, y, scaled);
    if (duration > 0)
        drawDuration(painter, QRect(0, y, base.width(), strip.height()), duration);
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
