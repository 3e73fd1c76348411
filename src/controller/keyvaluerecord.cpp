#include "controller/keyvaluerecord.h"

#include "zpvlogging.h"

#include <QStringList>

KeyValueRecord::KeyValueRecord()
    : KeyValueRecord(QStringLiteral("<>"), QStringLiteral("||"))
{ }

KeyValueRecord::KeyValueRecord(const QString &pairSeparator, const QString &valueSeparator)
    : pairSeparator(pairSeparator)
    , valueSeparator(valueSeparator)
{ }

QString KeyValueRecord::toString() const
{
    QString text;
    for (auto it = cbegin(); it != cend(); ++it) {
        if (!text.isEmpty())
            text += pairSeparator;
        text += it.key() + valueSeparator + it.value();
    }
    return text;
}

bool KeyValueRecord::fromString(const QString &text)
{
    if (text.isEmpty() || pairSeparator.isEmpty() || valueSeparator.isEmpty())
        return false;
    clear();
    // Passwords and tweets may hold the separators; splitting every piece
    // in two would cut or refuse them.
    iterator last = end();
    const QStringList pieces = text.split(pairSeparator);
    for (const QString &piece : pieces) {
        const qsizetype at = piece.indexOf(valueSeparator);
        if (at >= 0) {
            last = insert(piece.left(at), piece.mid(at + valueSeparator.size()));
        } else if (last != end()) {
            last.value() += pairSeparator + piece;
        } else {
            // The piece may be part of a password: not logged.
            qCCritical(lcController, "KeyValueRecord::fromString() - pair without a value");
            return false;
        }
    }
    return true;
}
