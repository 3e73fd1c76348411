#ifndef USER_H
#define USER_H

#include <QObject>
#include <QString>

class QDomNode;

// A Twitter user as the API's XML user and status replies describe it.
class User : public QObject
{
    Q_OBJECT
public:
    explicit User(QObject *parent = nullptr);

    bool fromText(const QString &text);
    bool fromNode(const QDomNode &node);
    void clear();

    QString id;
    QString name;
    QString screen_name;
    QString profile_image_url;
};

#endif
