#ifndef ISOLATEDSETTINGS_H
#define ISOLATEDSETTINGS_H

#include "twitter/twittersettings.h"

#include <QSettings>
#include <QTemporaryDir>

// Points the per-user settings store at a temporary folder for the life of
// the object, so tests never read or write the real one.
class IsolatedSettings
{
public:
    IsolatedSettings()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    }
    bool isValid() const { return m_dir.isValid(); }

    // Sets a key of the "Twitter" group; an invalid value removes it.
    static void set(const char *key, const QVariant &value)
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
            QString::fromLatin1(TwitterSettings::organisation),
            QString::fromLatin1(TwitterSettings::application));
        const QString name = QLatin1String(TwitterSettings::group) + u'/' + QLatin1String(key);
        value.isValid() ? settings.setValue(name, value) : settings.remove(name);
    }

private:
    QTemporaryDir m_dir;
};

#endif
