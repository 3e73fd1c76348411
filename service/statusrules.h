#ifndef STATUSRULES_H
#define STATUSRULES_H

#include <QString>

// Longest status text, in the weighted length of statusLength().
constexpr int MaxStatusLength = 280;
// Links count 23 whatever their length, so the text is capped in bytes too (UTF-8).
constexpr int MaxStatusBytes = 4096;

// Length as the public service counts it: Unicode code points, each http or
// https link counted as a fixed 23 whatever its real length.
int statusLength(const QString &text);

// Length as the public service's /2/ resources count it: after NFC, code points
// of Latin and common punctuation weigh one, others two, an emoji sequence two
// as a whole, each http or https link 23.
int weightedStatusLength(const QString &text);

// Characters XML 1.0 cannot carry, so a stored status could never be served.
bool hasForbiddenControl(const QString &text);

#endif
