#include "mediafixtures.h"
#include "platform/fileuri.h"
#include "platform/osproxylib.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <sys/stat.h>

using namespace MediaFixtures;

namespace {

// Stands in for a file manager on a private session bus, served from its
// own thread so that the blocking call of the code under test is answered.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown += uris; }
};

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

int permissions(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

class TestOsProxyLib : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void fileUriEscapesLikeGLib_data();
    void fileUriEscapesLikeGLib();
    void expandsEnvironmentVariables_data();
    void expandsEnvironmentVariables();
    void longPathName_data();
    void longPathName();
    void opensWithTheDesktopOpener_data();
    void opensWithTheDesktopOpener();
    void startsExecutablesWithParameters();
    void failsWithoutAnOpener();
    void showsItemThroughTheFileManager();
    void showsFolderWithoutAFileManager();
    void movesToTrash_data();
    void movesToTrash();
    void refusesControlCharactersInTrashedNames();
    void thumbnailCacheLifecycle();
    void makesAndStoresThumbnails_data();
    void makesAndStoresThumbnails();
    void reusesOnlyCurrentThumbnails_data();
    void reusesOnlyCurrentThumbnails();
    void thumbnailsOfVideos();
    void dllDirectoryScopeRestores();
    void bringsMinimisedWidgetToFront();

private:
    QString opened() const;
    QString makePicture(const QString &name, int width, int height, Qt::GlobalColor color);

    QTemporaryDir m_dir;
    QByteArray m_path;
    QString m_log;
    QProcess m_bus;
    QThread m_busThread;
    FakeFileManager *m_fileManager = nullptr;
};

void TestOsProxyLib::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_path = qgetenv("PATH");
    m_log = m_dir.filePath(QStringLiteral("opener.log"));
    const QString bin = m_dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(writeFile(bin + QStringLiteral("/xdg-open"),
        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> \"" + m_log.toUtf8()
            + "\"\n"));
    QVERIFY(QFile::setPermissions(
        bin + QStringLiteral("/xdg-open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", QFile::encodeName(bin) + ':' + m_path);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("cache"))));

    // A private session bus; without dbus-daemon the bus address leads nowhere.
    m_bus.start(QStringLiteral("dbus-daemon"),
        { QStringLiteral("--session"), QStringLiteral("--nofork"),
            QStringLiteral("--print-address=1") });
    QByteArray address = "unix:path=" + QFile::encodeName(m_dir.filePath(QStringLiteral("no-bus")));
    if (m_bus.waitForStarted(5000) && m_bus.waitForReadyRead(5000))
        address = m_bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
}

void TestOsProxyLib::cleanupTestCase()
{
    m_busThread.quit();
    m_busThread.wait();
    delete m_fileManager;
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }
}

void TestOsProxyLib::init()
{
    QFile::remove(m_log);
}

QString TestOsProxyLib::opened() const
{
    // The opener runs detached; wait for what it records.
    for (int i = 0; i < 100 && !QFileInfo::exists(m_log); ++i)
        QTest::qWait(50);
    QTest::qWait(50);
    return readAll(m_log);
}

QString TestOsProxyLib::makePicture(
    const QString &name, int width, int height, Qt::GlobalColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    const QString path = m_dir.filePath(name);
    return image.save(path, "png") ? path : QString();
}

void TestOsProxyLib::fileUriEscapesLikeGLib_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("uri");

    // Expected texts as GLib 2.74's g_filename_to_uri() writes them.
    QTest::newRow("space") << "/a b" << QByteArray("file:///a%20b");
    QTest::newRow("brackets and semicolon") << "/x[1];y" << QByteArray("file:///x%5B1%5D%3By");
    QTest::newRow("non-ASCII") << "/ü" << QByteArray("file:///%C3%BC");
    QTest::newRow("kept punctuation")
        << "/!$&'()*+,-.:=@_~" << QByteArray("file:///!$&'()*+,-.:=@_~");
    QTest::newRow("escaped punctuation")
        << "/%#?\"<>^`{|}\\" << QByteArray("file:///%25%23%3F%22%3C%3E%5E%60%7B%7C%7D%5C");
}

