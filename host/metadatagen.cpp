// Writes the application info texts and icons of the plug-in and of the two
// applets built into the gallery into a MetaData folder:
//   zpv-gallery-metadata FOLDER PLUGIN_PATH HOST_PATH
// Paths are relative to the gallery's own folder, as the reader resolves them.
#include "catalog/appinfoxml.h"
#include "catalog/ctaappinfo.h"
#include "catalog/language.h"
#include "controller/hostcontract.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <functional>

namespace {

// Badge applets carry this type bit.
constexpr qint32 badgeType = 8;

QImage drawIcon(const QColor &color, const std::function<void(QPainter &)> &glyph)
{
    QImage icon(48, 48, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
    painter.setBrush(Qt::white);
    painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    glyph(painter);
    return icon;
}

QImage birdIcon()
{
    return drawIcon(QColor(0x1d, 0x9b, 0xf0), [](QPainter &p) {
        // A speech bubble: what a status update is.
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(10, 11, 28, 20));
        QPainterPath tail;
        tail.moveTo(16, 27);
        tail.lineTo(13, 38);
        tail.lineTo(24, 30);
        p.drawPath(tail);
    });
}

QImage uploadIcon()
{
    return drawIcon(QColor(0xe0, 0x5a, 0x2b), [](QPainter &p) {
        p.drawLine(QPointF(24, 36), QPointF(24, 13));
        p.drawLine(QPointF(24, 12), QPointF(15, 21));
        p.drawLine(QPointF(24, 12), QPointF(33, 21));
        p.drawLine(QPointF(13, 39), QPointF(35, 39));
    });
}

QImage trayIcon()
{
    return drawIcon(QColor(0x4a, 0x55, 0x68), [](QPainter &p) {
        p.setPen(Qt::NoPen);
        const QPointF play[] = { { 18, 13 }, { 18, 35 }, { 35, 24 } };
        p.drawPolygon(play, 3);
    });
}

bool write(const QString &folder, CTAAppInfo info, const QString &iconName, const QImage &icon)
{
    info.iconPaths[0] = iconName;
    QString xml;
    appInfoToXml(info, xml);
    // The reader picks the text of the user's language, whichever it is.
    QDomDocument doc;
    if (!doc.setContent(xml))
        return false;
    QDomElement root = doc.documentElement();
    for (unsigned id = 0; id < 0x1000; ++id) {
        const QString code = languageCodeOf(id);
        if (code.isEmpty()
            || !root.firstChildElement(QStringLiteral("caption")).firstChildElement(code).isNull())
            continue;
        addLocalizedText(doc, root, QStringLiteral("caption"), code, info.caption);
        addLocalizedText(doc, root, QStringLiteral("tooltip"), code, info.tooltip);
    }
    xml = doc.toString(1);
    QFile file(folder + u'/' + info.id + QStringLiteral(".xml"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(xml.toUtf8()) < 0)
        return false;
    return icon.save(folder + u'/' + iconName, "PNG");
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        err << "usage: zpv-gallery-metadata FOLDER PLUGIN_PATH HOST_PATH" << Qt::endl;
        return 2;
    }
    const QString folder = args.at(1);
    if (!QDir().mkpath(folder)) {
        err << "cannot make " << folder << Qt::endl;
        return 1;
    }

    CTAAppInfo plugin;
    plugin.id = HostContract::ownAppId();
    plugin.appPath = args.at(2);
    plugin.libId = QStringLiteral("zpvtwitter");
    plugin.libAppCount = 1;
    plugin.appType = badgeType;
    plugin.caption = QStringLiteral("Twitter");
    plugin.tooltip = QStringLiteral("Share the video on Twitter");
    plugin.accepts = QStringLiteral("2");
    plugin.sortOrder = 10;
    plugin.version = QStringLiteral(ZPV_VERSION);

    CTAAppInfo upload;
    upload.id = HostContract::videoUploadAppId();
    upload.appPath = args.at(3);
    upload.libId = QStringLiteral("zpv-gallery");
    upload.libAppCount = 2;
    upload.appIndex = 0;
    upload.appType = badgeType;
    upload.caption = QStringLiteral("Video upload");
    upload.tooltip = QStringLiteral("Upload the video and give it a web link");
    upload.accepts = QStringLiteral("2");
    upload.sortOrder = 20;
    upload.version = plugin.version;

    CTAAppInfo tray = upload;
    tray.id = HostContract::trayAppId();
    tray.appIndex = 1;
    tray.appType = 1;
    tray.caption = QStringLiteral("Gallery tray");
    tray.tooltip = QStringLiteral("Open the gallery");
    tray.accepts = QString();
    tray.sortOrder = 30;

    const bool ok = write(folder, plugin, QStringLiteral("twitter.png"), birdIcon())
        && write(folder, upload, QStringLiteral("videoupload.png"), uploadIcon())
        && write(folder, tray, QStringLiteral("tray.png"), trayIcon());
    if (!ok) {
        err << "cannot write the metadata into " << folder << Qt::endl;
        return 1;
    }
    return 0;
}
