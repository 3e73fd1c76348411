#ifndef NAMEDNODEVALUE_H
#define NAMEDNODEVALUE_H

#include <QString>

class QDomElement;

// The text of the first child element called name. An empty element counts
// as missing; output takes the text in either case.
bool getNamedNodeValue(const QDomElement &element, const QString &name, QString &output);

#endif
