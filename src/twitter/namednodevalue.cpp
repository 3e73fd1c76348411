#include "twitter/namednodevalue.h"

#include "zpvlogging.h"

#include <QDomElement>

bool getNamedNodeValue(const QDomElement &element, const QString &name, QString &output)
{
    const QDomElement child = element.firstChildElement(name);
    if (child.isNull()) {
        qCCritical(lcTwitter, "::getNamedNodeValue() - failed to find %s", qUtf8Printable(name));
        return false;
    }
    output = child.text();
    if (output.isEmpty()) {
        qCCritical(lcTwitter, "::getNamedNodeValue() - %s is empty...", qUtf8Printable(name));
        return false;
    }
    return true;
}
