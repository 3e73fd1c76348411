#include "statusrules.h"

#include <QRegularExpression>

namespace {
constexpr int LinkLength = 23;
}

int statusLength(const QString &text)
{
    static const QRegularExpression link(
        QStringLiteral("https?://[^\\s]+"), QRegularExpression::CaseInsensitiveOption);
    int length = 0;
    qsizetype from = 0;
    auto it = link.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        length += int(QStringView(text).mid(from, match.capturedStart() - from).toUcs4().size());
        length += LinkLength;
        from = match.capturedEnd();
    }
    length += int(QStringView(text).mid(from).toUcs4().size());
    return length;
}
