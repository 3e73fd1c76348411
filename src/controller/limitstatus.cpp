#include "controller/limitstatus.h"

#include "zpvlogging.h"

#include <QStringList>

namespace {

const QString partSeparator = QStringLiteral("(!)");
const QString entrySeparator = QStringLiteral("<!>");
const QString pathSeparator = QStringLiteral("[!]");

bool readWord(const QString &text, quint32 &word)
{
    bool ok = false;
    const quint32 value = text.toUInt(&ok);
    if (ok)
        word = value;
    return ok;
}

} // namespace

LimitStatus::LimitStatus(quint32 maxSize, quint32 maxDuration, quint32 maxCount)
    : maxSize(maxSize)
    , maxDuration(maxDuration)
    , maxCount(maxCount)
{ }

unsigned long LimitStatus::combinedStatus() const
{
    unsigned long status = countStatus;
    for (const unsigned long bits : statusByPath)
        status |= bits;
    return status;
}

bool LimitStatus::operator==(const LimitStatus &other) const
{
    return maxSize == other.maxSize && maxDuration == other.maxDuration
        && maxCount == other.maxCount && countStatus == other.countStatus
        && statusByPath == other.statusByPath;
}

QString LimitStatus::toString() const
{
    QStringList entries;
    for (auto it = statusByPath.cbegin(); it != statusByPath.cend(); ++it)
        entries.append(it.key() + pathSeparator + QString::number(it.value()));
    return QString::number(maxSize) + partSeparator + QString::number(maxDuration) + partSeparator
        + QString::number(maxCount) + partSeparator + QString::number(countStatus) + partSeparator
        + entries.join(entrySeparator);
}

bool LimitStatus::fromString(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QStringList parts = text.split(partSeparator);
    if (parts.size() != 5) {
        qCCritical(lcController, "LimitStatus::fromString() - expected 5 parts, got %lld",
            static_cast<long long>(parts.size()));
        return false;
    }
    // A word that is not a number would otherwise read as 0, i.e. "no limit".
    quint32 words[4];
    for (int i = 0; i < 4; ++i) {
        if (!readWord(parts.at(i), words[i])) {
            qCCritical(lcController, "LimitStatus::fromString() - not a number: %s",
                qUtf8Printable(parts.at(i)));
            return false;
        }
    }
    maxSize = words[0];
    maxDuration = words[1];
    maxCount = words[2];
    countStatus = words[3];
    statusByPath.clear();
    const QStringList entries = parts.at(4).split(entrySeparator, Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        const QStringList fields = entry.split(pathSeparator, Qt::SkipEmptyParts);
        quint32 bits = 0;
        if (fields.size() != 2 || fields.at(0).isEmpty() || !readWord(fields.at(1), bits)) {
            qCCritical(
                lcController, "LimitStatus::fromString() - bad entry: %s", qUtf8Printable(entry));
            return false;
        }
        statusByPath.insert(fields.at(0), bits);
    }
    return true;
}
