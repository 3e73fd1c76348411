// Launch recipes resolved against system-wide settings kept as INI files of
// the test's own, files under a temporary folder and the environment.
#include "platform/launchpath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {

const char *const variables[] = { "SystemRoot", "ProgramFiles", "ZPV_LAUNCH_ROOT" };
const QString clsid = QStringLiteral("{0C7A58E2-4F1B-4F0E-9C11-5B7E2D3A9F01}");

} // namespace

class TestLaunchPath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void resolves_data();
    void resolves();

private:
    QString expand(QString text) const
    {
        return text.replace(u"{root}"_qs, m_root->path())
            .replace(u"{app}"_qs, QCoreApplication::applicationDirPath());
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QHash<QByteArray, QByteArray> m_environment;
    QStringList m_madeBesideHost;
};

void TestLaunchPath::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    for (const char *name : variables) {
        if (qEnvironmentVariableIsSet(name))
            m_environment.insert(name, qgetenv(name));
        qunsetenv(name);
    }
    QSettings::setPath(
        QSettings::NativeFormat, QSettings::SystemScope, m_root->filePath(u"system"_qs));
}

void TestLaunchPath::cleanup()
{
    for (const char *name : variables)
        qunsetenv(name);
    for (auto it = m_environment.cbegin(); it != m_environment.cend(); ++it)
        qputenv(it.key().constData(), it.value());
    m_environment.clear();
    for (const QString &path : std::as_const(m_madeBesideHost))
        QFile::remove(path);
    m_madeBesideHost.clear();
    m_root.reset();
}

void TestLaunchPath::resolves_data()
{
    // settings: "organisation|application|group|name|value", system scope; an
    // organisation that is a path names a settings file instead.
    // files: made empty; a trailing "/" makes a folder, "fifo:" a named pipe.
    // environment: "NAME=value".
    // {root} is the test's folder, {app} the folder of the test program.
    QTest::addColumn<QString>("recipe");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<bool>("resolved");
    QTest::addColumn<QString>("path");

    const QString prog = u"{root}/bin/prog"_qs;
    const QStringList progFile { prog };

    QTest::newRow("beside the host") << u"zpv-launch-test.bin"_qs << QStringList()
                                     << QStringList { u"{app}/zpv-launch-test.bin"_qs }
                                     << QStringList() << true << u"{app}/zpv-launch-test.bin"_qs;
    QTest::newRow("four parts: the host folder itself")
        << u"a(!)b(!)c(!)d"_qs << QStringList() << QStringList() << QStringList() << true
        << u"{app}/"_qs;
    QTest::newRow("App Paths, expanded")
        << u"prog.exe"_qs
        << QStringList { u"Microsoft|Windows|CurrentVersion/App Paths/prog.exe|Default|%ZPV_LAUNCH_ROOT%/bin/prog"_qs }
        << progFile << QStringList { u"ZPV_LAUNCH_ROOT={root}"_qs } << true << prog;
    QTest::newRow("COM local server, unquoted")
        << clsid
        << QStringList { u"Classes|CLSID|"_qs + clsid
               + u"/LocalServer32|Default|\"{root}/bin/prog\""_qs }
        << progFile << QStringList() << true << prog;
    QTest::newRow("Windows folder")
        << u"prog.exe"_qs << QStringList() << QStringList { u"{root}/win/prog.exe"_qs }
        << QStringList { u"SystemRoot={root}/win"_qs } << true << u"{root}/win/prog.exe"_qs;
    QTest::newRow("system folder")
        << u"prog.exe"_qs << QStringList() << QStringList { u"{root}/win/system32/prog.exe"_qs }
        << QStringList { u"SystemRoot={root}/win"_qs } << true
        << u"{root}/win/system32/prog.exe"_qs;
    QTest::newRow("web address exactly as written")
        << u"  HTTPS://Example.COM/Share "_qs << QStringList() << QStringList() << QStringList()
        << true << u"  HTTPS://Example.COM/Share "_qs;
    QTest::newRow("SystemRoot without the program: search goes on")
        << u"http://example.com"_qs << QStringList() << QStringList { u"{root}/win/"_qs }
        << QStringList { u"SystemRoot={root}/win"_qs } << true << u"http://example.com"_qs;
    QTest::newRow("registered application, quoted command")
        << u"prog.exe"_qs
        << QStringList { u"Classes|Applications|prog.exe/shell/Open/command|Default|\"{root}/bin/prog\" \"%1\""_qs }
        << progFile << QStringList() << true << prog;
    QTest::newRow("registered application, unquoted command")
        << u"prog.exe"_qs
        << QStringList { u"Classes|Applications|prog.exe/shell/Open/command|Default|{root}/bin/prog %1"_qs }
        << progFile << QStringList() << false << QString();
    QTest::newRow("settings file: the substitute is returned")
        << u"launcher(!){root}/keys.ini(!)InstallPath"_qs
        << QStringList { u"{root}/keys.ini|||InstallPath|\"{root}/bin/prog\" -x"_qs } << progFile
        << QStringList() << true << u"launcher"_qs;
    QTest::newRow("settings file: default value")
        << u"{root}/keys.ini"_qs << QStringList { u"{root}/keys.ini|||Default|{root}/bin/prog"_qs }
        << progFile << QStringList() << true << prog;
    QTest::newRow("a pipe is no settings file")
        << u"{root}/pipe"_qs << QStringList() << QStringList { u"fifo:{root}/pipe"_qs }
        << QStringList() << false << QString();
    QTest::newRow("five parts") << u"Vendor(!)Suite(!)Install(!)Path(!)prog"_qs
                                << QStringList { u"Vendor|Suite|Install|Path|{root}/bin"_qs }
                                << progFile << QStringList() << true << prog;
    QTest::newRow("five parts without the value: no path at the root")
        << u"a(!)b(!)c(!)d(!)tmp"_qs << QStringList() << QStringList() << QStringList() << false
        << QString();
    QTest::newRow("program files")
        << u"prog"_qs << QStringList() << QStringList { u"{root}/pf/prog"_qs }
        << QStringList { u"ProgramFiles={root}/pf"_qs } << true << u"{root}/pf/prog"_qs;
    QTest::newRow("program files (x86): the folder beside")
        << u"prog"_qs << QStringList()
        << QStringList { u"{root}/Program Files (x86)/"_qs, u"{root}/Program Files/prog"_qs }
        << QStringList { u"ProgramFiles={root}/Program Files (x86)"_qs } << true
        << u"{root}/Program Files/prog"_qs;
    QTest::newRow("program files (x86) missing")
        << u"prog"_qs << QStringList() << QStringList { u"{root}/Program Files/prog"_qs }
        << QStringList { u"ProgramFiles={root}/Program Files (x86)"_qs } << false << QString();
    QTest::newRow("COM in-process server's folder")
        << clsid + u"(!)helper.exe"_qs
        << QStringList { u"Classes|CLSID|"_qs + clsid
               + u"/InprocServer32|Default|\"%ZPV_LAUNCH_ROOT%/lib/x.dll\""_qs }
        << QStringList { u"{root}/lib/helper.exe"_qs }
        << QStringList { u"ZPV_LAUNCH_ROOT={root}"_qs } << true << u"{root}/lib/helper.exe"_qs;
    QTest::newRow("empty recipe leaves the path")
        << QString() << QStringList() << QStringList() << QStringList() << false << u"kept"_qs;
}