void TestOsProxyLib::fileUriEscapesLikeGLib()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, uri);
    QCOMPARE(fileUri(path), uri);
}

void TestOsProxyLib::expandsEnvironmentVariables_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("folder then file") << "%ZPVT_WINDIR%\\notepad.exe"
                                      << "/opt/win\\notepad.exe";
    QTest::newRow("unset stays") << "%ZPVT_UNSET%\\x"
                                 << "%ZPVT_UNSET%\\x";
    QTest::newRow("empty value stays") << "%ZPVT_EMPTY%/x"
                                       << "%ZPVT_EMPTY%/x";
    QTest::newRow("single trailing percent") << "C:/tools/50%"
                                             << "C:/tools/50%";
    QTest::newRow("case-sensitive") << "%zpvt_windir%"
                                    << "%zpvt_windir%";
    QTest::newRow("every occurrence") << "%ZPVT_WINDIR%;%ZPVT_WINDIR%"
                                      << "/opt/win;/opt/win";
    QTest::newRow("two names") << "%ZPVT_WINDIR%%CommonProgramFiles%"
                               << "/opt/win/opt/common";
    QTest::newRow("text between pairs is no name") << "%ZPVT_UNSET%ZPVT_WINDIR%x%"
                                                   << "%ZPVT_UNSET%ZPVT_WINDIR%x%";
}

void TestOsProxyLib::expandsEnvironmentVariables()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    qputenv("ZPVT_WINDIR", "/opt/win");
    qputenv("ZPVT_EMPTY", "");
    qunsetenv("ZPVT_UNSET");
    qputenv("CommonProgramFiles", "/opt/common");
    expandEnvironmentVariables(text);
    QCOMPARE(text, expected);
}

void TestOsProxyLib::longPathName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("expected");

    QDir(m_dir.path()).mkpath(QStringLiteral("real/inner"));
    QFile::link(m_dir.filePath(QStringLiteral("real")), m_dir.filePath(QStringLiteral("link")));
    const QString real
        = QFileInfo(m_dir.filePath(QStringLiteral("real/inner"))).canonicalFilePath();
    QTest::newRow("dots") << m_dir.filePath(QStringLiteral("real/./x/../inner")) << false << "";
    QTest::newRow("parent") << m_dir.filePath(QStringLiteral("real/inner/../inner")) << true
                            << real;
    QTest::newRow("symbolic link") << m_dir.filePath(QStringLiteral("link/inner")) << true << real;
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("nothing")) << false << "";
    QTest::newRow("empty") << "" << false << "";
}

void TestOsProxyLib::longPathName()
{
    QFETCH(QString, path);
    QFETCH(bool, found);
    QFETCH(QString, expected);
    QString got = QStringLiteral("previous");
    QCOMPARE(getLongPathName(path, got), found);
    QCOMPARE(got, expected);
}

void TestOsProxyLib::opensWithTheDesktopOpener_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");

    const QString page = QStringLiteral("https://example.com/signup/a?b=c&d=%2F#top");
    QTest::newRow("web address as given") << false << page << page;
    QTest::newRow("file") << false << m_dir.filePath(QStringLiteral("a b.jpg"))
                          << m_dir.filePath(QStringLiteral("a b.jpg"));
    QTest::newRow("edit") << true << m_dir.filePath(QStringLiteral("c.png"))
                          << m_dir.filePath(QStringLiteral("c.png"));
    QTest::newRow("leading dash is no option")
        << false << "--version" << QDir::current().absoluteFilePath(QStringLiteral("--version"));
}

