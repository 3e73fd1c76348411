#include "twitter/tweet.h"

#include "platform/xmlguard.h"
#include "twitter/namednodevalue.h"
#include "zpvlogging.h"

#include <QDomDocument>

Tweet::Tweet(QObject *parent)
    : QObject(parent)
    , user(nullptr)
{ }

bool Tweet::consumeTweetResponse(const QString &text)
{
    QDomDocument doc(QStringLiteral("tweet_response"));
    if (!setGuardedContent(doc, text)) {
        qCCritical(lcTwitter, "Tweet::consumeTweetResponse() - failed to load xml...%s",
            qUtf8Printable(text));
        return false;
    }
    const QDomElement root = doc.documentElement();
    if (root.isNull()) {
        qCCritical(lcTwitter, "Tweet::consumeTweetResponse() - failed to get root");
        return false;
    }
    return fromNode(root);
}

bool Tweet::fromNode(const QDomNode &node)
{
    if (node.isNull() || !node.isElement()) {
        qCCritical(lcTwitter, "Tweet::fromNode() - bad nodeIn");
        return false;
    }
    const QDomElement element = node.toElement();
    if (!getNamedNodeValue(element, QStringLiteral("id"), id)) {
        qCCritical(lcTwitter, "Tweet::fromNode() - failed to find id");
        return false;
    }
    // Same line as for a missing id: the log has always read so.
    if (!getNamedNodeValue(element, QStringLiteral("text"), text)) {
        qCCritical(lcTwitter, "Tweet::fromNode() - failed to find id");
        return false;
    }
    const QDomElement userElement = element.firstChildElement(QStringLiteral("user"));
    if (userElement.isNull()) {
        qCCritical(lcTwitter, "::getNamedNodeValue() - failed to find ");
        return false;
    }
    return user.fromNode(userElement);
}

#include "moc_tweet.cpp"
