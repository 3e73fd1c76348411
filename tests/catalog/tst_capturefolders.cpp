// Capture folders and next capture names, against
// a home folder and settings stores of the test's own.
#include "catalog/capturefolders.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestCaptureFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>(m_top.filePath(u"XXXXXX"_qs));
        QVERIFY(m_root->isValid());
        const std::pair<const char *, const char *> places[]
            = { { "HOME", "home" }, { "XDG_CONFIG_HOME", "config" }, { "XDG_DATA_HOME", "data" },
                  { "XDG_RUNTIME_DIR", "run" }, { "TMPDIR", "tmp" } };
        for (const auto &[name, folder] : places)
            qputenv(name, QFile::encodeName(path(QLatin1String(folder))));
        for (const char *folder : { "home/Pictures", "home/Videos", "tmp" })
            QVERIFY(QDir().mkpath(path(QLatin1String(folder))));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path(u"user"_qs));
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, path(u"system"_qs));
    }
    void videoFolder_data()
    {
        // Folders that exist below the test's root, the video folder setting, and
        // the folder then used, made and stored (none: only temporary places are
        // left). Captures never go where the system empties at logout or boot.
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");

        const QString webcam = u"Videos/Velmora Webcam"_qs;
        const QString data = u"data/tst_capturefolders"_qs;
        QTest::newRow("setting names a deleted folder")
            << QStringList { u"home/Videos"_qs } << u"deleted"_qs << u"home/"_qs + webcam;
        QTest::newRow("setting in the runtime folder")
            << QStringList { u"home/Videos"_qs, u"run/"_qs + webcam } << u"run/"_qs + webcam
            << u"home/"_qs + webcam;
        QTest::newRow("no videos folder: documents first") << QStringList { u"home/Documents"_qs,
            data } << QString() << u"home/Documents/"_qs + webcam;
        QTest::newRow("then application data")
            << QStringList { u"home"_qs, data } << QString() << data + u'/' + webcam;
        QTest::newRow("then home")
            << QStringList { u"home"_qs } << QString() << u"home/"_qs + webcam;
        QTest::newRow("none") << QStringList() << QString() << QString();
    }
    void videoFolder()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, stored);
        QFETCH(QString, expected);

        QVERIFY(QDir(path(u"home"_qs)).removeRecursively());
        for (const QString &folder : std::as_const(existing))
            QVERIFY(QDir().mkpath(path(folder)));
        QVERIFY(QDir().mkpath(path(u"run"_qs)));
        QVERIFY(QFile::setPermissions(
            path(u"run"_qs), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString kept = path(u"kept"_qs);
        QVERIFY(QDir().mkpath(kept));
        QSettings(u"Nobridge"_qs, u"ZPV"_qs).setValue(u"Preferences/PhotoFolder"_qs, kept);
        if (!stored.isEmpty())
            QSettings(u"Nobridge"_qs, u"ZPV"_qs)
                .setValue(u"Preferences/MovieFolder"_qs, path(stored));
        const auto temporary = [this] {
            const auto flags = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden;
            return QDir(path(u"run"_qs)).entryList(flags) + QDir(path(u"tmp"_qs)).entryList(flags);
        };
        const QStringList before = temporary();

        QString folder = u"untouched"_qs;
        QVERIFY(captureFolder(folder, 2));
        QCOMPARE(folder, expected.isEmpty() ? QString() : path(expected));
        QCOMPARE(QFileInfo(folder).isDir(), !expected.isEmpty());
        QCOMPARE(
            QSettings(u"Nobridge"_qs, u"ZPV"_qs).value(u"Preferences/MovieFolder"_qs).toString(),
            folder);
        // Folders that still exist stay as the user chose them.
        QVERIFY(captureFolder(folder, 1));
        QCOMPARE(folder, kept);
        QString name;
        ulong index = 0;
        QCOMPARE(nextCaptureFile(name, 2, folder, index), !expected.isEmpty());
        QCOMPARE(temporary(), before);
    }
    void defaultFolders_data()
    {
        // The capture type, whether the photo or video editor for types 8 and 16
        // is installed, a folder made beforehand, and the default folder (none:
        // not made, since only that editor would use it).
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pictures") << 1 << false << QString() << u"home/Pictures/Velmora Webcam"_qs;
        QTest::newRow("motion") << 4 << false << QString()
                                << u"home/Videos/Velmora Webcam/Motion Detection"_qs;
        QTest::newRow("the older suite's folder first")
            << 2 << false << u"home/Videos/Pictorix"_qs << u"home/Videos/Pictorix"_qs;
        QTest::newRow("editor's photos") << 8 << true << u"home/Pictures/Magix/Pictorix"_qs
                                         << u"home/Pictures/Magix"_qs;
        QTest::newRow("editor's videos, not installed") << 16 << false << QString() << QString();
    }
    void defaultFolders()
    {
        QFETCH(int, type);
        QFETCH(bool, installed);
        QFETCH(QString, existing);
        QFETCH(QString, expected);
        if (!existing.isEmpty())
            QVERIFY(QDir().mkpath(path(existing)));
        QSettings(QSettings::SystemScope, u"MAGIX"_qs,
            type == 8 ? u"Foto_Manager_9"_qs : u"Video_easy_SE"_qs)
            .setValue(u"ProgramPath"_qs, installed ? u"/opt/editor"_qs : QString());
        QString folder;
        QCOMPARE(defaultFolder(folder, type), !expected.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(folder, path(expected));
        QVERIFY(!QFileInfo::exists(path(u"home/Videos/Magix"_qs)));
    }
    void nextCaptureName_data()
    {
        // Files made in the capture folder beforehand ("/": a folder), the stored
        // counter (0: none yet, so 1), and the name expected.
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<int>("counter");
        QTest::addColumn<QString>("expected");

        QTest::newRow("after two pictures")
            << 1 << QStringList { u"Picture 1.jpg"_qs, u"Picture 2.jpg"_qs } << 0
            << u"Picture 3.jpg"_qs;
        QTest::newRow("a folder blocks the name")
            << 1 << QStringList { u"Picture 1.jpg/"_qs } << 1 << u"Picture 2.jpg"_qs;
        QTest::newRow("any extension blocks a video, the wildcard stays")
            << 2 << QStringList { u"Video 7.avi"_qs, u"Video 8.wmv"_qs } << 7 << u"Video 9.*"_qs;
    }
    void nextCaptureName()
    {
        QFETCH(int, type);
        QFETCH(QStringList, existing);
        QFETCH(int, counter);
        QFETCH(QString, expected);

        QString folder;
        QVERIFY(captureFolder(folder, type));
        for (const QString &name : std::as_const(existing)) {
            QFile file(folder + u'/' + name);
            QVERIFY(
                name.endsWith(u'/') ? QDir(folder).mkdir(name) : file.open(QIODevice::WriteOnly));
        }
        const QString key
            = type == 1 ? u"CaptureCatalog/PictureIndex"_qs : u"CaptureCatalog/MovieIndex"_qs;
        if (counter > 0)
            QSettings(u"Velmora"_qs, u"ZPV"_qs).setValue(key, counter);

        QString name;
        QString pattern;
        ulong index = 0;
        QVERIFY(nextCaptureFile(name, type, pattern, index));
        QCOMPARE(name, folder + u'/' + expected);
        // The counter is kept in the capture catalogue's own settings.
        QCOMPARE(QString::number(index), expected.section(u' ', 1).section(u'.', 0, 0));
        QCOMPARE(QSettings(u"Velmora"_qs, u"ZPV"_qs).value(key).toULongLong(), qulonglong(index));
    }

private:
    QString path(const QString &relative) const { return m_root->filePath(relative); }

    QTemporaryDir m_top;
    std::unique_ptr<QTemporaryDir> m_root;
};

QTEST_GUILESS_MAIN(TestCaptureFolders)
#include "tst_capturefolders.moc"
