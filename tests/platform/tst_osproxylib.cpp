#include "mediafixtures.h"
#include "platform/fileuri.h"
#include "platform/osproxylib.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
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

class TestOsProxyLib : public QObject
{
    Q_OBJECT

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
    void fileUriEscapesLikeGLib_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("uri");
        // Expected texts as GLib 2.74's g_filename_to_uri() writes them.
        QTest::newRow("letters, digits, space, non-ASCII")
            << "/azAZ09 ü" << QByteArray("file:///azAZ09%20%C3%BC");
        QTest::newRow("kept") << "/!$&'()*+,-.:=@_~" << QByteArray("file:///!$&'()*+,-.:=@_~");
        QTest::newRow("escaped") << "/%#?\"<>^`{|}\\[];"
                                 << QByteArray(
                                        "file:///%25%23%3F%22%3C%3E%5E%60%7B%7C%7D%5C%5B%5D%3B");
    }
    void fileUriEscapesLikeGLib()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, uri);
        QCOMPARE(fileUri(path), uri);
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
        // A data folder that does not exist yet, and a working folder that must stay clean.
        const QString data = u"trash-"_qs + QString::number(qHash(name));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(data)));
        QVERIFY(QDir().mkpath(u"work"_qs) && QDir::setCurrent(u"work"_qs));
        const QString path = m_dir.filePath(name);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()) && writeFile(path, "rubbish"));
        QCOMPARE(moveToRecycleBin(path), moved);
        QVERIFY(QDir::setCurrent(m_dir.path()) && QDir(u"work"_qs).isEmpty());
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
        QTest::newRow("no size") << "picture" << 0 << "" << 0 << QSize(0, 0) << 1;
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

        QVERIFY(!getShellThumbnail(path, image, QSize(edge, 1)));
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
        QCOMPARE(mode(u"cache/thumbnails"_qs), 0700);
        QCOMPARE(mode(u"cache/thumbnails/"_qs + folder), 0700);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestOsProxyLib)
#include "tst_osproxylib.moc"
