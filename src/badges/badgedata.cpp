#include "badges/badgedata.h"

#include "platform/xmlguard.h"

#include <QDomDocument>

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
