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
#include <optional>
#include <utility>

QImage videoOverlayImage;
QImage motionOverlayImage;
QImage shareIconImage;
QHash<QString, BadgeInfo> badgeApplications;

namespace {

// What every thumbnail draws again, made once. Dropped with the application,
// as the fonts the texts hold are.
struct DrawCache
{
    // The running times, each laid out once: laying text out costs more
    // than all the rest of a thumbnail.
    std::optional<QFont> font;
    QHash<unsigned long, QStaticText> texts;
    // A strip scaled to a width, and where it is not fully transparent:
    // drawn over anything, the rest changes nothing, and most of an overlay
    // is a hole.
    struct Strip
    {
        QImage image;
        QList<QRect> parts;
    };
    QHash<QPair<qint64, int>, Strip> strips;
};
DrawCache *drawCache = nullptr;
QMutex drawCacheMutex;

void dropDrawCache()
{
    const QMutexLocker lock(&drawCacheMutex);
    delete std::exchange(drawCache, nullptr);
}

DrawCache &cache()
{
    if (!drawCache) {
        drawCache = new DrawCache;
        qAddPostRoutine(dropDrawCache);
    }
    return *drawCache;
}

// Rows with the same runs of visible pixels, as rectangles.
QList<QRect> visibleParts(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QList<QRect> parts;
    QList<QPair<int, int>> runs;
    int top = 0;
    for (int y = 0; y <= argb.height(); ++y) {
        QList<QPair<int, int>> row;
        const auto *pixels
            = y < argb.height() ? reinterpret_cast<const QRgb *>(argb.constScanLine(y)) : nullptr;
        for (int x = 0; pixels && x < argb.width(); ++x) {
            if (qAlpha(pixels[x]) == 0)
                continue;
            if (row.isEmpty() || row.last().second != x)
                row.append({ x, x + 1 });
            else
                ++row.last().second;
        }
        if (y > 0 && row == runs)
            continue;
        for (const auto &[left, right] : std::as_const(runs))
            parts.append(QRect(left, top, right - left, y - top));
        runs = row;
        top = y;
    }
    return parts;
}

DrawCache::Strip scaledStrip(const QImage &strip, int width)
{
    const QMutexLocker lock(&drawCacheMutex);
    auto &strips = cache().strips;
    const QPair<qint64, int> key(strip.cacheKey(), width);
    auto it = strips.constFind(key);
    if (it == strips.cend()) {
        if (strips.size() >= 64)
            strips.clear();
        const QImage scaled = strip.scaledToWidth(width, Qt::FastTransformation);
        it = strips.insert(key, { scaled, visibleParts(scaled) });
    }
    return *it;
}

// The text aligned right at the top of rect, with the pixels drawText()
// gives it (and its clip, which it sets only when the text does not fit);
// the painter is left with that clip, font and pen.
void drawDuration(QPainter &painter, const QRect &rect, unsigned long duration)
{
    const QMutexLocker lock(&drawCacheMutex);
    DrawCache &drawn = cache();
    if (!drawn.font)
        drawn.font.emplace(QStringLiteral("Arial"), 8, QFont::Normal, false);
    // From an hour on the time is not valid and shows as nothing.
    const unsigned long key = std::min(duration, 3600ul);
    auto it = drawn.texts.find(key);
    if (it == drawn.texts.end()) {
        const QTime time(0, int(key / 60), int(key % 60));
        QStaticText text(time.toString(QStringLiteral("m:ss")) + u' ');
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), *drawn.font);
        it = drawn.texts.insert(key, text);
    }
    const QSizeF size = it->size();
    if (size.width() > rect.width() || size.height() > rect.height())
        painter.setClipRect(rect, Qt::IntersectClip);
    painter.setFont(*drawn.font);
    painter.setPen(QColor(255, 255, 255, 255));
    painter.drawStaticText(QPointF(rect.x() + rect.width() - size.width(), rect.y()), *it);
}

} // namespace

QImage composeOverlay(const QImage &base, const QImage &strip, unsigned long duration)
{
    if (base.isNull())
        return QImage();

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
    if (!strip.isNull()) {
        const DrawCache::Strip scaled = scaledStrip(strip, base.width());
        // Parts by their own size: a strip of another pixel ratio is drawn whole.
        if (scaled.image.devicePixelRatio() != 1.0)
            painter.drawImage(0, y, scaled.image);
        for (int i = 0; scaled.image.devicePixelRatio() == 1.0 && i < scaled.parts.size(); ++i)
            painter.drawImage(
                scaled.parts.at(i).topLeft() + QPoint(0, y), scaled.image, scaled.parts.at(i));
    }
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
