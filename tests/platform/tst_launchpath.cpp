// Launch recipes resolved against system-wide settings kept as INI files of
// the test's own, files under a temporary folder and the environment.
#include "platform/launchpath.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestLaunchPath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resolves_data()
    {
        // settings: "organisation|application|group|name|value" in the system
        // scope, or "file|||name|value" for a settings file; files: made empty,
        // a trailing "/" makes a folder and "fifo:" a named pipe; environment:
        // "NAME=value". {root} is the test's folder.
        QTest::addColumn<QString>("recipe");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("path"); // empty: not resolved

        const QString clsid = u"{0C7A58E2-4F1B-4F0E-9C11-5B7E2D3A9F01}"_qs;
        const QString prog = u"{root}/bin/prog"_qs;
        const auto row
            = [&](const char *name, const QString &recipe, const QString &settings,
                  const QStringList &files, const QString &environment, const QString &path) {
                  QTest::newRow(name) << recipe << settings << files << environment << path;
              };
        row("App Paths, expanded", u"prog.exe"_qs,
            u"Microsoft|Windows|CurrentVersion/App Paths/prog.exe|Default|%ZPV_LAUNCH_ROOT%/bin/prog"_qs,
            { prog }, u"ZPV_LAUNCH_ROOT={root}"_qs, prog);
        row("web address exactly as written, after SystemRoot", u"  HTTPS://Example.COM/Share "_qs,
            {}, { u"{root}/win/"_qs }, u"SystemRoot={root}/win"_qs,
            u"  HTTPS://Example.COM/Share "_qs);
        row("registered application, quoted command", u"prog.exe"_qs,
            u"Classes|Applications|prog.exe/shell/Open/command|Default|\"{root}/bin/prog\" \"%1\""_qs,
            { prog }, {}, prog);
        row("settings file: the substitute is returned",
            u"launcher(!){root}/keys.ini(!)InstallPath"_qs,
            u"{root}/keys.ini|||InstallPath|\"{root}/bin/prog\" -x"_qs, { prog }, {},
            u"launcher"_qs);
        row("a pipe is no settings file", u"{root}/pipe"_qs, {}, { u"fifo:{root}/pipe"_qs }, {},
            {});
        row("five parts", u"Vendor(!)Suite(!)Install(!)Path(!)prog"_qs,
            u"Vendor|Suite|Install|Path|{root}/bin"_qs, { prog }, {}, prog);
        row("five parts without the value: no path at the root", u"a(!)b(!)c(!)d(!)tmp"_qs, {}, {},
            {}, {});
        row("program files (x86): the folder beside", u"prog"_qs, {},
            { u"{root}/Program Files (x86)/"_qs, u"{root}/Program Files/prog"_qs },
            u"ProgramFiles={root}/Program Files (x86)"_qs, u"{root}/Program Files/prog"_qs);
        row("program files (x86) missing", u"prog"_qs, {}, { u"{root}/Program Files/prog"_qs },
            u"ProgramFiles={root}/Program Files (x86)"_qs, {});
        row("COM in-process server's folder", clsid + u"(!)helper.exe"_qs,
            u"Classes|CLSID|"_qs + clsid
                + u"/InprocServer32|Default|\"%ZPV_LAUNCH_ROOT%/lib/x.dll\""_qs,
            { u"{root}/lib/helper.exe"_qs }, u"ZPV_LAUNCH_ROOT={root}"_qs,
            u"{root}/lib/helper.exe"_qs);
    }
    void resolves()
    {
        QFETCH(QString, recipe);
        QFETCH(QString, settings);
        QFETCH(QStringList, files);
        QFETCH(QString, environment);
        QFETCH(QString, path);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        const auto expand = [&root](QString text) {
            return text.replace(u"{root}"_qs, root.path());
        };
        QSettings::setPath(
            QSettings::NativeFormat, QSettings::SystemScope, root.filePath(u"system"_qs));
        for (const char *name : { "SystemRoot", "ProgramFiles", "ZPV_LAUNCH_ROOT" })
            qunsetenv(name);
        if (!settings.isEmpty()) {
            const QStringList f = expand(settings).split(u'|');
            QSettings store(f.at(0).startsWith(u'/')
                    ? f.at(0)
                    : root.filePath(u"system/"_qs + f.at(0) + u'/' + f.at(1) + u".conf"_qs),
                QSettings::IniFormat);
            store.setValue(f.at(2) + u'/' + f.at(3), f.at(4));
            store.sync();
            QCOMPARE(store.status(), QSettings::NoError);
        }
        for (QString file : std::as_const(files)) {
            file = expand(file);
            if (file.startsWith(u"fifo:")) // opening it would wait for a writer for ever
                QCOMPARE(::mkfifo(QFile::encodeName(file.mid(5)).constData(), 0600), 0);
            else if (QDir().mkpath(QFileInfo(file).path()) && !file.endsWith(u'/'))
                QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        }
        if (!environment.isEmpty())
            qputenv(environment.section(u'=', 0, 0).toLatin1().constData(),
                QFile::encodeName(expand(environment.section(u'=', 1))));

        QString out = u"kept"_qs;
        QCOMPARE(resolveLaunchPath(expand(recipe), out), !path.isEmpty());
        if (!path.isEmpty())
            QCOMPARE(out, expand(path));
    }
};

QTEST_GUILESS_MAIN(TestLaunchPath)
#include "tst_launchpath.moc"
