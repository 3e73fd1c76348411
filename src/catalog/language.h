#ifndef LANGUAGE_H
#define LANGUAGE_H

#include <QString>

// The suite's current language: a Windows locale id and its code ("en-US").
// The id comes from the "LanguageID" setting of the suite's settings store
// and, when that is absent, from the system locale; a locale outside the
// table counts as English (en-US).
int currentLanguageId();
// 0 for a code outside the table; the code is compared ignoring case.
int languageIdOf(const QString &code);
// Empty for an id outside the table.
QString languageCodeOf(unsigned id);
// en-US when the id in force is outside the table, so captions never go blank.
QString currentLanguageCode();

#endif
