#include "mediafixtures.h"
#include "platform/clipframe.h"
#include "platform/clipframe_p.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace MediaFixtures;

namespace {

const QString badge = QStringLiteral("BadgeData");

// The raw attribute as other programs see it; errno on failure.
int rawGet(const QString &path, const char *name, QByteArray &value)
{
    value.resize(65536);
    const ssize_t size
        = ::getxattr(QFile::encodeName(path).constData(), name, value.data(), value.size());
    if (size < 0)
        return errno;
    value.resize(size);
    return 0;
}

int rawSet(const QString &path, const char *name, const QByteArray &value)
{
    return ::setxattr(QFile::encodeName(path).constData(), name, value.constData(), value.size(), 0)
            == 0
        ? 0
        : errno;
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

qint64 mtimeNs(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// What stands at a path, the link itself rather than what it leads to.
QByteArray entryState(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return "absent;";
    const QByteArray state
        = QByteArray::number(st.st_mode, 8) + ' ' + QByteArray::number(st.st_uid) + ' ';
    if (S_ISLNK(st.st_mode)) {
        char target[PATH_MAX];
        const ssize_t size = ::readlink(native.constData(), target, sizeof target);
        return state + QByteArray(target, qMax<ssize_t>(size, 0)) + ';';
    }
    QFile file(path);
    return state + (S_ISREG(st.st_mode) && file.open(QIODevice::ReadOnly) ? file.readAll() : "")
        + ';';
}

// Makes a file or folder unwritable for this process: by its mode for an
// ordinary user, by the immutable flag for root, whom modes do not stop.
bool setLocked(const QString &path, bool locked)
{
    const QByteArray native = QFile::encodeName(path);
    const bool folder = QFileInfo(path).isDir();
    if (::geteuid() != 0)
        return ::chmod(native.constData(), locked ? (folder ? 0555 : 0444) : (folder ? 0755 : 0644))
            == 0;
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = locked ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

} // namespace

class TestClipFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void probe_data();
    void probe();
    void probeFollowsReplacedFile();

    void freshFileReadsEmpty_data() { addModes(); }
    void freshFileReadsEmpty();
    void storesText_data() { addModes(); }
    void storesText();
    void removesText_data() { addModes(); }
    void removesText();
    void missingFileFails_data() { addModes(); }
    void missingFileFails();

    void oversizedText_data();
    void oversizedText();
    void unwritableFileUsesSidecarBeside();
    void unwritableFolderUsesUserStore();
    void failedWriteKeepsPreviousText();
    void sidecarNotOursIsLeftAlone_data();
    void sidecarNotOursIsLeftAlone();

private:
    static void addModes();
    QString freshFile(const QString &name, const QByteArray &content = "media bytes");
    void lock(const QString &path);

    QTemporaryDir m_dir;
    std::unique_ptr<QTemporaryDir> m_shm;
    QStringList m_locked;
};

void TestClipFrame::addModes()
{
    QTest::addColumn<bool>("sidecar");
    QTest::newRow("extended attributes") << false;
    QTest::newRow("sidecar") << true;
}

QString TestClipFrame::freshFile(const QString &name, const QByteArray &content)
{
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    QFile::remove(ClipFramePrivate::sidecarPath(path));
    return writeFile(path, content) ? path : QString();
}

void TestClipFrame::lock(const QString &path)
{
    if (!setLocked(path, true))
        QSKIP("cannot make files unwritable on this system");
    m_locked << path;
}

void TestClipFrame::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    QVERIFY(makeClip(m_dir.filePath(QStringLiteral("clip65.mp4")), 65));
    QVERIFY(makeClip(m_dir.filePath(QStringLiteral("short.avi")), 2.9, 10));
    QVERIFY(QFile::copy(
        m_dir.filePath(QStringLiteral("short.avi")), m_dir.filePath(QStringLiteral("movie.txt"))));
    QVERIFY(makeStill(m_dir.filePath(QStringLiteral("still.jpg"))));
    QVERIFY(QFile::copy(
        m_dir.filePath(QStringLiteral("still.jpg")), m_dir.filePath(QStringLiteral("still.mp4"))));
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("text.mp4")),
        QByteArray("just some words, no movie at all\n").repeated(40)));
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("empty.mp4")), {}));
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("playlist.mp4")),
        "#EXTM3U\n#EXT-X-TARGETDURATION:65\n#EXTINF:65,\n"
            + QFile::encodeName(m_dir.filePath(QStringLiteral("clip65.mp4")))
            + "\n#EXT-X-ENDLIST\n"));
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.mp4")));
}