void TestOsProxyLib::opensWithTheDesktopOpener()
{
    QFETCH(bool, edit);
    QFETCH(QString, target);
    QFETCH(QString, expected);
    QVERIFY(edit ? editWithShell(target) : openWithShell(target, 0, QString()));
    QCOMPARE(opened(), expected + u'\n');
}

void TestOsProxyLib::startsExecutablesWithParameters()
{
    const QString tool = m_dir.filePath(QStringLiteral("tool.sh"));
    QVERIFY(writeFile(tool,
        "#!/bin/sh\nfor a in \"$@\"; do printf '<%s>' \"$a\"; done > \"" + m_log.toUtf8()
            + "\"\n"));
    QVERIFY(QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(openWithShell(tool, 0, QStringLiteral("-x \"two words\" 3")));
    QCOMPARE(opened(), QStringLiteral("<-x><two words><3>"));
}

void TestOsProxyLib::failsWithoutAnOpener()
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir.filePath(QStringLiteral("empty-bin"))));
    const bool opened = openWithShell(QStringLiteral("https://example.com/"), 0, QString());
    const bool edited = editWithShell(m_dir.filePath(QStringLiteral("x.jpg")));
    qputenv("PATH", path);
    QVERIFY(!opened);
    QVERIFY(!edited);
    QVERIFY(!openWithShell(QString(), 0, QString()));
}

void TestOsProxyLib::showsItemThroughTheFileManager()
{
    if (m_bus.state() != QProcess::Running)
        QSKIP("dbus-daemon is not available");
    m_fileManager = new FakeFileManager;
    m_fileManager->moveToThread(&m_busThread);
    m_busThread.start();
    QDBusConnection service = QDBusConnection::connectToBus(
        QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS")), QStringLiteral("file-manager"));
    QVERIFY(service.isConnected());
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), m_fileManager,
        QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    const QString file = makePicture(QStringLiteral("shown [1].png"), 4, 4, Qt::red);
    QVERIFY(showInExplorer(file));
    // The call blocks until the file manager has answered.
    QStringList shown;
    QMetaObject::invokeMethod(
        m_fileManager, [&] { shown = m_fileManager->shown; }, Qt::BlockingQueuedConnection);
    QCOMPARE(shown, QStringList { QString::fromLatin1(fileUri(file)) });
    QVERIFY(!QFileInfo::exists(m_log));

    QVERIFY(service.unregisterService(QStringLiteral("org.freedesktop.FileManager1")));
    QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
}

void TestOsProxyLib::showsFolderWithoutAFileManager()
{
    const QString file = makePicture(QStringLiteral("shown.png"), 4, 4, Qt::red);
    QVERIFY(showInExplorer(file));
    QCOMPARE(opened(), m_dir.path() + u'\n');
    QVERIFY(!showInExplorer(m_dir.filePath(QStringLiteral("missing.png"))));
}

void TestOsProxyLib::movesToTrash_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "trash me.txt";
    QTest::newRow("longer than 259") << QString(QStringLiteral("d")).repeated(120) + u'/'
            + QString(QStringLiteral("f")).repeated(150);
}

void TestOsProxyLib::movesToTrash()
{
    QFETCH(QString, name);
    // A data folder that does not exist yet, and a working folder that must stay clean.
    const QString data
        = m_dir.filePath(QStringLiteral("trashdata-") + QString::number(qHash(name)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    const QString work = m_dir.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(work));
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work));

    const QString path = m_dir.filePath(name);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QVERIFY(writeFile(path, "rubbish"));
    const bool moved = moveToRecycleBin(path);
    QDir::setCurrent(before);
    QVERIFY(moved);
    QVERIFY(!QFileInfo::exists(path));
    const QString base = QFileInfo(path).fileName();
    QCOMPARE(readAll(data + QStringLiteral("/Trash/files/") + base), QStringLiteral("rubbish"));
    QVERIFY(QFileInfo::exists(
        data + QStringLiteral("/Trash/info/") + base + QStringLiteral(".trashinfo")));
    QVERIFY(QDir(work).isEmpty());
    QVERIFY(!moveToRecycleBin(path));
}

