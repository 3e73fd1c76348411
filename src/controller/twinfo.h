#ifndef TWINFO_H
#define TWINFO_H

#include "controller/keyvaluerecord.h"

#include <QObject>
#include <QStringList>

// The tweet being prepared: the tweet page's last report ("description"
// holds the status text). Kept in memory only: a draft tweet does not
// outlive the controller.
class TWInfo : public QObject
{
    Q_OBJECT
public:
    explicit TWInfo(QObject *parent = nullptr);
    TWInfo(const TWInfo &other, QObject *parent);
    ~TWInfo() override;

    TWInfo &operator=(const TWInfo &other);

    // Empties text, list and the record's pairs; separators and words stay.
    void clear();

    QString text;
    QStringList list;
    KeyValueRecord record;
    // Set by the owner: the controller keeps the applet manager in the first
    // and the wizard host in the second.
    quintptr firstWord = 0;
    quintptr secondWord = 0;
};

#endif
