#include "platform/fileuri.h"

#include <QFile>

static bool keptInPath(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case '-':
    case '.':
    case '/':
    case ':':
    case '=':
    case '@':
    case '_':
    case '~':
        return true;
    default:
        return false;
    }
}

QByteArray fileUri(const QString &absolutePath)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = QFile::encodeName(absolutePath);
    QByteArray uri("file://");
    uri.reserve(uri.size() + bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptInPath(c)) {
            uri.append(ch);
        } else {
            uri.append('%');
            uri.append(hex[c >> 4]);
            uri.append(hex[c & 0xf]);
        }
    }
    return uri;
}
