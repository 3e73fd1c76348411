#ifndef KEYVALUERECORD_H
#define KEYVALUERECORD_H

#include <QHash>
#include <QString>

// String pairs exchanged with the wizard pages as text: key, "||", value for
// each pair, the pairs joined by "<>".
class KeyValueRecord : public QHash<QString, QString>
{
public:
    KeyValueRecord();
    KeyValueRecord(const QString &pairSeparator, const QString &valueSeparator);

    QString toString() const;
    // Replaces the pairs by those of text. An empty text is refused and
    // leaves the record as it was. A value may itself hold either separator:
    // a pair splits at its first value separator, and a piece without one
    // continues the value before it. Fails, keeping the pairs read so far,
    // when the text starts with such a piece.
    bool fromString(const QString &text);

    QString pairSeparator;
    QString valueSeparator;
};

#endif
