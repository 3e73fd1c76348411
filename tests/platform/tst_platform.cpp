// Small platform services: the XML guard, the hash peers compare, file URIs,
// the opener, and launch recipes resolved against system-wide
// settings kept as INI files of the test's own.
#include "mediafixtures.h"
#include "platform/fileuri.h"
#include "platform/launchpath.h"
#include "platform/osproxylib.h"
#include "platform/sharedhelpers.h"
#include "platform/xmlguard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QDomDocument>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace MediaFixtures;

namespace {

// Paths are relative to the test's folder, the working folder.
QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

int mode(const QString &path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return int(st.st_mode & 0777);
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

    static QString nested(int depth)
    {
        return u"<a>"_qs.repeated(depth) + u"</a>"_qs.repeated(depth);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // An opener that records its arguments, one a line; it also stands in
        // for a program started directly.
        const QString opener = m_dir.filePath(u"bin/xdg-open"_qs);
        QVERIFY(QDir().mkpath(m_dir.filePath(u"bin"_qs)));
        QVERIFY(writeFile(opener, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done >> log\n"));
        QVERIFY(QFile::setPermissions(opener, QFile::ReadOwner | QFile::ExeOwner));
        qputenv("PATH", QFile::encodeName(m_dir.filePath(u"bin"_qs)) + ':' + qgetenv("PATH"));
        // No file manager to ask: the opener shows the folder.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void fileUriEscapesLikeGLib()
    {
        // Expected texts as GLib 2.74's g_filename_to_uri() writes them.
        QCOMPARE(
            fileUri(u"/azAZ09 ü!$&'()*+,-.:=@_~"_qs), "file:///azAZ09%20%C3%BC!$&'()*+,-.:=@_~");
        QCOMPARE(fileUri(u"/%#?\"<>^`{|}\\[];"_qs),
            "file:///%25%23%3F%22%3C%3E%5E%60%7B%7C%7D%5C%5B%5D%3B");
    }
    void opens()
    {
        // xdg-open would take a leading dash for an option; a program is
        // started with its parameters split as a shell would; the folder is
        // shown when no file manager answers.
        const QString opener = m_dir.filePath(u"bin/xdg-open"_qs);
        QVERIFY(openWithShell(u"--version"_qs, 0, QString()));
        QTRY_COMPARE(readAll(u"log"_qs), m_dir.filePath(u"--version\n"_qs));
        QVERIFY(QFile::remove(u"log"_qs) && openWithShell(opener, 0, u"-x \"two words\" 3"_qs));
        QTRY_COMPARE(readAll(u"log"_qs), u"-x\ntwo words\n3\n"_qs);
        QVERIFY(QFile::remove(u"log"_qs) && showInExplorer(opener));
        QTRY_COMPARE(readAll(u"log"_qs), m_dir.filePath(u"bin\n"_qs));
        // No opener: a failure, not a success.
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        const bool opened = openWithShell(u"https://example.com/"_qs, 0, QString());
        qputenv("PATH", path);
        QVERIFY(!opened && !editWithShell(QString()));
    }
    void hashesLikePeers()
    {
        // Digests from Python's hashlib over the Latin-1 bytes, cut at a zero.
        QCOMPARE(hashString(u"été"_qs), u"70b06e3087350c8c4fc3f13e741879f3"_qs);
        QCOMPARE(hashString(u"日"_qs), u"d1457b72c3fb323a2671125aef3eab5d"_qs);
        QCOMPARE(
            hashString(QString::fromLatin1("abc\0def", 7)), u"900150983cd24fb0d6963f7d28e17f72"_qs);
    }
    void guard_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("root"); // empty: refused, or left to the parser to refuse
        const auto sized = [](qsizetype size) -> QString {
            return u"<r>"_qs + QString(size - 7, u'x') + u"</r>"_qs;
        };
        QTest::newRow("depth 32") << nested(32) << u"a"_qs;
        QTest::newRow("depth 33") << nested(33) << u""_qs;
        QTest::newRow("depth 32 twice side by side")
            << u"<r>"_qs + nested(31) + nested(31) + u"</r>"_qs << u"r"_qs;
        QTest::newRow("depth 200000") << nested(200000) << u""_qs;
        QTest::newRow("entity bomb") << u"<!DOCTYPE r [<!ENTITY e \""_qs + QString(3000, u'x')
                + u"\">]><r>"_qs + u"&e;"_qs.repeated(50000)
                + u"</r>"_qs << u""_qs;
        QTest::newRow("internal subset without entities")
            << u"<!DOCTYPE r [<!ELEMENT r ANY>]><r/>"_qs << u""_qs;
        QTest::newRow("1 MiB") << sized(1024 * 1024) << u"r"_qs;
        QTest::newRow("1 MiB + 1") << sized(1024 * 1024 + 1) << u""_qs;
        QTest::newRow("malformed") << u"<r><c></r>"_qs << u""_qs;
    }
    void guard()
    {
        QFETCH(QString, text);
        QFETCH(QString, root);
        // Text not well formed passes, so the parser says what is wrong in its own words.
        const bool malformed = QTest::currentDataTag() == QByteArray("malformed");
        QString expected = xmlGuardRefusal(text);
        QCOMPARE(expected.isEmpty(), !root.isEmpty() || malformed);
        if (malformed)
            QDomDocument().setContent(text, &expected);
        QDomDocument doc;
        QString message;
        QCOMPARE(setGuardedContent(doc, text, &message), !root.isEmpty());
        QCOMPARE(message, expected);
        if (!malformed) // a refused text leaves nothing behind
            QCOMPARE(doc.documentElement().tagName(), root);
    }
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
    }
    void resolves()
    {
        QFETCH(QString, recipe);
        QFETCH(QString, settings);
        QFETCH(QStringList, files);
        QFETCH(QString, environment);
        QFETCH(QString, path);

        QTemporaryDir root;
        const auto expand = [&root](QString text) {
            return text.replace(u"{root}"_qs, root.path());
        };
        QSettings::setPath(
            QSettings::NativeFormat, QSettings::SystemScope, root.filePath(u"system"_qs));
        for (const char *name : { "SystemRoot", "ProgramFiles", "ZPV_LAUNCH_ROOT" })
            qunsetenv(name);
        if (const QStringList f = expand(settings).split(u'|'); f.size() == 5)
            QSettings(f.at(0).startsWith(u'/')
                    ? f.at(0)
                    : root.filePath(u"system/"_qs + f.at(0) + u'/' + f.at(1) + u".conf"_qs),
                QSettings::IniFormat)
                .setValue(f.at(2) + u'/' + f.at(3), f.at(4));
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

    void movesToTrash_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("moved");
        QTest::newRow("plain") << "trash me.txt" << true;
        QTest::newRow("longer than 259") << QString(120, u'd') + u'/' + QString(150, u'f') << true;
        // A newline would add a line to the trash record.
        QTest::newRow("control character") << "evil\nPath=x" << false;
    }
    void movesToTrash()
    {
        QFETCH(QString, name);
        QFETCH(bool, moved);
        const QString data = u"trash-"_qs + QString::number(qHash(name));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(data)));
        const QString path = m_dir.filePath(name);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()) && writeFile(path, "rubbish"));
        QCOMPARE(moveToRecycleBin(path), moved);
        QCOMPARE(QFileInfo::exists(path), !moved);
        const QString base = QFileInfo(path).fileName();
        QCOMPARE(readAll(data + u"/Trash/files/"_qs + base), moved ? u"rubbish"_qs : QString());
        QCOMPARE(QFileInfo::exists(data + u"/Trash/info/"_qs + base + u".trashinfo"_qs), moved);
        QVERIFY(!moveToRecycleBin(path)); // gone, or still refused
    }
    void thumbnails_data()
    {
        QTest::addColumn<QString>("source"); // a 1500x1000 picture, a 64x48 clip or a text
        QTest::addColumn<int>("edge");
        QTest::addColumn<QString>("folder"); // where it is kept; empty: no thumbnail
        QTest::addColumn<int>("width"); // kept
        QTest::addColumn<QSize>("size"); // returned
        // A red one planted in "large", made that many seconds off; 1: none.
        QTest::addColumn<int>("planted");
        QTest::newRow("128") << "picture" << 128 << "normal" << 128 << QSize(128, 85) << 1;
        QTest::newRow("2000, never enlarged")
            << "picture" << 2000 << "xx-large" << 1024 << QSize(1024, 683) << 1;
        QTest::newRow("video frame") << "clip" << 128 << "normal" << 64 << QSize(64, 48) << 1;
        QTest::newRow("no picture in a text") << "text" << 128 << "" << 0 << QSize(0, 0) << 1;
        // A normal-size request may take a larger one, if made for the file as it is.
        QTest::newRow("current larger one")
            << "picture" << 100 << "large" << 256 << QSize(100, 67) << 0;
        QTest::newRow("outdated larger one")
            << "picture" << 100 << "normal" << 128 << QSize(100, 67) << -10;
    }
    void thumbnails()
    {
        QFETCH(QString, source);
        QFETCH(int, edge);
        QFETCH(QString, folder);
        QFETCH(int, width);
        QFETCH(QSize, size);
        QFETCH(int, planted);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.filePath(u"cache"_qs)));
        QDir(u"cache"_qs).removeRecursively();
        const QString path = m_dir.filePath(source + u" [b];c #1%.x"_qs);
        QImage image(1500, 1000, QImage::Format_RGB32);
        image.fill(Qt::green);
        if (!QFileInfo::exists(path))
            QVERIFY(source == u"picture" ? image.save(path, "png")
                    : source == u"clip"
                    ? makeClip(path + u".mp4"_qs, 3) && QFile::rename(path + u".mp4"_qs, path)
                    : writeFile(path, "no pictures in here"));
        const QString name = QString::fromLatin1(
            QCryptographicHash::hash(fileUri(path), QCryptographicHash::Md5).toHex() + ".png");
        if (planted != 1) {
            image = QImage(256, 170, QImage::Format_RGB32);
            image.fill(Qt::red);
            image.setText(u"Thumb::URI"_qs, QString::fromLatin1(fileUri(path)));
            image.setText(u"Thumb::MTime"_qs,
                QString::number(QFileInfo(path).lastModified().toSecsSinceEpoch() + planted));
            QVERIFY(QDir().mkpath(u"cache/thumbnails/large"_qs));
            QVERIFY(image.save(u"cache/thumbnails/large/"_qs + name, "png"));
        }
        QVERIFY(!getShellThumbnail(path, image, QSize(edge, 1))); // no cache yet
        QVERIFY(initThumbnailCache() && !initThumbnailCache());
        image = QImage();
        const bool made = getShellThumbnail(path, image, QSize(edge, 1));
        releaseThumbnailCache();
        QCOMPARE(made, !folder.isEmpty());
        QCOMPARE(image.width(), size.width());
        QVERIFY(qAbs(image.height() - size.height()) <= 1);
        if (!made)
            return;
        if (source == u"clip") // the test pattern has colour bars: a frame, not a blank
            QVERIFY(image.pixel(2, 2) != image.pixel(60, 2));
        else
            QCOMPARE(image.pixelColor(50, 30), planted == 0 ? QColor(Qt::red) : QColor(Qt::green));
        if (planted == 0)
            return; // the one there was taken
        const QString stored = u"cache/thumbnails/"_qs + folder + u'/' + name;
        const QImage thumbnail(stored, "png");
        QCOMPARE(thumbnail.width(), width);
        QCOMPARE(thumbnail.text(u"Thumb::URI"_qs).toUtf8(), fileUri(path));
        QCOMPARE(thumbnail.text(u"Thumb::MTime"_qs),
            QString::number(QFileInfo(path).lastModified().toSecsSinceEpoch()));
        QCOMPARE(mode(stored), 0600);
        QCOMPARE(mode(u"cache/thumbnails/"_qs + folder), 0700);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
