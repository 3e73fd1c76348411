#include "badges/badgedata.h"

#include "platform/xmlguard.h"

#include <QDomDocument>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

bool skip(QStringView &rest, QStringView literal)
{
    if (!rest.startsWith(literal))
        return false;
    rest = rest.mid(literal.size());
    return true;
}

// Up to end (not taken). Refuses white space, which the DOM drops in some
// places, anything that is not plain XML text, and markup the writer would
// not write there.
bool readValue(QStringView &rest, char16_t end, QString &value)
{
    static const std::pair<QStringView, QChar> entities[] = { { u"&amp;", u'&' }, { u"&lt;", u'<' },
        { u"&gt;", u'>' }, { u"&quot;", u'"' }, { u"&apos;", u'\'' } };
    value.clear();
    qsizetype i = 0;
    while (i < rest.size() && rest[i] != end) {
        const QChar c = rest[i];
        if (c == u'&') {
            const auto entity = std::find_if(std::begin(entities), std::end(entities),
                [&](const auto &e) { return rest.mid(i).startsWith(e.first); });
            if (entity == std::end(entities))
                return false;
            value.append(entity->second);
            i += entity->first.size();
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < rest.size() && rest[i + 1].isLowSurrogate()) {
            value.append(rest.mid(i, 2));
            i += 2;
            continue;
        }
        if (c.unicode() <= 0x20 || c.isSpace() || c.isSurrogate() || c.unicode() >= 0xfffe
            || c == u'<' || c == u'>')
            return false;
        value.append(c);
        ++i;
    }
    if (i == rest.size())
        return false;
    rest = rest.mid(i);
    return true;
}

// What badgeDataToXml writes, read without a DOM: that is nearly every
// record a gallery reads, and the guard and the DOM cost ten times the
// attribute read for a record this small. Anything else, even text a DOM
// would read the same, is left to the DOM.
bool readOwnFormat(const QString &xml, BadgeData *bd)
{
    QStringView rest(xml);
    if (xml.size() > xmlGuardMaxSize
        || !skip(rest,
            u"<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE BadgeDataDoc>\n<applicaitons"))
        return false;
    if (skip(rest, u"/>\n"))
        return rest.isEmpty();
    if (!skip(rest, u">\n"))
        return false;
    QString id;
    QString url;
    while (skip(rest, u" <applicaiton id=\"")) {
        if (!readValue(rest, u'"', id) || !skip(rest, u"\">\n  <url>")
            || !readValue(rest, u'<', url) || !skip(rest, u"</url>\n </applicaiton>\n"))
            return false;
        bd->insert(id, url);
    }
    return skip(rest, u"</applicaitons>\n") && rest.isEmpty();
}

} // namespace

bool isXmlText(const QString &text)
{
    // A carriage return would come back as a line feed and a lone surrogate
    // not at all; the serialiser writes both as they are.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const bool allowed
            = c == 0x9 || c == 0xa || (c >= 0x20 && c <= 0xd7ff) || (c >= 0xe000 && c <= 0xfffd);
        if (!allowed)
            return false;
    }
    return true;
}

bool xmlToBadgeData(const QString &xml, BadgeData *bd)
{
    bd->clear();
    if (xml.isEmpty())
        return false;
    if (readOwnFormat(xml, bd))
        return true;
    bd->clear();
    QDomDocument doc(QStringLiteral("BadgeDataDoc"));
    if (!setGuardedContent(doc, xml))
        return false;

    const QDomNodeList entries
        = doc.documentElement().elementsByTagName(QStringLiteral("applicaiton"));
    for (int i = 0; i < entries.size(); ++i) {
        const QDomElement entry = entries.at(i).toElement();
        bd->insert(entry.attribute(QStringLiteral("id")),
            entry.firstChildElement(QStringLiteral("url")).text());
    }
    return true;
}

bool badgeDataToXml(const BadgeData &bd, QString &xml)
{
    QDomDocument doc(QStringLiteral("BadgeDataDoc"));
    doc.appendChild(doc.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version='1.0' encoding='UTF-8'")));
    QDomElement root = doc.createElement(QStringLiteral("applicaitons"));
    doc.appendChild(root);
    for (auto it = bd.cbegin(); it != bd.cend(); ++it) {
        if (!isXmlText(it.key()) || !isXmlText(it.value()))
            return false;
        QDomElement entry = doc.createElement(QStringLiteral("applicaiton"));
        entry.setAttribute(QStringLiteral("id"), it.key());
        QDomElement url = doc.createElement(QStringLiteral("url"));
        url.appendChild(doc.createTextNode(it.value()));
        entry.appendChild(url);
        root.appendChild(entry);
    }
    const QString text = doc.toString(1);
    if (text.isEmpty())
        return false;
    xml = text;
    return true;
}
