// Capture folders, the content-type catalogue and next capture names, against
// a home folder and settings stores of the test's own.
#include "catalog/capturefolders.h"
#include "catalog/contenttypeaggregator.h"
#include "catalog/contenttypeinfo.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using IdList = QList<ulong>;

class TestCaptureFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void onReadyPublishesAvailableTypes_data();
    void onReadyPublishesAvailableTypes();
    void staleSettingIsReplaced_data();
    void staleSettingIsReplaced();
    void nextCaptureName_data();
    void nextCaptureName();
    void getContentTypeTouchesOutputOnlyOnSuccess();
    void fallbackLocation_data();
    void fallbackLocation();
    void noLocationCreatesNothing();

private:
    QString home(const QString &relative) const { return m_root->filePath(u"home/"_qs + relative); }
    void installMagix(bool photos, bool videos);
    static QString folderSetting(const char *key);

    std::unique_ptr<QTemporaryDir> m_root;
    QHash<QByteArray, QByteArray> m_environment;
};

void TestCaptureFolders::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    for (const char *name :
        { "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "TMPDIR" })
        m_environment.insert(name, qgetenv(name));
    qputenv("HOME", QFile::encodeName(m_root->filePath(u"home"_qs)));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_root->filePath(u"config"_qs)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_root->filePath(u"data"_qs)));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_root->filePath(u"run"_qs)));
    QVERIFY(QDir().mkpath(home(u"Pictures"_qs)));
    QVERIFY(QDir().mkpath(home(u"Videos"_qs)));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_root->filePath(u"user"_qs));
    QSettings::setPath(
        QSettings::NativeFormat, QSettings::SystemScope, m_root->filePath(u"system"_qs));
}

void TestCaptureFolders::cleanup()
{
    for (auto it = m_environment.cbegin(); it != m_environment.cend(); ++it)
        qputenv(it.key().constData(), it.value());
    m_root.reset();
}

void TestCaptureFolders::installMagix(bool photos, bool videos)
{
    const auto install = [](const QString &application, bool installed) {
        QSettings settings(QSettings::SystemScope, u"MAGIX"_qs, application);
        if (installed)
            settings.setValue(u"ProgramPath"_qs, u"/opt/magix"_qs);
        else
            settings.remove(u"ProgramPath"_qs);
    };
    install(u"Foto_Manager_9"_qs, photos);
    install(u"Video_easy_SE"_qs, videos);
}

QString TestCaptureFolders::folderSetting(const char *key)
{
    const QSettings settings(u"Nobridge"_qs, u"ZPV"_qs);
    return settings.value(u"Preferences/"_qs + QLatin1String(key)).toString();
}

void TestCaptureFolders::onReadyPublishesAvailableTypes_data()
{
    QTest::addColumn<bool>("magixPhotos");
    QTest::addColumn<bool>("magixVideos");
    QTest::addColumn<IdList>("ids");

    QTest::newRow("no outside application") << false << false << IdList { 7, 1, 2, 4 };
    QTest::newRow("outside photos only") << true << false << IdList { 7, 1, 2, 4, 8 };
    QTest::newRow("outside videos only") << false << true << IdList { 7, 1, 2, 4, 16 };
    QTest::newRow("both") << true << true << IdList { 7, 1, 2, 4, 8, 16 };
}

