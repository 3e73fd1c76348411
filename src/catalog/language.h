#ifndef LANGUAGE_H
#define LANGUAGE_H

#include <QString>

// The suite's current language: a Windows locale id and its code ("en-US").
// The id comes from the "LanguageID" setting (organisation "NoBridge",
// application "ZPV") and, when that is absent, from the system locale.
int currentLanguageId();
// 0 for a code outside the table; the code is compared ignoring case.
int languageIdOf(const QString &code);
// Empty for an id outside the table.
QString languageCodeOf(unsigned id);
QString currentLanguageCode();

#endif