void TestClipFrame::cleanup()
{
    ClipFramePrivate::setExtendedAttributesDisabled(false);
    for (const QString &path : std::as_const(m_locked))
        setLocked(path, false);
    m_locked.clear();
}

void TestClipFrame::probe_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("movie");
    QTest::addColumn<bool>("timed");
    QTest::addColumn<ulong>("seconds");

    QTest::newRow("65 s mp4") << "clip65.mp4" << true << true << 65ul;
    QTest::newRow("2.9 s avi rounds down") << "short.avi" << true << true << 2ul;
    QTest::newRow("movie named .txt") << "movie.txt" << true << true << 2ul;
    QTest::newRow("jpeg") << "still.jpg" << false << false << 0ul;
    QTest::newRow("jpeg named .mp4") << "still.mp4" << false << false << 0ul;
    QTest::newRow("text named .mp4") << "text.mp4" << false << false << 0ul;
    QTest::newRow("empty file") << "empty.mp4" << false << false << 0ul;
    QTest::newRow("playlist naming a movie") << "playlist.mp4" << false << false << 0ul;
    QTest::newRow("missing file") << "missing.mp4" << false << false << 0ul;
    QTest::newRow("folder") << "folder.mp4" << false << false << 0ul;
}

void TestClipFrame::probe()
{
    QFETCH(QString, name);
    QFETCH(bool, movie);
    QFETCH(bool, timed);
    QFETCH(ulong, seconds);

    ClipFramePrivate::clearProbeCache();
    const QString path = m_dir.filePath(name);
    for (int pass = 0; pass < 2; ++pass) { // first probed, then cached
        QCOMPARE(ClipFrame::isMovieFile(path), movie);
        unsigned long got = 12345;
        QCOMPARE(ClipFrame::getDuration(path, got), timed);
        QCOMPARE(got, timed ? seconds : 12345ul);
    }
}

void TestClipFrame::probeFollowsReplacedFile()
{
    const QString path = m_dir.filePath(QStringLiteral("replaced.mp4"));
    QFile::remove(path);
    QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("short.avi")), path));
    unsigned long seconds = 0;
    QVERIFY(ClipFrame::getDuration(path, seconds));
    QCOMPARE(seconds, 2ul);

    QVERIFY(writeFile(path, "no longer a movie"));
    QVERIFY(!ClipFrame::isMovieFile(path));

    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("clip65.mp4")), path));
    QVERIFY(ClipFrame::getDuration(path, seconds));
    QCOMPARE(seconds, 65ul);
}

void TestClipFrame::freshFileReadsEmpty()
{
    QFETCH(bool, sidecar);
    ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
    const QString path = freshFile(QStringLiteral("fresh.jpg"));
    QString text = QStringLiteral("left over");
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QVERIFY(text.isEmpty());
    text = QStringLiteral("left over");
    QVERIFY(ClipFrame::getPhotoFileAttribute(path, text));
    QVERIFY(text.isEmpty());
}

void TestClipFrame::storesText()
{
    QFETCH(bool, sidecar);
    ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
    const QString path = freshFile(QStringLiteral("stored.mp4"));
    const QByteArray before = digest(path);
    const qint64 mtimeBefore = mtimeNs(path);
    const QString first = QStringLiteral("<?xml version='1.0'?>\n<a>Grüße &amp; 東京</a>\n");
    const QString second = QStringLiteral("second");

    ClipFrame frame;
    QVERIFY(ClipFrame::setFileAttribute(path, badge, first));
    QVERIFY(ClipFrame::setFileAttribute(path, QStringLiteral("Other"), second));
    QString text;
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, first);
    QVERIFY(ClipFrame::getPhotoFileAttribute(path, text));
    QCOMPARE(text, first);
    QVERIFY(ClipFrame::getFileAttribute(path, QStringLiteral("Other"), text));
    QCOMPARE(text, second);

    QVERIFY(ClipFrame::setPhotoFileAttribute(path, second));
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, second);

    QCOMPARE(digest(path), before);
    QCOMPARE(mtimeNs(path), mtimeBefore);

    QByteArray raw;
    if (sidecar) {
        QCOMPARE(rawGet(path, "user.zpv.BadgeData", raw), ENODATA);
        QVERIFY(QFileInfo::exists(ClipFramePrivate::sidecarPath(path)));
    } else {
        QCOMPARE(rawGet(path, "user.zpv.BadgeData", raw), 0);
        QCOMPARE(raw, second.toUtf8());
        QVERIFY(!QFileInfo::exists(ClipFramePrivate::sidecarPath(path)));
    }
}

