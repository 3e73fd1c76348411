#ifndef RANDOMTEXT_H
#define RANDOMTEXT_H

#include <QString>

// Letters and digits drawn from the system's cryptographic generator.
QString randomText(int length, const char *alphabet);

extern const char AlphanumericAlphabet[];
extern const char DigitAlphabet[];

#endif
