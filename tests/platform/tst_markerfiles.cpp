// Marker channels, the scratch file and the UTF-8 file helpers, in a private
// temporary folder and a settings store of the test's own.
#include "platform/markerfiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct Channel
{
    const char *fileName;
    const char *key;
    bool (*clear)();
    bool (*available)(bool);
    bool (*read)(QString &, bool);
    bool (*write)(const QString &, bool);
};

const Channel channels[] = {
    { "preSelectContent", "PreSelectContentFileAvailable", clearPreSelectContent,
        isPreSelectContentAvailable, readPreSelectContent, writePreSelectContent },
    { "captureStatus", "CaptureStatusFileAvailable", clearCaptureStatus, isCaptureStatusAvailable,
        readCaptureStatus, writeCaptureStatus },
};

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QVariant storedFlag(const char *key)
{
    const QSettings settings(u"Nobridge"_qs, u"ZPV"_qs);
    return settings.value(QLatin1String(key));
}

} // namespace

class TestMarkerFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void channel_data();
    void channel();
    void emptyFileIsNoMessage_data() { channel_data(); }
    void emptyFileIsNoMessage();
    void rewriteReplacesWholeFile();
    void failedWriteIsReported();
    void scratchFile();
    void nothingWithoutPrivateFolder();

private:
    QString run(const char *name) const
    {
        return m_root->filePath(u"run/"_qs + QLatin1String(name));
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QByteArray m_runtime;
    QByteArray m_tmpdir;
};

void TestMarkerFiles::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_runtime = qgetenv("XDG_RUNTIME_DIR");
    m_tmpdir = qgetenv("TMPDIR");
    const QString runtime = m_root->filePath(u"run"_qs);
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_root->filePath(u"user"_qs));
}

void TestMarkerFiles::cleanup()
{
    qputenv("XDG_RUNTIME_DIR", m_runtime);
    qputenv("TMPDIR", m_tmpdir);
    m_root.reset();
}

void TestMarkerFiles::channel_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("pre-selected content") << 0;
    QTest::newRow("capture status") << 1;
}

void TestMarkerFiles::channel()
{
    QFETCH(int, index);
    const Channel &c = channels[index];
    const QString text = u"<content_info>Größe 日本</content_info>"_qs;

    // Without the switch no flag is raised; resetting an unset flag writes nothing.
    QVERIFY(c.write(u"first"_qs, false));
    QVERIFY(!c.available(true));
    QVERIFY(!storedFlag(c.key).isValid());

    QVERIFY(c.write(text, true));
    QCOMPARE(fileBytes(run(c.fileName)), text.toUtf8());
    QCOMPARE(storedFlag(c.key).toBool(), true);

    // The consumer resets the flag, then reads and removes the file.
    QVERIFY(c.available(true));
    QVERIFY(!c.available(false));
    QString read;
    QVERIFY(c.read(read, false));
    QCOMPARE(read, text);
    QVERIFY(QFile::exists(run(c.fileName)));
    QVERIFY(c.read(read, true));
    QVERIFY(!QFile::exists(run(c.fileName)));
    QVERIFY(!c.read(read, true));

    // Clearing forgets both the flag and the file, and never fails.
    QVERIFY(c.write(text, true));
    QVERIFY(c.clear());
    QVERIFY(!storedFlag(c.key).isValid());
    QVERIFY(!QFile::exists(run(c.fileName)));
    QVERIFY(c.clear());
}

void TestMarkerFiles::emptyFileIsNoMessage()
{
    QFETCH(int, index);
    const Channel &c = channels[index];
    QFile file(run(c.fileName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QString read = u"before"_qs;
    QVERIFY(!c.read(read, true));
    QVERIFY(QFile::exists(run(c.fileName)));
}

void TestMarkerFiles::rewriteReplacesWholeFile()
{
    const QString path = m_root->filePath(u"text"_qs);
    QVERIFY(writeUtf8File(path, u"a much longer first text"_qs));
    // A reader that opened the old text keeps it whole: the file is replaced,
    // never truncated under it.
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QVERIFY(writeUtf8File(path, u"é"_qs));
    QCOMPARE(reader.readAll(), QByteArray("a much longer first text"));
    // UTF-8 without a byte-order mark, nothing left of the first text.
    QCOMPARE(fileBytes(path), QByteArray("\xc3\xa9"));
    QCOMPARE(QDir(m_root->path()).entryList(QDir::Files), QStringList { u"text"_qs });
}

void TestMarkerFiles::failedWriteIsReported()
{
    const QString notAFolder = m_root->filePath(u"file"_qs);
    QVERIFY(writeUtf8File(notAFolder, u"x"_qs));
    QVERIFY(!writeUtf8File(notAFolder + u"/inside"_qs, u"x"_qs));
    QVERIFY(!writeMarkerFile(u"../file/inside"_qs, u"Flag"_qs, u"x"_qs, true));
    QVERIFY(!isMarkerSet(u"Flag"_qs, false));
}

void TestMarkerFiles::scratchFile()
{
    QCOMPARE(tempFilePath(), run("_ZPVTemp.tmp"));
    QVERIFY(writeTempFile(u"scratch"_qs));
    QString read;
    QVERIFY(readTempFile(read));
    QCOMPARE(read, u"scratch"_qs);
}

void TestMarkerFiles::nothingWithoutPrivateFolder()
{
    qputenv("XDG_RUNTIME_DIR", QByteArray());
    qputenv("TMPDIR", QFile::encodeName(m_root->filePath(u"missing"_qs)));
    QCOMPARE(tempFilePath(), QString());
    QVERIFY(!writeTempFile(u"x"_qs));
    QVERIFY(!writeCaptureStatus(u"x"_qs, true));
    QVERIFY(!isCaptureStatusAvailable(false));
    QVERIFY(!QFile::exists(u"/_ZPVTemp.tmp"_qs));
    QVERIFY(!QFile::exists(u"/captureStatus"_qs));
}

QTEST_GUILESS_MAIN(TestMarkerFiles)
#include "tst_markerfiles.moc"