void TestLaunchPath::resolves()
{
    QFETCH(QString, recipe);
    QFETCH(QStringList, settings);
    QFETCH(QStringList, files);
    QFETCH(QStringList, environment);
    QFETCH(bool, resolved);
    QFETCH(QString, path);

    for (const QString &entry : std::as_const(settings)) {
        const QStringList f = expand(entry).split(u'|');
        QCOMPARE(f.size(), 5);
        auto store = f.at(0).startsWith(u'/')
            ? std::make_unique<QSettings>(f.at(0), QSettings::IniFormat)
            : std::make_unique<QSettings>(QSettings::SystemScope, f.at(0), f.at(1));
        store->beginGroup(f.at(2));
        store->setValue(f.at(3), f.at(4));
        store->sync();
        QCOMPARE(store->status(), QSettings::NoError);
    }
    for (const QString &entry : std::as_const(files)) {
        const QString file = expand(entry);
        if (file.startsWith(u"fifo:")) {
            // Opening it would wait for a writer for ever.
            QCOMPARE(::mkfifo(QFile::encodeName(file.mid(5)).constData(), 0600), 0);
            continue;
        }
        if (file.endsWith(u'/')) {
            QVERIFY(QDir().mkpath(file));
            continue;
        }
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QFile out(file);
        QVERIFY2(out.open(QIODevice::WriteOnly), qPrintable(file));
        if (!file.startsWith(m_root->path()))
            m_madeBesideHost << file;
    }
    for (const QString &entry : std::as_const(environment)) {
        const qsizetype eq = entry.indexOf(u'=');
        qputenv(
            entry.left(eq).toLatin1().constData(), QFile::encodeName(expand(entry.mid(eq + 1))));
    }

    QString out = u"kept"_qs;
    QCOMPARE(resolveLaunchPath(expand(recipe), out), resolved);
    QCOMPARE(out, expand(path));
}

QTEST_GUILESS_MAIN(TestLaunchPath)
#include "tst_launchpath.moc"