void TestClipFrame::removesText()
{
    QFETCH(bool, sidecar);
    ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
    const QString path = freshFile(QStringLiteral("removed.jpg"));
    QVERIFY(ClipFrame::removeFileAttribute(path, badge)); // nothing there yet

    QVERIFY(ClipFrame::setPhotoFileAttribute(path, QStringLiteral("<x/>")));
    QVERIFY(ClipFrame::setFileAttribute(path, QStringLiteral("Other"), QStringLiteral("kept")));
    QVERIFY(ClipFrame::removeFileAttribute(path, badge));
    QString text = QStringLiteral("stale");
    QVERIFY(ClipFrame::getPhotoFileAttribute(path, text));
    QVERIFY(text.isEmpty());
    QVERIFY(ClipFrame::getFileAttribute(path, QStringLiteral("Other"), text));
    QCOMPARE(text, QStringLiteral("kept"));

    QVERIFY(ClipFrame::removeFileAttribute(path, QStringLiteral("Other")));
    QVERIFY(!QFileInfo::exists(ClipFramePrivate::sidecarPath(path)));
    QByteArray raw;
    QCOMPARE(rawGet(path, "user.zpv.BadgeData", raw), ENODATA);
}

void TestClipFrame::missingFileFails()
{
    QFETCH(bool, sidecar);
    ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
    const QString path = m_dir.filePath(QStringLiteral("nothing-here.mp4"));
    QString text;
    QVERIFY(!ClipFrame::getFileAttribute(path, badge, text));
    QVERIFY(!ClipFrame::getPhotoFileAttribute(path, text));
    QVERIFY(!ClipFrame::setFileAttribute(path, badge, QStringLiteral("x")));
    QVERIFY(!ClipFrame::setPhotoFileAttribute(path, QStringLiteral("x")));
    QVERIFY(!ClipFrame::removeFileAttribute(path, badge));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!QFileInfo::exists(ClipFramePrivate::sidecarPath(path)));
    QVERIFY(!ClipFrame::setFileAttribute(
        freshFile(QStringLiteral("named.mp4")), QString(), QStringLiteral("x")));
}

void TestClipFrame::oversizedText_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("temporary folder") << m_dir.path();
    // tmpfs takes long values where the kernel gives it user attributes.
    m_shm.reset(new QTemporaryDir(QStringLiteral("/dev/shm/tst_clipframe-XXXXXX")));
    if (m_shm->isValid())
        QTest::newRow("shared memory") << m_shm->path();
}

void TestClipFrame::oversizedText()
{
    QFETCH(QString, folder);
    const QString path = folder + QStringLiteral("/big.mp4");
    const QString probe = folder + QStringLiteral("/probe.mp4");
    QVERIFY(writeFile(path, "media") && writeFile(probe, "media"));
    const QString big = QString(QStringLiteral("0123456789abcdef")).repeated(1024);
    // Whether this file system takes 16 KiB in one attribute (ext4 does not).
    const int rawResult = rawSet(probe, "user.zpv.probe", big.toUtf8());

    QVERIFY(ClipFrame::setFileAttribute(path, badge, QStringLiteral("small")));
    QVERIFY(ClipFrame::setFileAttribute(path, badge, big));
    QString text;
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, big);
    QCOMPARE(QFileInfo::exists(ClipFramePrivate::sidecarPath(path)), rawResult != 0);

    QVERIFY(ClipFrame::setFileAttribute(path, badge, QStringLiteral("small again")));
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, QStringLiteral("small again"));
    QVERIFY(!QFileInfo::exists(ClipFramePrivate::sidecarPath(path)));
}

void TestClipFrame::unwritableFileUsesSidecarBeside()
{
    const QString path = freshFile(QStringLiteral("locked.jpg"));
    const QByteArray before = digest(path);
    lock(path);
    QByteArray raw;
    QVERIFY(rawSet(path, "user.zpv.BadgeData", "x") != 0);

    QVERIFY(ClipFrame::setPhotoFileAttribute(path, QStringLiteral("<badge/>")));
    QVERIFY(QFileInfo::exists(ClipFramePrivate::sidecarPath(path)));
    QString text;
    QVERIFY(ClipFrame::getPhotoFileAttribute(path, text));
    QCOMPARE(text, QStringLiteral("<badge/>"));
    QCOMPARE(digest(path), before);

    QVERIFY(ClipFrame::removeFileAttribute(path, badge));
    QVERIFY(ClipFrame::getPhotoFileAttribute(path, text));
    QVERIFY(text.isEmpty());
    QVERIFY(!QFileInfo::exists(ClipFramePrivate::sidecarPath(path)));
}

