#include "catalog/contentinfo.h"

#include "platform/fileuri.h"
#include "platform/xmlguard.h"

#include "catalog/contenttype.h"

#include <QDomDocument>
#include <QFile>
#include <QRegularExpression>

ContentInfo::ContentInfo(const QStringList &paths, quint32 tabType, quint32 button, qint32 x,
    qint32 y, qint32 photoCount, qint32 videoCount)
    : photoCount(photoCount)
    , videoCount(videoCount)
    , tabType(tabType)
    , paths(paths)
    , button(button)
    , x(x)
    , y(y)
{ }

void ContentInfo::clear()
{
    *this = ContentInfo();
}

void ContentInfo::countSelection()
{
    selectedPhotoCount = 0;
    selectedVideoCount = 0;
    for (const QString &path : std::as_const(paths)) {
        if (isPhotoFile(path))
            ++selectedPhotoCount;
        else
            ++selectedVideoCount;
    }
}

static QString buttonName(quint32 button)
{
    switch (button) {
    case 1:
        return QStringLiteral("left");
    case 2:
        return QStringLiteral("right");
    default:
        return QString();
    }
}

static quint32 buttonFromName(const QString &name)
{
    // Messages of our own writer carry the words; older peers may send numbers.
    if (name == u"left")
        return 1;
    if (name == u"right")
        return 2;
    return name.toUInt();
}

bool contentInfoToXml(ContentInfo &info)
{
    if (info.photoCount == 0 && info.videoCount == 0) {
        for (const QString &path : std::as_const(info.paths)) {
            if (isPhotoFile(path))
                ++info.photoCount;
            else
                ++info.videoCount;
        }
    }

    QDomDocument doc(QStringLiteral("ContentInfo"));
    doc.insertBefore(doc.createProcessingInstruction(
                         QStringLiteral("xml"), QStringLiteral("version='1.0' encoding='UTF-8'")),
        doc.firstChild());
    QDomElement root = doc.createElement(QStringLiteral("content_info"));
    doc.appendChild(root);

    const auto append = [&](const QString &name) {
        QDomElement element = doc.createElement(name);
        root.appendChild(element);
        return element;
    };

    append(QStringLiteral("tab")).setAttribute(QStringLiteral("type"), info.tabType);
    for (const QString &path : std::as_const(info.paths)) {
        QDomElement content = append(QStringLiteral("content"));
        content.setAttribute(QStringLiteral("path"), path);
        content.setAttribute(QStringLiteral("type"), contentTypeOfFile(path));
    }
    QDomElement photos = append(QStringLiteral("photos"));
    photos.setAttribute(QStringLiteral("count"), info.photoCount);
    photos.setAttribute(QStringLiteral("ext"), QStringLiteral("jpg,jpeg"));
    QDomElement videos = append(QStringLiteral("videos"));
    videos.setAttribute(QStringLiteral("count"), info.videoCount);
    videos.setAttribute(QStringLiteral("ext"), QStringLiteral("wmv,avi,mov,mp4"));
    QDomElement mouse = append(QStringLiteral("mouse_position"));
    mouse.setAttribute(QStringLiteral("button"), buttonName(info.button));
    mouse.setAttribute(QStringLiteral("x"), info.x);
    mouse.setAttribute(QStringLiteral("y"), info.y);
    append(QStringLiteral("application")).setAttribute(QStringLiteral("id"), info.applicationId);

    info.xml = doc.toString(1);
    return !info.xml.isEmpty();
}

bool xmlToContentInfo(const QString &xml, ContentInfo &info)
{
    info.clear();
    info.xml = xml;

    QDomDocument doc(QStringLiteral("ContentInfo"));
    if (!setGuardedContent(doc, xml))
        return false;

    const QDomElement root = doc.documentElement();
    const auto child = [&root](const QString &name) {
        return root.firstChildElement(name);
    };

    info.tabType = child(QStringLiteral("tab")).attribute(QStringLiteral("type")).toUInt();
    const QDomNodeList contents = root.elementsByTagName(QStringLiteral("content"));
    for (int i = 0; i < contents.size(); ++i)
        info.paths.append(contents.at(i).toElement().attribute(QStringLiteral("path")));
    info.countSelection();

    info.photoCount = child(QStringLiteral("photos")).attribute(QStringLiteral("count")).toInt();
    info.videoCount = child(QStringLiteral("videos")).attribute(QStringLiteral("count")).toInt();
    const QDomElement mouse = child(QStringLiteral("mouse_position"));
    info.button = buttonFromName(mouse.attribute(QStringLiteral("button")));
    info.x = mouse.attribute(QStringLiteral("x")).toInt();
    info.y = mouse.attribute(QStringLiteral("y")).toInt();
    info.applicationId = child(QStringLiteral("application")).attribute(QStringLiteral("id"));
    return true;
}

namespace {
const QLatin1String uriScheme("file://");
const QLatin1String uriSeparator("\r\n");
} // namespace

QString pathListText(const QStringList &paths)
{
    QStringList uris;
    for (const QString &path : paths)
        uris.append(QString::fromLatin1(fileUri(path)));
    return uris.join(uriSeparator);
}

QStringList pathListFromText(const QString &text)
{
    if (text.isEmpty())
        return QStringList();
    // Paths are absolute, so no path of the older form starts like a URI.
    if (!text.startsWith(uriScheme))
        return text.split(QLatin1Char(','));
    QStringList paths;
    // A URI escapes line breaks, so every one ends an entry.
    const QStringList lines
        = text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (line.startsWith(uriScheme)) {
            paths.append(QFile::decodeName(
                QByteArray::fromPercentEncoding(line.mid(uriScheme.size()).toUtf8())));
        }
    }
    return paths;
}