void TestCaptureFolders::onReadyPublishesAvailableTypes()
{
    QFETCH(bool, magixPhotos);
    QFETCH(bool, magixVideos);
    QFETCH(IdList, ids);
    installMagix(magixPhotos, magixVideos);

    ContentTypeAggregator aggregator;
    QSignalSpy spy(&aggregator, &ContentTypeAggregator::addContentType);
    aggregator.onReady();

    const QHash<ulong, QString> names { { 7, u"All"_qs }, { 1, u"Photos"_qs }, { 2, u"Videos"_qs },
        { 4, u"Motion"_qs }, { 8, u"MagixPhotos"_qs }, { 16, u"MagixVideos"_qs } };
    QCOMPARE(spy.size(), ids.size());
    for (int i = 0; i < spy.size(); ++i) {
        const QList<QVariant> &args = spy.at(i);
        QCOMPARE(args.at(3).value<ulong>(), ids.at(i));
        QCOMPARE(args.at(4).value<ulong>(), 0ul);
        QCOMPARE(args.at(0).toString(), names.value(ids.at(i)));
    }
    QCOMPARE(spy.at(0).at(1).toString(), u"All Content"_qs);
    QCOMPARE(spy.at(3).at(1).toString(), u"Motion Videos"_qs);

    // "All" lists every folder, outside ones included, each with its own filters.
    const auto all = spy.at(0).at(2).value<QList<QDir>>();
    const QStringList expectedPaths { home(u"Pictures/Velmora Webcam"_qs),
        home(u"Videos/Velmora Webcam"_qs), home(u"Videos/Velmora Webcam/Motion Detection"_qs),
        home(u"Pictures/Magix"_qs), home(u"Videos/Magix"_qs) };
    QCOMPARE(all.size(), 5);
    for (int i = 0; i < all.size(); ++i)
        QCOMPARE(all.at(i).path(), expectedPaths.at(i));
    QCOMPARE(all.at(0).nameFilters(),
        QStringList({ u"*.jpeg"_qs, u"*.jpg"_qs, u"*.png"_qs, u"*.gif"_qs }));
    QCOMPARE(all.at(2).nameFilters(), QStringList({ u"Motion*.wmv"_qs, u"Motion*.avi"_qs }));
    QCOMPARE(all.at(4).nameFilters(),
        QStringList({ u"Video*.wmv"_qs, u"Video*.avi"_qs, u"Video*.mov"_qs, u"Video*.mp4"_qs }));

    // Defaults are made and stored; the outside folders only exist when installed.
    const char *keys[]
        = { "PhotoFolder", "MovieFolder", "MotionFolder", "MyPhotosFolder", "MyVideosFolder" };
    for (int i = 0; i < 5; ++i)
        QCOMPARE(folderSetting(keys[i]), expectedPaths.at(i));
    for (int i = 0; i < 3; ++i)
        QVERIFY2(QFileInfo(expectedPaths.at(i)).isDir(), qPrintable(expectedPaths.at(i)));
    QCOMPARE(QFileInfo(expectedPaths.at(3)).isDir(), magixPhotos);
    QCOMPARE(QFileInfo(expectedPaths.at(4)).isDir(), magixVideos);
}

void TestCaptureFolders::staleSettingIsReplaced_data()
{
    // The setting names a deleted folder, or one in the runtime folder that
    // goes at logout; the default replaces it (inside a "Pictorix" folder
    // where one exists), is made and stored.
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stale");
    QTest::addColumn<bool>("pictorix");
    QTest::addColumn<QString>("expected");

    const QString deleted = u"deleted"_qs;
    QTest::newRow("photos") << 1 << u"PhotoFolder"_qs << deleted << false
                            << u"Pictures/Velmora Webcam"_qs;
    QTest::newRow("videos") << 2 << u"MovieFolder"_qs << deleted << false
                            << u"Videos/Velmora Webcam"_qs;
    QTest::newRow("motion") << 4 << u"MotionFolder"_qs << deleted << false
                            << u"Videos/Velmora Webcam/Motion Detection"_qs;
    QTest::newRow("Pictorix photos")
        << 1 << u"PhotoFolder"_qs << deleted << true << u"Pictures/Pictorix"_qs;
    QTest::newRow("Pictorix motion, no sub-folder")
        << 4 << u"MotionFolder"_qs << deleted << true << u"Videos/Pictorix"_qs;
    QTest::newRow("videos in the runtime folder")
        << 2 << u"MovieFolder"_qs << u"run/Videos/Velmora Webcam"_qs << false
        << u"Videos/Velmora Webcam"_qs;
}

void TestCaptureFolders::staleSettingIsReplaced()
{
    QFETCH(int, type);
    QFETCH(QString, key);
    QFETCH(QString, stale);
    QFETCH(bool, pictorix);
    QFETCH(QString, expected);

    if (pictorix) {
        QVERIFY(QDir().mkpath(home(u"Pictures/Pictorix"_qs)));
        QVERIFY(QDir().mkpath(home(u"Videos/Pictorix"_qs)));
    }
    const QString kept = m_root->filePath(u"kept"_qs);
    QVERIFY(QDir().mkpath(kept));
    {
        QSettings settings(u"Nobridge"_qs, u"ZPV"_qs);
        settings.beginGroup(u"Preferences"_qs);
        for (const char *other : { "PhotoFolder", "MovieFolder", "MotionFolder" })
            settings.setValue(QLatin1String(other), kept);
        settings.setValue(key, m_root->filePath(stale));
    }
    if (stale != u"deleted")
        QVERIFY(QDir().mkpath(m_root->filePath(stale)));

    QString folder = u"untouched"_qs;
    QVERIFY(captureFolder(folder, type));
    QCOMPARE(folder, home(expected));
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(folderSetting(key.toLatin1().constData()), home(expected));
    // Folders that still exist stay as the user chose them.
    QVERIFY(captureFolder(folder, type == 1 ? 2 : 1));
    QCOMPARE(folder, kept);
}