void TestOsProxyLib::refusesControlCharactersInTrashedNames()
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("trashcc"))));
    const QString path = m_dir.filePath(QStringLiteral("evil\nPath=x"));
    QVERIFY(writeFile(path, "x"));
    QVERIFY(!moveToRecycleBin(path));
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("trashcc/Trash/info"))));
}

void TestOsProxyLib::thumbnailCacheLifecycle()
{
    const QString picture = makePicture(QStringLiteral("life.png"), 20, 10, Qt::blue);
    QImage image;
    QVERIFY(!getShellThumbnail(picture, image, QSize(64, 64)));
    QVERIFY(initThumbnailCache());
    QVERIFY(!initThumbnailCache());
    QVERIFY(getShellThumbnail(picture, image, QSize(64, 64)));
    QVERIFY(
        !getShellThumbnail(m_dir.filePath(QStringLiteral("missing.png")), image, QSize(64, 64)));
    QVERIFY(!getShellThumbnail(picture, image, QSize(0, 64)));
    releaseThumbnailCache();
    QVERIFY(!getShellThumbnail(picture, image, QSize(64, 64)));
}

void TestOsProxyLib::makesAndStoresThumbnails_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("storedWidth");
    QTest::addColumn<QSize>("returned");

    QTest::newRow("100") << 100 << "normal" << 128 << QSize(100, 67);
    QTest::newRow("128") << 128 << "normal" << 128 << QSize(128, 85);
    QTest::newRow("129") << 129 << "large" << 256 << QSize(129, 86);
    QTest::newRow("512") << 512 << "x-large" << 512 << QSize(512, 341);
    QTest::newRow("600") << 600 << "xx-large" << 1024 << QSize(600, 400);
    QTest::newRow("2000, never enlarged") << 2000 << "xx-large" << 1024 << QSize(1024, 683);
}

void TestOsProxyLib::makesAndStoresThumbnails()
{
    QFETCH(int, edge);
    QFETCH(QString, folder);
    QFETCH(int, storedWidth);
    QFETCH(QSize, returned);

    QVERIFY(!m_dir.path().contains(QRegularExpression(QStringLiteral("[^A-Za-z0-9/._-]"))));
    const QString picture = makePicture(QStringLiteral("a [b];c #1%.png"), 1500, 1000, Qt::green);
    QVERIFY(initThumbnailCache());
    QImage image;
    const bool made = getShellThumbnail(picture, image, QSize(edge, 1));
    releaseThumbnailCache();
    QVERIFY(made);
    QCOMPARE(image.width(), returned.width());
    QVERIFY(qAbs(image.height() - returned.height()) <= 1); // 3:2 kept

    const QByteArray uri
        = "file://" + QFile::encodeName(m_dir.path()) + "/a%20%5Bb%5D%3Bc%20%231%25.png";
    const QString root = m_dir.filePath(QStringLiteral("cache/thumbnails"));
    const QString stored = root + u'/' + folder + u'/'
        + QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex())
        + QStringLiteral(".png");
    const QImage thumbnail(stored, "png");
    QVERIFY2(!thumbnail.isNull(), qPrintable(stored));
    QCOMPARE(thumbnail.text(QStringLiteral("Thumb::URI")).toUtf8(), uri);
    QCOMPARE(thumbnail.text(QStringLiteral("Thumb::MTime")),
        QString::number(QFileInfo(picture).lastModified().toSecsSinceEpoch()));
    QCOMPARE(thumbnail.width(), storedWidth);
    QCOMPARE(permissions(stored), 0600);
    QCOMPARE(permissions(root), 0700);
    QCOMPARE(permissions(root + u'/' + folder), 0700);
}

