#include "twitter/user.h"

#include "platform/xmlguard.h"
#include "twitter/namednodevalue.h"
#include "zpvlogging.h"

#include <QDomDocument>

User::User(QObject *parent)
    : QObject(parent)
{ }

bool User::fromText(const QString &text)
{
    QDomDocument doc(QStringLiteral("user_data"));
    if (!setGuardedContent(doc, text)) {
        qCCritical(lcTwitter, "User::fromText() - failed to load xml...%s", qUtf8Printable(text));
        return false;
    }
    const QDomElement root = doc.documentElement();
    if (root.isNull()) {
        qCCritical(lcTwitter, "User::fromText() - failed to get root");
        return false;
    }
    return fromNode(root);
}

bool User::fromNode(const QDomNode &node)
{
    if (node.isNull() || !node.isElement()) {
        qCCritical(lcTwitter, "User::fromNode() - bad nodeIn");
        return false;
    }
    const QDomElement element = node.toElement();
    const struct
    {
        const char *name;
        QString &field;
    } fields[] = {
        { "id", id },
        { "name", name },
        { "screen_name", screen_name },
        { "profile_image_url", profile_image_url },
    };
    for (const auto &f : fields) {
        if (!getNamedNodeValue(element, QString::fromLatin1(f.name), f.field)) {
            qCCritical(lcTwitter, "User::fromText() - failed to get %s", f.name);
            return false;
        }
    }
    return true;
}

void User::clear()
{
    id.clear();
    name.clear();
    screen_name.clear();
    profile_image_url.clear();
}

#include "moc_user.cpp"