void TestCaptureFolders::nextCaptureName_data()
{
    // Files made in the capture folder beforehand, the stored counter (0: none),
    // and the name and counter expected.
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<ulong>("stored");

    const auto pictures = [](int from, int to) {
        QStringList names;
        for (int i = from; i <= to; ++i)
            names << u"Picture %1.jpg"_qs.arg(i);
        return names;
    };
    QTest::newRow("after four pictures") << 1 << pictures(1, 4) << 1 << u"Picture 5.jpg"_qs << 5ul;
    QTest::newRow("no counter yet") << 1 << QStringList() << 0 << u"Picture 1.jpg"_qs << 1ul;
    QTest::newRow("counter ahead of files")
        << 1 << pictures(1, 4) << 9 << u"Picture 9.jpg"_qs << 9ul;
    QTest::newRow("video keeps the wildcard")
        << 2 << QStringList { u"Video 7.mp4"_qs } << 7 << u"Video 8.*"_qs << 8ul;
    QTest::newRow("any extension blocks a video")
        << 2 << QStringList { u"Video 1.avi"_qs, u"Video 2.wmv"_qs } << 1 << u"Video 3.*"_qs << 3ul;
    QTest::newRow("motion") << 4 << QStringList { u"Motion 3.avi"_qs } << 3 << u"Motion 4.*"_qs
                            << 4ul;
    QTest::newRow("ten taken, then steps of eleven")
        << 1 << pictures(1, 10) << 1 << u"Picture 21.jpg"_qs << 21ul;
    QTest::newRow("second step of eleven")
        << 1 << (pictures(1, 10) << u"Picture 21.jpg"_qs) << 1 << u"Picture 32.jpg"_qs << 32ul;
    QTest::newRow("a folder blocks the name")
        << 1 << QStringList { u"Picture 1.jpg/"_qs } << 1 << u"Picture 2.jpg"_qs << 2ul;
}