void TestClipFrame::unwritableFolderUsesUserStore()
{
    const QString folder = m_dir.filePath(QStringLiteral("readonly"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/clip.mp4");
    QVERIFY(writeFile(path, "movie data"));
    lock(path);
    lock(folder);

    QVERIFY(ClipFrame::setFileAttribute(path, badge, QStringLiteral("<kept elsewhere/>")));
    QVERIFY(!QFileInfo::exists(ClipFramePrivate::sidecarPath(path)));
    const QString record = ClipFramePrivate::userStorePath(path);
    QVERIFY(record.startsWith(m_dir.filePath(QStringLiteral("data/"))));
    QVERIFY(QFileInfo::exists(record));
    QString text;
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, QStringLiteral("<kept elsewhere/>"));

    // Another file under the same name must not inherit the record.
    cleanup();
    QVERIFY(writeFile(path, "another, longer movie"));
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QVERIFY(text.isEmpty());

    QVERIFY(ClipFrame::removeFileAttribute(path, badge));
    QVERIFY(!QFileInfo::exists(record));
}

void TestClipFrame::failedWriteKeepsPreviousText()
{
    const QString path = freshFile(QStringLiteral("previous.mp4"));
    QVERIFY(ClipFrame::setFileAttribute(path, badge, QStringLiteral("old")));
    lock(path);
    QVERIFY(!ClipFrame::setFileAttribute(path, badge, QStringLiteral("new")));
    QString text;
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, QStringLiteral("old"));
    QVERIFY(!ClipFrame::removeFileAttribute(path, badge));
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, QStringLiteral("old"));
}

void TestClipFrame::sidecarNotOursIsLeftAlone_data()
{
    // What stands at the sidecar's name, holding a record of another text
    // for the clip, and whether it is ours to replace.
    QTest::addColumn<QString>("planted");
    QTest::addColumn<bool>("ours");
    QTest::newRow("link to another file") << "link" << false;
    QTest::newRow("folder") << "folder" << false;
    QTest::newRow("someone else's file") << "foreign" << false;
    QTest::newRow("writable by the group") << "group" << true;
    QTest::newRow("writable by others") << "others" << true;
    QTest::newRow("made for another size") << "size" << true;
    QTest::newRow("made for another time") << "time" << true;
    QTest::newRow("without size and time") << "unstamped" << true;
}

void TestClipFrame::sidecarNotOursIsLeftAlone()
{
    QFETCH(QString, planted);
    QFETCH(bool, ours);
    if (planted == u"foreign" && ::geteuid() != 0)
        QSKIP("only root can give a file to another user");

    // Our own records must be closed to others even without a umask.
    const mode_t mask = ::umask(0);
    const auto restoreMask = qScopeGuard([mask] { ::umask(mask); });
    ClipFramePrivate::setExtendedAttributesDisabled(true);
    const QString folder = m_dir.filePath(QStringLiteral("planted/") + planted);
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/clip.mp4");
    QVERIFY(writeFile(path, "movie data"));
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QJsonObject record { { "size", QString::number(st.st_size + (planted == u"size")) },
        { "mtime", QString::number(mtimeNs(path) + (planted == u"time")) },
        { "attributes", QJsonObject { { badge, "planted" } } } };
    if (planted == u"unstamped")
        record = QJsonObject { { "attributes", record.value("attributes") } };
    const QString sidecar = ClipFramePrivate::sidecarPath(path);
    const QString target = planted == u"link" ? folder + QStringLiteral("/victim") : sidecar;
    const mode_t mode = planted == u"group" ? 0620 : planted == u"others" ? 0602 : 0600;
    if (planted == u"folder") {
        QVERIFY(QDir().mkdir(sidecar));
    } else {
        QVERIFY(writeFile(target, QJsonDocument(record).toJson()));
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode), 0);
    }
    if (planted == u"link")
        QVERIFY(QFile::link(target, sidecar));
    if (planted == u"foreign")
        QCOMPARE(::chown(QFile::encodeName(sidecar).constData(), 4242, 4242), 0);
    const QByteArray before = entryState(sidecar) + entryState(target);

    QString text;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("ignoring")));
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, QString());

    QVERIFY(ClipFrame::setFileAttribute(path, badge, QStringLiteral("mine")));
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, QStringLiteral("mine"));
    const QString userRecord = ClipFramePrivate::userStorePath(path);
    QCOMPARE(QFileInfo::exists(userRecord), !ours);

    QVERIFY(ClipFrame::removeFileAttribute(path, badge));
    QVERIFY(ClipFrame::getFileAttribute(path, badge, text));
    QCOMPARE(text, QString());
    QVERIFY(!QFileInfo::exists(userRecord));
    QCOMPARE(entryState(sidecar) + entryState(target), ours ? "absent;absent;" : before);
}

QTEST_GUILESS_MAIN(TestClipFrame)
#include "tst_clipframe.moc"