void TestOsProxyLib::reusesOnlyCurrentThumbnails_data()
{
    QTest::addColumn<qint64>("mtimeShift");
    QTest::addColumn<bool>("reused");
    QTest::newRow("current") << qint64(0) << true;
    QTest::newRow("file changed since") << qint64(-10) << false;
}

void TestOsProxyLib::reusesOnlyCurrentThumbnails()
{
    QFETCH(qint64, mtimeShift);
    QFETCH(bool, reused);

    const QString picture = makePicture(QStringLiteral("reuse.png"), 300, 200, Qt::green);
    const QByteArray uri = fileUri(picture);
    const QString folder = m_dir.filePath(QStringLiteral("cache/thumbnails/large"));
    QVERIFY(QDir().mkpath(folder));
    QImage planted(256, 170, QImage::Format_RGB32);
    planted.fill(Qt::red);
    planted.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(uri));
    planted.setText(QStringLiteral("Thumb::MTime"),
        QString::number(QFileInfo(picture).lastModified().toSecsSinceEpoch() + mtimeShift));
    const QString stored = folder + u'/'
        + QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex())
        + QStringLiteral(".png");
    QVERIFY(planted.save(stored, "png"));

    QVERIFY(initThumbnailCache());
    QImage image;
    // A normal-size request may use the larger one.
    const bool got = getShellThumbnail(picture, image, QSize(100, 100));
    releaseThumbnailCache();
    QVERIFY(got);
    QCOMPARE(image.width(), 100);
    QCOMPARE(image.pixelColor(50, 30) == QColor(Qt::red), reused);
}

void TestOsProxyLib::thumbnailsOfVideos()
{
    const QString clip = m_dir.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(makeClip(clip, 3));
    const QString text = m_dir.filePath(QStringLiteral("words.mp4"));
    QVERIFY(writeFile(text, "no pictures in here"));
    QVERIFY(initThumbnailCache());
    QImage image;
    QImage none;
    const bool made = getShellThumbnail(clip, image, QSize(128, 128));
    const bool madeFromText = getShellThumbnail(text, none, QSize(128, 128));
    releaseThumbnailCache();
    QVERIFY(made);
    QVERIFY(!madeFromText);
    QCOMPARE(image.size(), QSize(64, 48)); // never enlarged
    // The test pattern has colour bars: more than one colour.
    QVERIFY(image.pixel(2, 2) != image.pixel(60, 2) || image.pixel(2, 2) != image.pixel(2, 45));
    const QString stored = m_dir.filePath(QStringLiteral("cache/thumbnails/normal/"))
        + QString::fromLatin1(
            QCryptographicHash::hash(fileUri(clip), QCryptographicHash::Md5).toHex())
        + QStringLiteral(".png");
    QVERIFY(QFileInfo::exists(stored));
}

void TestOsProxyLib::dllDirectoryScopeRestores()
{
    QVERIFY(setDllDirectory(m_dir.path()));
    QVERIFY(!setDllDirectory(m_dir.filePath(QStringLiteral("missing"))));
    QCOMPARE(dllDirectory(), m_dir.path());
    {
        DllDirectoryScope scope(m_dir.filePath(QStringLiteral("bin/xdg-open")));
        QCOMPARE(dllDirectory(), m_dir.filePath(QStringLiteral("bin")));
    }
    QCOMPARE(dllDirectory(), m_dir.path());
    QVERIFY(setDllDirectory(QString()));
    QVERIFY(dllDirectory().isEmpty());
}

void TestOsProxyLib::bringsMinimisedWidgetToFront()
{
    QWidget widget;
    widget.showMinimized();
    QVERIFY(bringToFront(&widget));
    QVERIFY(widget.isVisible());
    QVERIFY(!(widget.windowState() & Qt::WindowMinimized));
    QObject plain;
    QVERIFY(!bringToFront(&plain));
    QVERIFY(!bringToFront(nullptr));
}

QTEST_MAIN(TestOsProxyLib)
#include "tst_osproxylib.moc"
