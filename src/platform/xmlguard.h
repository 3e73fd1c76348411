#ifndef XMLGUARD_H
#define XMLGUARD_H

#include <QString>

class QDomDocument;

// Checks run before any DOM parse of text that comes from outside (network
// replies, files, other applets' messages). QDomDocument is quadratic in
// nesting depth, its serialiser overflows the stack on deep trees, and it
// expands internal entities without limit, so such input never reaches it.

inline constexpr qsizetype xmlGuardMaxSize = 1024 * 1024; // characters
inline constexpr int xmlGuardMaxDepth = 32;

// Empty when the text may be parsed, else why not. Text that is not well
// formed passes, so the parser reports it in its own words. One linear scan
// that stops at the first refusal.
QString xmlGuardRefusal(const QString &text);

// doc.setContent(text) for text that passes the guard; otherwise false with
// the refusal in errorMessage, as a failed setContent() would report.
bool setGuardedContent(QDomDocument &doc, const QString &text, QString *errorMessage = nullptr);

#endif
