#include "platform/launchpath.h"

#include "platform/osproxylib.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

// A settings file named by a recipe is read whole: refuse devices, pipes and
// anything too large to be one.
constexpr qint64 maxSettingsFileSize = 1024 * 1024;

QString systemValue(const QString &organisation, const QString &application, const QString &group,
    const QString &name)
{
    QSettings settings(QSettings::SystemScope, organisation, application);
    settings.beginGroup(group);
    return settings.value(name).toString();
}

QString settingsFileValue(const QString &fileName, const QString &name)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || info.size() > maxSettingsFileSize)
        return QString();
    const QSettings settings(fileName, QSettings::NativeFormat);
    return settings.value(name).toString();
}

// The first part of a command line split at its quotes: "path" args gives path.
QString firstUnquoted(const QString &command)
{
    const QStringList parts = command.split(u'"', Qt::SkipEmptyParts);
    return parts.isEmpty() ? QString() : parts.first();
}

QString expanded(QString text)
{
    expandEnvironmentVariables(text);
    return text;
}

} // namespace

bool resolveLaunchPath(const QString &appLaunch, QString &path)
{
    if (appLaunch.isEmpty())
        return false;

    const QStringList parts = appLaunch.split(QStringLiteral("(!)"), Qt::SkipEmptyParts);
    QString target;
    QString detail;
    QString substitute;
    switch (parts.size()) {
    case 1:
        target = parts.at(0);
        break;
    case 2:
        target = parts.at(0);
        detail = parts.at(1);
        break;
    case 3:
    case 5:
        substitute = parts.at(0);
        target = parts.at(1);
        detail = parts.at(2);
        break;
    default:
        break;
    }

    const auto found = [&path](const QString &candidate) {
        path = candidate;
        return QFileInfo::exists(candidate);
    };
    const QString classes = QStringLiteral("Classes");
    const QString defaultValue = QStringLiteral("Default");
    const QChar separator = QDir::separator();

    if (found(QCoreApplication::applicationDirPath() + u'/' + target))
        return true;

    if (found(expanded(systemValue(QStringLiteral("Microsoft"), QStringLiteral("Windows"),
            QStringLiteral("CurrentVersion/App Paths/") + target, defaultValue))))
        return true;

    if (found(expanded(systemValue(classes, QStringLiteral("CLSID"),
            target + QStringLiteral("/LocalServer32"), defaultValue)
                           .remove(u'"'))))
        return true;

    const QString systemRoot = qEnvironmentVariable("SystemRoot");
    if (!systemRoot.isEmpty()) {
        if (found(systemRoot + u'/' + target))
            return true;
        if (found(systemRoot + QStringLiteral("/system32/") + target))
            return true;
    }

    const QString address = target.trimmed();
    if (address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
        path = target;
        return true;
    }

    if (found(firstUnquoted(systemValue(classes, QStringLiteral("Applications"),
            target + QStringLiteral("/shell/Open/command"), defaultValue))))
        return true;

    if (found(firstUnquoted(settingsFileValue(target, detail.isEmpty() ? defaultValue : detail)))) {
        if (!substitute.isEmpty())
            path = substitute;
        return true;
    }

    if (parts.size() == 5) {
        QString folder = systemValue(parts.at(0), parts.at(1), parts.at(2), parts.at(3));
        // Without the value the file name alone would be looked for at the root.
        if (!folder.isEmpty()) {
            if (!folder.endsWith(separator))
                folder += separator;
            if (found(folder + parts.at(4)))
                return true;
        }
    }

    QString programFiles = qEnvironmentVariable("ProgramFiles");
    const QDir programFilesAsRead(programFiles);
    if (programFiles.endsWith(QLatin1String("(x86)"))) {
        QString parent = QFileInfo(programFiles).path();
        if (!parent.endsWith(u'/'))
            parent += u'/';
        programFiles = parent + QStringLiteral("Program Files");
    }
    if (!programFiles.isEmpty() && programFilesAsRead.exists()) {
        programFiles += separator;
        if (found(programFiles + target))
            return true;
        if (!detail.isEmpty() && found(programFiles + detail))
            return true;
    }

    if (!target.isEmpty() && !detail.isEmpty()) {
        QString server = systemValue(classes, QStringLiteral("CLSID"),
            target + QStringLiteral("/InprocServer32"), defaultValue);
        if (!server.isEmpty()) {
            server = expanded(server.remove(u'"'));
            if (found(QFileInfo(server).absolutePath() + u'/' + detail))
                return true;
        }
    }
    return false;
}
