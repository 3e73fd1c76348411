#include "authorizationheader.h"

namespace {

bool skipSpaces(const QByteArray &text, qsizetype *pos)
{
    while (*pos < text.size() && (text.at(*pos) == ' ' || text.at(*pos) == '\t'))
        ++*pos;
    return *pos < text.size();
}

} // namespace

std::optional<FormParams> parseAuthorizationHeader(const QByteArray &header)
{
    const QByteArray scheme = header.left(6);
    if (scheme.compare("OAuth ", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    FormParams params;
    qsizetype pos = 6;
    while (skipSpaces(header, &pos)) {
        const qsizetype eq = header.indexOf('=', pos);
        if (eq < 0 || eq + 1 >= header.size() || header.at(eq + 1) != '"')
            return std::nullopt;
        const qsizetype close = header.indexOf('"', eq + 2);
        if (close < 0)
            return std::nullopt;
        const auto name = percentDecode(header.mid(pos, eq - pos).trimmed(), false);
        const auto value = percentDecode(header.mid(eq + 2, close - eq - 2), false);
        if (!name || !value || name->isEmpty())
            return std::nullopt;
        params.append({ *name, *value });
        pos = close + 1;
        if (!skipSpaces(header, &pos))
            break;
        if (header.at(pos) != ',')
            return std::nullopt;
        ++pos;
    }
    return params;
}
