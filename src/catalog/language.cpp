#include "catalog/language.h"

#include "platform/suitesettings.h"

#include <QLocale>
#include <QSettings>

#include <iterator>

namespace {

struct Language
{
    unsigned id;
    const char16_t *code;
};

// Searched in this order; the first match wins.
constexpr Language languages[] = {
    { 0x0406, u"da-DK" },
    { 0x0413, u"nl-NL" },
    { 0x0409, u"en-US" },
    { 0x040C, u"fr-FR" },
    { 0x0407, u"de-DE" },
    { 0x0410, u"it-IT" },
    { 0x0411, u"ja-JP" },
    { 0x0412, u"ko-KR" },
    { 0x0414, u"nb-NO" },
    { 0x0416, u"pt-BR" },
    { 0x0804, u"zh-CN" },
    { 0x040A, u"es-ES" },
    { 0x041D, u"sv-SE" },
    { 0x0404, u"zh-TW" },
    { 0x0408, u"el-GR" },
    { 0x0415, u"pl-PL" },
    { 0x0419, u"ru-RU" },
    { 0x041F, u"tr-TR" },
    { 0x040B, u"fi-FI" },
    { 0x0816, u"pt-PT" },
};

constexpr unsigned englishId = 0x0409;

const QString languageKey = QStringLiteral("LanguageID");

// The language key was once kept under this spelling of the organisation, a
// file of its own on case-sensitive file systems. It is still read when the
// suite's file lacks the key, and never written.
constexpr char formerOrganisation[] = "NoBridge";

QVariant storedLanguageId()
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QLatin1String(SuiteSettings::organisation), QLatin1String(SuiteSettings::application));
    const QVariant id = settings.value(languageKey);
    if (id.isValid())
        return id;
    const QSettings former(QSettings::NativeFormat, QSettings::UserScope,
        QLatin1String(formerOrganisation), QLatin1String(SuiteSettings::application));
    return former.value(languageKey);
}

} // namespace

int currentLanguageId()
{
    // A locale outside the table (en_GB, C) would leave every caption empty.
    const QString systemCode = QLocale::system().name().replace(u'_', u'-');
    const int systemId = languageIdOf(systemCode);
    const int fallback = systemId != 0 ? systemId : int(englishId);
    bool ok = false;
    const int id = storedLanguageId().toInt(&ok);
    return ok ? id : fallback;
}

int languageIdOf(const QString &code)
{
    for (const Language &language : languages) {
        if (code.compare(QStringView(language.code), Qt::CaseInsensitive) == 0)
            return int(language.id);
    }
    return 0;
}

QString languageCodeOf(unsigned id)
{
    for (const Language &language : languages) {
        if (language.id == id)
            return QString::fromUtf16(language.code);
    }
    return QString();
}

QString currentLanguageCode()
{
    const QString code = languageCodeOf(unsigned(currentLanguageId()));
    return code.isEmpty() ? languageCodeOf(englishId) : code;
}
