#include "platform/xmlguard.h"

#include <QDomDocument>
#include <QXmlStreamReader>

QString xmlGuardRefusal(const QString &text)
{
    if (text.size() > xmlGuardMaxSize)
        return QStringLiteral("XML text larger than %1 characters").arg(xmlGuardMaxSize);

    QXmlStreamReader reader(text);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > xmlGuardMaxDepth)
                return QStringLiteral("XML nested deeper than %1 levels").arg(xmlGuardMaxDepth);
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::DTD:
            // A bare <!DOCTYPE Name> (what our own formats write) is fine; an
            // internal subset is where entities get declared.
            if (!reader.entityDeclarations().isEmpty() || !reader.notationDeclarations().isEmpty()
                || reader.text().contains(QLatin1Char('[')))
                return QStringLiteral("XML document type with an internal subset");
            break;
        default:
            break;
        }
    }
    return QString();
}

bool setGuardedContent(QDomDocument &doc, const QString &text, QString *errorMessage)
{
    const QString refusal = xmlGuardRefusal(text);
    if (!refusal.isEmpty()) {
        doc.clear();
        if (errorMessage)
            *errorMessage = refusal;
        return false;
    }
    return bool(doc.setContent(text, errorMessage));
}
