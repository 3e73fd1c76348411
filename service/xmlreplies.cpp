#include "xmlreplies.h"

#include <QLocale>
#include <QXmlStreamWriter>

namespace {

QString profileImageUrl(const QString &baseUrl)
{
    return baseUrl + QStringLiteral("/images/default_profile.png");
}

void writeUser(QXmlStreamWriter &xml, const StoredUser &user, const QString &baseUrl)
{
    xml.writeStartElement(QStringLiteral("user"));
    xml.writeTextElement(QStringLiteral("id"), QString::number(user.id));
    xml.writeTextElement(QStringLiteral("name"), user.name);
    xml.writeTextElement(QStringLiteral("screen_name"), user.screenName);
    xml.writeTextElement(QStringLiteral("location"), QString());
    xml.writeTextElement(QStringLiteral("description"), QString());
    xml.writeTextElement(QStringLiteral("profile_image_url"), profileImageUrl(baseUrl));
    xml.writeTextElement(QStringLiteral("url"), baseUrl + QStringLiteral("/home"));
    xml.writeTextElement(QStringLiteral("protected"), QStringLiteral("false"));
    xml.writeEndElement();
}

template<typename Body>
QByteArray document(Body body)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    body(xml);
    xml.writeEndDocument();
    return out;
}

} // namespace

QString twitterDate(const QDateTime &when)
{
    return QLocale::c().toString(when.toUTC(), QStringLiteral("ddd MMM dd HH:mm:ss +0000 yyyy"));
}

QByteArray errorDocument(const QString &requestPath, const QString &error)
{
    return document([&](QXmlStreamWriter &xml) {
        xml.writeStartElement(QStringLiteral("hash"));
        xml.writeTextElement(QStringLiteral("request"), requestPath);
        xml.writeTextElement(QStringLiteral("error"), error);
        xml.writeEndElement();
    });
}

QByteArray userDocument(const StoredUser &user, const QString &baseUrl)
{
    return document([&](QXmlStreamWriter &xml) { writeUser(xml, user, baseUrl); });
}

QByteArray statusDocument(const StoredStatus &status, const QString &baseUrl)
{
    return document([&](QXmlStreamWriter &xml) {
        xml.writeStartElement(QStringLiteral("status"));
        xml.writeTextElement(QStringLiteral("created_at"), twitterDate(status.createdAt));
        xml.writeTextElement(QStringLiteral("id"), QString::number(status.id));
        xml.writeTextElement(QStringLiteral("text"), status.text);
        xml.writeTextElement(QStringLiteral("source"), QStringLiteral("web"));
        xml.writeTextElement(QStringLiteral("truncated"), QStringLiteral("false"));
        writeUser(xml, status.user, baseUrl);
        xml.writeEndElement();
    });
}
