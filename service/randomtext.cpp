#include "randomtext.h"

#include <QRandomGenerator>

#include <cstring>

const char AlphanumericAlphabet[]
    = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const char DigitAlphabet[] = "0123456789";

QString randomText(int length, const char *alphabet)
{
    const int size = int(std::strlen(alphabet));
    QString text;
    text.reserve(length);
    for (int i = 0; i < length; ++i)
        text.append(QLatin1Char(alphabet[QRandomGenerator::system()->bounded(size)]));
    return text;
}
