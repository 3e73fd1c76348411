#ifndef TWEET_H
#define TWEET_H

#include "twitter/user.h"

#include <QObject>
#include <QString>

class QDomNode;

// A status as the API's XML status replies describe it.
class Tweet : public QObject
{
    Q_OBJECT
public:
    explicit Tweet(QObject *parent = nullptr);

    bool consumeTweetResponse(const QString &text);
    bool fromNode(const QDomNode &node);

    QString text;
    QString id;
    User user;
};

#endif
