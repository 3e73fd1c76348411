#ifndef APPINFOXML_H
#define APPINFOXML_H

#include <QDomDocument>
#include <QDomElement>
#include <QString>

class CTAAppInfo;
class ContentInfo;
namespace ZPVGlobal {
class AppInfo;
}

// Application info texts ("AppInfoText") and the questions a record answers.

// Always true.
bool appInfoToXml(const CTAAppInfo &info, QString &xml);
// False, with info unchanged, when the text is not well-formed XML.
bool xmlToAppInfo(const QString &xml, CTAAppInfo &info);
bool xmlToAppInfo(const QString &xml, ZPVGlobal::AppInfo &info);

bool appAcceptsContent(const CTAAppInfo &info, const ContentInfo &content);
bool isLanguageBlocked(const CTAAppInfo &info, unsigned langId);
bool notGrayListed(const CTAAppInfo &info, unsigned langId);

QDomElement addTextElement(QDomDocument &doc, const QString &tag, const QString &text);
QDomElement addLocalizedText(QDomDocument &doc, QDomElement &parent, const QString &tag,
    const QString &lang, const QString &text);
QString childElementText(const QDomElement &parent, const QString &tag);
QString localizedChildText(const QDomElement &parent, const QString &tag, const QString &lang);

#endif
