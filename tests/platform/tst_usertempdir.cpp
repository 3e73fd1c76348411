// The user's temporary folder is private, or there is none.
#include "platform/usertempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class TestUserTempDir : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void usesRuntimeFolder();
    void fallback_data();
    void fallback();
    void noTemporaryFolder();

private:
    QTemporaryDir *m_root = nullptr;
    QByteArray m_runtime;
    QByteArray m_tmpdir;
};

void TestUserTempDir::init()
{
    m_root = new QTemporaryDir;
    QVERIFY(m_root->isValid());
    m_runtime = qgetenv("XDG_RUNTIME_DIR");
    m_tmpdir = qgetenv("TMPDIR");
}

void TestUserTempDir::cleanup()
{
    qputenv("XDG_RUNTIME_DIR", m_runtime);
    qputenv("TMPDIR", m_tmpdir);
    delete m_root;
}

void TestUserTempDir::usesRuntimeFolder()
{
    const QString runtime = m_root->filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    QCOMPARE(userTempPath(), runtime);
}

void TestUserTempDir::fallback_data()
{
    // The runtime folder's state, what stands at <tmp>/zpv-<uid> before the
    // call, and whether that fallback is the answer (else: no folder at all).
    QTest::addColumn<QString>("runtime");
    QTest::addColumn<QString>("existing");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("open runtime, nothing") << QStringLiteral("open") << QString() << true;
    QTest::newRow("linked runtime, private")
        << QStringLiteral("link") << QStringLiteral("dir700") << true;
    QTest::newRow("open runtime, open fallback")
        << QStringLiteral("open") << QStringLiteral("dir755") << false;
    QTest::newRow("open runtime, linked fallback")
        << QStringLiteral("open") << QStringLiteral("link") << false;
    QTest::newRow("open runtime, file")
        << QStringLiteral("open") << QStringLiteral("file") << false;
}

void TestUserTempDir::fallback()
{
    QFETCH(QString, runtime);
    QFETCH(QString, existing);
    QFETCH(bool, accepted);

    const QString target = m_root->filePath(QStringLiteral("elsewhere"));
    QCOMPARE(::mkdir(QFile::encodeName(target).constData(), 0700), 0);

    // A runtime folder open to others, or a link, is not used.
    const QString runtimePath = m_root->filePath(QStringLiteral("run"));
    if (runtime == QLatin1String("open")) {
        QCOMPARE(::mkdir(QFile::encodeName(runtimePath).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(runtimePath).constData(), 0755), 0);
    } else {
        QVERIFY(QFile::link(target, runtimePath));
    }
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimePath));
    qputenv("TMPDIR", QFile::encodeName(m_root->path()));

    const QString expected
        = m_root->filePath(QStringLiteral("zpv-") + QString::number(::geteuid()));
    const QByteArray native = QFile::encodeName(expected);
    if (existing == QLatin1String("dir700")) {
        QCOMPARE(::mkdir(native.constData(), 0700), 0);
    } else if (existing == QLatin1String("dir755")) {
        QCOMPARE(::mkdir(native.constData(), 0700), 0);
        QCOMPARE(::chmod(native.constData(), 0755), 0);
    } else if (existing == QLatin1String("link")) {
        QVERIFY(QFile::link(target, expected));
    } else if (existing == QLatin1String("file")) {
        QFile file(expected);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    const QString path = userTempPath();
    QCOMPARE(path, accepted ? expected : QString());
    if (accepted) {
        struct stat st;
        QCOMPARE(::lstat(native.constData(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
    }
}

void TestUserTempDir::noTemporaryFolder()
{
    // Qt gives no temporary folder when TMPDIR names none; nothing may be
    // made at the root then.
    qputenv("XDG_RUNTIME_DIR", QByteArray());
    qputenv("TMPDIR", QFile::encodeName(m_root->filePath(QStringLiteral("missing"))));
    QCOMPARE(userTempPath(), QString());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/zpv-") + QString::number(::geteuid())));
}

QTEST_GUILESS_MAIN(TestUserTempDir)
#include "tst_usertempdir.moc"
