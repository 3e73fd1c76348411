#include "catalog/appinfoxml.h"

#include "catalog/appinfo.h"
#include "catalog/contentinfo.h"
#include "catalog/contenttype.h"
#include "catalog/ctaappinfo.h"
#include "catalog/language.h"
#include "platform/xmlguard.h"
#include "zpvlogging.h"

#include <QStringDecoder>

namespace {

const QString iconSeparator = QStringLiteral("(!)");

QString joinIconPaths(const QString (&paths)[3])
{
    QString text = paths[0];
    for (int i = 1; i < 3; ++i) {
        if (!paths[i].isEmpty())
            text += iconSeparator + paths[i];
    }
    return text;
}

QString formatLanguageList(const QList<quint32> &ids)
{
    QStringList items;
    for (const quint32 id : ids)
        items.append(QString::number(id, 16));
    return items.join(u',');
}

// Tooltips travel as the UTF-8 bytes of their text, one character per byte.
QString toTransferForm(const QString &text)
{
    return QString::fromLatin1(text.toUtf8());
}

QString fromTransferForm(const QString &text)
{
    // A text with characters above 255, or whose bytes are not UTF-8, was not
    // written in the transfer form; decoding it would only mangle it.
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return text;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(text.toLatin1());
    return decoder.hasError() ? text : decoded;
}

// Lists are written in hexadecimal without a prefix; older ones hold decimal
// and "0x"-prefixed items. Every id of a country's locale is at least 0x400,
// so an item below 1024 in decimal, or one with a letter, can only be
// hexadecimal, and then the whole list is. A list with a "0x" item was not
// written here, and its plain items stay decimal ("0" leading: octal).
bool isHexList(const QStringList &parts)
{
    bool hex = false;
    for (const QString &part : parts) {
        if (part.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            return false;
        if (part.size() > 1 && part.startsWith(u'0'))
            continue;
        bool decimal = false;
        bool hexadecimal = false;
        const uint value = part.toUInt(&decimal, 10);
        part.toUInt(&hexadecimal, 16);
        hex = hex || (decimal ? value < 0x400 : hexadecimal);
    }
    return hex;
}

void readLanguageList(
    const QDomElement &root, const QString &tag, const QString &caption, QList<quint32> &ids)
{
    ids.clear();
    QStringList parts = childElementText(root, tag).split(u',', Qt::SkipEmptyParts);
    for (QString &part : parts)
        part = part.trimmed();
    const int base = isHexList(parts) ? 16 : 0;
    for (const QString &part : std::as_const(parts)) {
        bool ok = false;
        const quint32 id = part.toUInt(&ok, base);
        if (ok)
            ids.append(id);
        else
            qCWarning(lcCatalog, "ContentTypeAggregator::xmlToAppInfo() - list failure: %s %s %s",
                qUtf8Printable(caption), qUtf8Printable(tag), qUtf8Printable(part));
    }
}

// Steps shared by both records; false leaves the record untouched.
template<typename Record>
bool readCommonFields(const QString &xml, Record &info, QDomElement &root)
{
    QDomDocument doc(QStringLiteral("AppInfoText"));
    if (!setGuardedContent(doc, xml))
        return false;
    root = doc.documentElement();
    const auto text = [&root](const char *tag) {
        return childElementText(root, QString::fromLatin1(tag));
    };

    info.appPath = text("app_path");
    info.libId = text("lib_id");
    info.id = text("id");
    info.libAppCount = text("lib_app_count").toInt();
    info.appIndex = text("app_index").toInt();
    info.appType = text("app_type").toInt();
    info.appLaunch = text("app_launch");
    info.sortOrder = text("sort_order").toDouble();
    info.accepts = text("accepts");

    const QString lang = currentLanguageCode();
    info.caption = localizedChildText(root, QStringLiteral("caption"), lang);
    info.tooltip = fromTransferForm(localizedChildText(root, QStringLiteral("tooltip"), lang));

    const QStringList icons = text("icon_path").split(iconSeparator, Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < icons.size() && i < 3; ++i)
        info.iconPaths[i] = icons.at(i);
    return true;
}

} // namespace

QDomElement addTextElement(QDomDocument &doc, const QString &tag, const QString &text)
{
    QDomElement element = doc.createElement(tag);
    if (!text.isEmpty())
        element.appendChild(doc.createTextNode(text));
    doc.documentElement().appendChild(element);
    return element;
}

QDomElement addLocalizedText(QDomDocument &doc, QDomElement &parent, const QString &tag,
    const QString &lang, const QString &text)
{
    QDomElement holder = parent.firstChildElement(tag);
    if (holder.isNull()) {
        holder = doc.createElement(tag);
        parent.appendChild(holder);
    }
    // An element without a name would make the whole text unreadable.
    if (lang.isEmpty())
        return QDomElement();
    QDomElement element = doc.createElement(lang);
    if (!text.isEmpty())
        element.appendChild(doc.createTextNode(text));
    holder.appendChild(element);
    return element;
}

QString childElementText(const QDomElement &parent, const QString &tag)
{
    return parent.firstChildElement(tag).text();
}

QString localizedChildText(const QDomElement &parent, const QString &tag, const QString &lang)
{
    // firstChildElement("") would answer with any child at all.
    if (lang.isEmpty())
        return QString();
    return parent.firstChildElement(tag).firstChildElement(lang).text();
}

bool appInfoToXml(const CTAAppInfo &info, QString &xml)
{
    QDomDocument doc(QStringLiteral("AppInfoText"));
    doc.appendChild(doc.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version='1.0' encoding='UTF-8'")));
    QDomElement root = doc.createElement(QStringLiteral("app_info"));
    doc.appendChild(root);

    const auto add = [&doc](const char *tag, const QString &text) {
        addTextElement(doc, QString::fromLatin1(tag), text);
    };
    add("app_path", info.appPath);
    add("lib_id", info.libId);
    add("id", info.id);
    add("lib_app_count", QString::number(info.libAppCount));
    add("app_index", QString::number(info.appIndex));
    add("icon_path", joinIconPaths(info.iconPaths));
    add("app_type", QString::number(info.appType));
    add("app_launch", info.appLaunch);
    add("sort_order", QString::number(info.sortOrder, 'g', 6));
    add("accepts", info.accepts);
    add("version", info.version);
    add("build", info.build);
    add("vxproduct", info.vxproduct);
    const std::pair<const char *, const QList<quint32> *> lists[] = {
        { "lang_whitelist", &info.langWhitelist },
        { "lang_graylist", &info.langGraylist },
        { "lang_blacklist", &info.langBlacklist },
    };
    for (const auto &[tag, ids] : lists) {
        const QString text = formatLanguageList(*ids);
        if (!text.isEmpty())
            add(tag, text);
    }

    const QString lang = currentLanguageCode();
    addLocalizedText(doc, root, QStringLiteral("caption"), lang, info.caption);
    addLocalizedText(doc, root, QStringLiteral("tooltip"), lang, toTransferForm(info.tooltip));

    xml = doc.toString(1);
    return true;
}

bool xmlToAppInfo(const QString &xml, CTAAppInfo &info)
{
    CTAAppInfo read = info;
    QDomElement root;
    if (!readCommonFields(xml, read, root))
        return false;
    read.version = childElementText(root, QStringLiteral("version"));
    read.build = childElementText(root, QStringLiteral("build"));
    read.vxproduct = childElementText(root, QStringLiteral("vxproduct"));
    readLanguageList(root, QStringLiteral("lang_whitelist"), read.caption, read.langWhitelist);
    readLanguageList(root, QStringLiteral("lang_graylist"), read.caption, read.langGraylist);
    readLanguageList(root, QStringLiteral("lang_blacklist"), read.caption, read.langBlacklist);
    info = read;
    return true;
}

bool xmlToAppInfo(const QString &xml, ZPVGlobal::AppInfo &info)
{
    ZPVGlobal::AppInfo read = info;
    QDomElement root;
    if (!readCommonFields(xml, read, root))
        return false;
    info = read;
    return true;
}

bool appAcceptsContent(const CTAAppInfo &info, const ContentInfo &content)
{
    const int tab = int(content.tabType);
    if (tab == 7 && (content.videoCount > 0 || content.photoCount >= 1))
        return true;

    bool takesVideos = false;
    bool takesPhotos = false;
    const QStringList suffixes = info.accepts.split(u',');
    for (const QString &suffix : suffixes) {
        const int type = contentTypeOfSuffix(suffix.trimmed());
        takesVideos = takesVideos || isVideoType(type);
        takesPhotos = takesPhotos || isPhotoType(type);
    }
    return (isVideoType(tab) && takesVideos && content.videoCount >= 1)
        || (isPhotoType(tab) && takesPhotos && content.photoCount >= 1);
}

bool isLanguageBlocked(const CTAAppInfo &info, unsigned langId)
{
    if (info.langBlacklist.contains(langId))
        return true;
    if (info.langWhitelist.isEmpty())
        return false;
    return !info.langWhitelist.contains(langId);
}

bool notGrayListed(const CTAAppInfo &info, unsigned langId)
{
    return !info.langGraylist.contains(langId);
}