void TestCaptureFolders::nextCaptureName()
{
    QFETCH(int, type);
    QFETCH(QStringList, existing);
    QFETCH(int, counter);
    QFETCH(QString, expected);
    QFETCH(ulong, stored);

    QString folder;
    QVERIFY(captureFolder(folder, type));
    for (const QString &name : std::as_const(existing)) {
        if (name.endsWith(u'/')) {
            QVERIFY(QDir(folder).mkdir(name));
            continue;
        }
        QFile file(folder + u'/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString key = type == 1 ? u"PictureIndex"_qs
        : type == 2               ? u"MovieIndex"_qs
                                  : u"MotionIndex"_qs;
    if (counter > 0) {
        QSettings settings(u"Velmora"_qs, u"ZPV"_qs);
        settings.setValue(u"CaptureCatalog/"_qs + key, counter);
    }

    QString path;
    QString pattern;
    ulong index = 0;
    QVERIFY(nextCaptureFile(path, type, pattern, index));
    QCOMPARE(path, folder + u'/' + expected);
    QCOMPARE(index, stored);
    const QString unformatted = type == 1 ? u"Picture %ld.jpg"_qs
        : type == 2                       ? u"Video %ld.*"_qs
                                          : u"Motion %ld.*"_qs;
    QCOMPARE(pattern, folder + u'/' + unformatted);

    const QSettings counters(u"Velmora"_qs, u"ZPV"_qs);
    QCOMPARE(counters.value(u"CaptureCatalog/"_qs + key).toULongLong(), qulonglong(stored));
    const QSettings folders(u"Nobridge"_qs, u"ZPV"_qs);
    QVERIFY(!folders.contains(u"CaptureCatalog/"_qs + key));
}

void TestCaptureFolders::getContentTypeTouchesOutputOnlyOnSuccess()
{
    ContentTypeAggregator aggregator;
    ContentTypeInfo info;
    info.title = u"before"_qs;
    info.hostList = QStringList { u"host"_qs };
    QVERIFY(!aggregator.getContentType(8, info));
    QVERIFY(!aggregator.getContentType(3, info));
    QVERIFY(!aggregator.getContentType(0x100000007ul, info));
    QCOMPARE(info.title, u"before"_qs);
    QCOMPARE(info.hostList, QStringList { u"host"_qs });

    QVERIFY(aggregator.getContentType(4, info));
    QCOMPARE(info.type, 4ul);
    QCOMPARE(info.name, u"Motion"_qs);
    QCOMPARE(info.title, u"Motion Videos"_qs);
    QCOMPARE(info.detail, u"Motion Videos"_qs);
    QCOMPARE(info.dirList.size(), 1);
    QCOMPARE(info.dirList.at(0).path(), home(u"Videos/Velmora Webcam/Motion Detection"_qs));
    QVERIFY(info.hostList.isEmpty());

    QCOMPARE(aggregator.typeAt(6), 0xFFFFFFFFul);
    QCOMPARE(aggregator.typeAt(-1), 0xFFFFFFFFul);
    QString folder = u"kept"_qs;
    QVERIFY(aggregator.getType32Folder(folder));
    QCOMPARE(folder, u"kept"_qs);
    QVERIFY(!aggregator.getNextType32File(folder));
}

void TestCaptureFolders::fallbackLocation_data()
{
    // Which candidate folders exist, and where pictures and movies then go.
    QTest::addColumn<bool>("documents");
    QTest::addColumn<bool>("data");
    QTest::addColumn<QString>("base");

    QTest::newRow("documents first") << true << true << u"home/Documents"_qs;
    QTest::newRow("then application data") << false << true << u"data/tst_capturefolders"_qs;
    QTest::newRow("then home, never the private temporary folder") << false << false << u"home"_qs;
}

void TestCaptureFolders::fallbackLocation()
{
    QFETCH(bool, documents);
    QFETCH(bool, data);
    QFETCH(QString, base);
    QVERIFY(QDir(home(QString())).removeRecursively());
    QVERIFY(QDir().mkpath(home(QString())));
    if (documents)
        QVERIFY(QDir().mkpath(home(u"Documents"_qs)));
    if (data)
        QVERIFY(QDir().mkpath(m_root->filePath(u"data/tst_capturefolders"_qs)));
    QVERIFY(QDir().mkpath(m_root->filePath(u"run"_qs)));
    QVERIFY(QFile::setPermissions(
        m_root->filePath(u"run"_qs), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const QString expected = m_root->filePath(base);
    QCOMPARE(storageLocation(QStandardPaths::PicturesLocation), expected + u"/Pictures"_qs);
    QVERIFY(QFileInfo(expected + u"/Pictures"_qs).isDir());
    QCOMPARE(storageLocation(QStandardPaths::MoviesLocation), expected + u"/Videos"_qs);

    QString folder;
    QVERIFY(defaultFolder(folder, 4));
    QCOMPARE(folder, expected + u"/Videos/Velmora Webcam/Motion Detection"_qs);
}

void TestCaptureFolders::noLocationCreatesNothing()
{
    // No folder to fall back on but temporary ones: nothing is made at the
    // root, and no temporary folder is taken for captures.
    qputenv("HOME", QFile::encodeName(m_root->filePath(u"missing"_qs)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_root->filePath(u"missing/data"_qs)));
    const QString run = m_root->filePath(u"run"_qs);
    const QString tmp = m_root->filePath(u"tmp"_qs);
    QVERIFY(QDir().mkpath(run) && QDir().mkpath(tmp));
    QVERIFY(QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("TMPDIR", QFile::encodeName(tmp));
    QString folder = u"/somewhere"_qs;
    QVERIFY(!defaultFolder(folder, 1));
    QVERIFY(folder.isEmpty());
    QVERIFY(captureFolder(folder, 2));
    QVERIFY(folder.isEmpty());
    QCOMPARE(QDir(run).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(
        QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());

    QString path;
    QString pattern;
    ulong index = 0;
    QVERIFY(!nextCaptureFile(path, 1, pattern, index));
}

QTEST_GUILESS_MAIN(TestCaptureFolders)
#include "tst_capturefolders.moc"
