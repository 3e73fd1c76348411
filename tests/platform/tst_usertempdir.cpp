// The user's own temporary folder, and the marker files kept in it.
#include "platform/markerfiles.h"
#include "platform/usertempdir.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

class TestUserTempDir : public QObject
{
    Q_OBJECT

    // A folder of that mode, a link to a private folder, a file, or a
    // private folder of another user.
    QString makeEntry(const QString &name, const QString &kind)
    {
        const QString path = m_root->filePath(name);
        const QByteArray native = QFile::encodeName(path);
        if (kind == u"link")
            return QFile::link(makeEntry(name + u".target"_qs, u"700"_qs), path) ? path : QString();
        if (kind == u"file")
            return QFile(path).open(QIODevice::WriteOnly) ? path : QString();
        if (kind == u"foreign")
            return makeEntry(name, u"700"_qs) == path
                    && ::chown(native.constData(), 4242, 4242) == 0
                ? path
                : QString();
        return ::mkdir(native.constData(), 0700) == 0
                && ::chmod(native.constData(), kind.toUInt(nullptr, 8)) == 0
            ? path
            : QString();
    }

    std::unique_ptr<QTemporaryDir> m_root;
    const QByteArray m_tmpdir = qgetenv("TMPDIR");

private Q_SLOTS:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(makeEntry(u"run"_qs, u"700"_qs)));
        qputenv("TMPDIR", QFile::encodeName(m_root->path()));
        QSettings::setPath(
            QSettings::NativeFormat, QSettings::UserScope, m_root->filePath(u"user"_qs));
    }
    void cleanup() { qputenv("TMPDIR", m_tmpdir); }
    void refusesWhatIsNotPrivate_data()
    {
        // The runtime folder, what stands at <tmp>/zpv-<uid> before the
        // call, and the answer: the runtime folder, that fallback, or none.
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("answer");
        QTest::newRow("private runtime") << u"700"_qs << u""_qs << u"runtime"_qs;
        QTest::newRow("open runtime, nothing") << u"755"_qs << u""_qs << u"fallback"_qs;
        QTest::newRow("linked runtime, private") << u"link"_qs << u"700"_qs << u"fallback"_qs;
        QTest::newRow("open runtime, open fallback") << u"755"_qs << u"755"_qs << u""_qs;
        QTest::newRow("open runtime, linked fallback") << u"755"_qs << u"link"_qs << u""_qs;
        QTest::newRow("open runtime, file") << u"755"_qs << u"file"_qs << u""_qs;
        QTest::newRow("open runtime, someone else's") << u"755"_qs << u"foreign"_qs << u""_qs;
        QTest::newRow("no runtime, no temporary folder") << u""_qs << u"none"_qs << u""_qs;
    }
    void refusesWhatIsNotPrivate()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, existing);
        QFETCH(QString, answer);
        if (existing == u"foreign" && ::geteuid() != 0)
            QSKIP("only root can give a folder to another user");

        const QString run = runtime.isEmpty() ? QString() : makeEntry(u"run2"_qs, runtime);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run));
        const QString fallback = m_root->filePath(u"zpv-"_qs + QString::number(::geteuid()));
        if (existing == u"none") // Qt has no temporary folder then
            qputenv("TMPDIR", QFile::encodeName(m_root->filePath(u"none"_qs)));
        else if (!existing.isEmpty())
            QCOMPARE(makeEntry(fallback.section(u'/', -1), existing), fallback);

        const bool ok = !answer.isEmpty();
        const QString expected = answer == u"runtime" ? run : ok ? fallback : QString();
        QCOMPARE(userTempPath(), expected);
        QCOMPARE(userTempSubfolder(u"sub"_qs), ok ? expected + u"/sub" : QString());
        struct stat st = {};
        ::lstat(QFile::encodeName(expected + u"/sub").constData(), &st);
        QCOMPARE(S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700, ok);
        // Markers go there or nowhere, never to the root. The producer writes
        // the file, then raises the flag; the consumer resets the flag, then
        // reads and removes the file.
        const QString text = u"<content_info>Größe 日本</content_info>"_qs;
        QCOMPARE(writeCaptureStatus(text, true), ok);
        QCOMPARE(QFile::exists(expected + u"/captureStatus"), ok);
        QCOMPARE(isCaptureStatusAvailable(true), ok);
        QString read;
        QCOMPARE(readCaptureStatus(read, true) && read == text, ok);
        QVERIFY(
            !QFileInfo::exists(expected + u"/captureStatus") && !isCaptureStatusAvailable(false));
        QVERIFY(!QFile::exists(u"/captureStatus"_qs));
        QVERIFY(!QFileInfo::exists(u"/zpv-"_qs + QString::number(::geteuid())));
    }
};

QTEST_GUILESS_MAIN(TestUserTempDir)
#include "tst_usertempdir.moc"
