#include "mediafixtures.h"
#include "platform/clipframe.h"
#include "platform/clipframe_p.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace MediaFixtures;

namespace {

const QString badge = u"BadgeData"_qs;

QString read(const QString &path, const QString &name = badge)
{
    QString text = u"untouched"_qs;
    return ClipFrame::getFileAttribute(path, name, text) ? text : u"failed"_qs;
}

// Where the text of "BadgeData" lies; what stands at the sidecar's name
// counts only when it is a file of ours.
QString where(const QString &path)
{
    struct stat st = {};
    if (::getxattr(QFile::encodeName(path).constData(), "user.zpv.BadgeData", nullptr, 0) >= 0)
        return u"attribute"_qs;
    if (QFileInfo::exists(ClipFramePrivate::userStorePath(path)))
        return u"user"_qs;
    if (::lstat(QFile::encodeName(ClipFramePrivate::sidecarPath(path)).constData(), &st) == 0)
        return S_ISREG(st.st_mode) && st.st_uid == ::geteuid() ? u"beside"_qs : u"none"_qs;
    return u"none"_qs;
}

// The link itself rather than what it leads to.
struct stat lstatOf(const QString &path)
{
    struct stat st = {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

qint64 mtimeNs(const QString &path)
{
    const struct stat st = lstatOf(path);
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// Unwritable for this process: by its mode for an ordinary user, by the
// immutable flag for root, whom modes do not stop.
bool setLocked(const QString &path, bool locked)
{
    if (::geteuid() != 0)
        return ::chmod(QFile::encodeName(path).constData(), locked ? 0555 : 0755) == 0;
    return QProcess::execute(u"chattr"_qs, { locked ? u"+i"_qs : u"-i"_qs, path }) == 0;
}

} // namespace

class TestClipFrame : public QObject
{
    Q_OBJECT

    QString freshFile(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).path());
        return writeFile(path, "media") ? path : QString();
    }
    void lock(const QString &path)
    {
        if (!setLocked(path, true))
            QSKIP("cannot make files unwritable on this system");
        m_locked << path;
    }

    QTemporaryDir m_dir;
    QStringList m_locked;

private Q_SLOTS:
    void initTestCase() { cleanup(); }
    void cleanup()
    {
        ClipFramePrivate::setExtendedAttributesDisabled(false);
        for (const QString &path : std::as_const(m_locked))
            setLocked(path, false);
        m_locked.clear();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(u"data"_qs)));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.filePath(u"cache"_qs)));
    }

    // The media libraries cost tens of milliseconds to load: a process pays
    // for them at its first probe, not at start.
    void loadsMediaLibrariesOnFirstProbe()
    {
        const auto mapped = [] {
            QFile maps(u"/proc/self/maps"_qs);
            return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libavformat.so");
        };
        QVERIFY(!mapped());
        const QString movie = m_dir.filePath(u"first.avi"_qs);
        QVERIFY(makeClip(movie, 1.0, 10));
        QVERIFY(!mapped());
        QVERIFY(ClipFrame::isMovieFile(movie));
        QVERIFY(mapped());
    }

    void probesTheContent()
    {
        // A 2.9 s movie named as text, a picture and a playlist naming the
        // movie named as movies.
        const QString movie = m_dir.filePath(u"movie.txt"_qs);
        const QString still = m_dir.filePath(u"still.mp4"_qs);
        const QString list = m_dir.filePath(u"list.mp4"_qs);
        QVERIFY(makeClip(movie + u".avi", 2.9, 10) && QFile::rename(movie + u".avi", movie));
        QVERIFY(makeStill(still + u".jpg") && QFile::rename(still + u".jpg", still));
        QVERIFY(writeFile(list,
            "#EXTM3U\n#EXT-X-TARGETDURATION:3\n#EXTINF:3,\n" + QFile::encodeName(movie)
                + "\n#EXT-X-ENDLIST\n"));
        unsigned long seconds = 0;
        QVERIFY(ClipFrame::getDuration(movie, seconds) && ClipFrame::isMovieFile(movie));
        QCOMPARE(seconds, 2ul);
        QVERIFY(!ClipFrame::isMovieFile(still) && !ClipFrame::isMovieFile(list));
        QVERIFY(!ClipFrame::getDuration(m_dir.path(), seconds) && seconds == 2);
        // A cached answer never outlives the file.
        QVERIFY(QFile::remove(movie) && QFile::rename(list, movie));
        QVERIFY(!ClipFrame::isMovieFile(movie) && !ClipFrame::isMovieFile(list));
    }

    void keepsProbes_data()
    {
        // A clip probed, then changed as named, then asked about by what
        // stands for a new process (nothing in memory). What was learnt is
        // kept in the attribute or, without one, per user; it counts only
        // for the same file unchanged, and only on a file no one else writes.
        QTest::addColumn<bool>("attributes");
        QTest::addColumn<QString>("change");
        QTest::newRow("kept in the attribute") << true << QString();
        QTest::newRow("kept per user") << false << QString();
        QTest::newRow("same size, another time") << true << u"time"_qs;
        QTest::newRow("same time, another size") << true << u"size"_qs;
        QTest::newRow("per user, another time") << false << u"time"_qs;
        QTest::newRow("per user, another size") << false << u"size"_qs;
        QTest::newRow("someone else's file") << true << u"owner"_qs;
        QTest::newRow("writable by the group") << true << u"group"_qs;
    }
    void keepsProbes()
    {
        QFETCH(bool, attributes);
        QFETCH(QString, change);
        if (change == u"owner" && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".mp4");
        const QByteArray native = QFile::encodeName(path);
        QVERIFY(makeClip(path, 2.9, 10) && makeStill(path + u".jpg"));
        ClipFramePrivate::setExtendedAttributesDisabled(!attributes);
        unsigned long seconds = 0;
        QVERIFY(ClipFrame::getDuration(path, seconds) && seconds == 2);
        const struct stat clip = lstatOf(path);
        if (change == u"time" || change == u"size") {
            // A picture padded to the clip's size (or one byte more).
            QFile still(path + u".jpg"_qs);
            QVERIFY(still.open(QIODevice::ReadOnly));
            const qsizetype size = clip.st_size + (change == u"size");
            QVERIFY(writeFile(path, still.readAll().leftJustified(size, 0)));
            const timespec times[2] = { clip.st_atim,
                { clip.st_mtim.tv_sec + (change == u"time"), clip.st_mtim.tv_nsec } };
            QCOMPARE(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
        }
        if (change == u"owner")
            QCOMPARE(::chown(native.constData(), 4242, 4242), 0);
        if (change == u"group")
            QCOMPARE(::chmod(native.constData(), 0664), 0);
        const struct stat before = lstatOf(path);
        const bool changed = !change.isEmpty();
        for (int pass = 0; pass < 2; ++pass) {
            ClipFramePrivate::clearProbeCache();
            const int probes = ClipFramePrivate::probesMade();
            QCOMPARE(ClipFrame::isMovieFile(path), change != u"time" && change != u"size");
            // The second time round even a file not ours has its answer, per user.
            QCOMPARE(ClipFramePrivate::probesMade() - probes, changed && pass == 0 ? 1 : 0);
        }
        // A file not ours is never written to.
        if (change == u"owner" || change == u"group")
            QCOMPARE(lstatOf(path).st_ctim.tv_nsec, before.st_ctim.tv_nsec);
    }

    void stores_data()
    {
        QTest::addColumn<QString>("setup");
        // What stands at the sidecar's name beforehand, holding a record of
        // another text for the clip.
        QTest::addColumn<QString>("planted");
        QTest::addColumn<QString>("place"); // "long": in the attribute if the file system takes it
        const QString none = u"none"_qs; // no attributes
        QTest::newRow("attribute") << u"plain"_qs << QString() << u"attribute"_qs;
        QTest::newRow("no attributes") << none << QString() << u"beside"_qs;
        QTest::newRow("file closed to us") << u"locked file"_qs << QString() << u"beside"_qs;
        QTest::newRow("folder closed to us") << u"locked folder"_qs << QString() << u"user"_qs;
        // More than ext4 takes in one attribute: beside the file there.
        QTest::newRow("long text") << u"long"_qs << QString() << u"long"_qs;
        // Not ours to replace: left as it was, and what a link leads to as well.
        QTest::newRow("link to another file") << none << u"link"_qs << u"user"_qs;
        QTest::newRow("folder at the sidecar's name") << none << u"folder"_qs << u"user"_qs;
        QTest::newRow("someone else's file") << none << u"foreign"_qs << u"user"_qs;
        // Ours, but not to be believed: replaced.
        QTest::newRow("writable by the group") << none << u"group"_qs << u"beside"_qs;
        QTest::newRow("writable by others") << none << u"others"_qs << u"beside"_qs;
        QTest::newRow("made for another size") << none << u"size"_qs << u"beside"_qs;
        QTest::newRow("made for another time") << none << u"time"_qs << u"beside"_qs;
        QTest::newRow("without size and time") << none << u"unstamped"_qs << u"beside"_qs;
    }
    void stores()
    {
        QFETCH(QString, setup);
        QFETCH(QString, planted);
        QFETCH(QString, place);
        if (planted == u"foreign" && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        // Our own records must be closed to others even without a umask.
        const mode_t mask = ::umask(0);
        const auto restoreMask = qScopeGuard([mask] { ::umask(mask); });
        const QString folder = m_dir.filePath(setup + planted);
        const QString path = freshFile(folder + u"/clip.mp4"_qs);
        const qint64 mtime = mtimeNs(path);
        const QString text
            = QString(u"<a>Grüße &amp; 東京</a>\n"_qs).repeated(place == u"long" ? 1000 : 1);
        const QByteArray utf8 = text.toUtf8();
        if (place == u"long")
            place = ::setxattr(QFile::encodeName(path).constData(), "user.zpv.Probe",
                        utf8.constData(), size_t(utf8.size()), 0)
                    == 0
                ? u"attribute"_qs
                : u"beside"_qs;
        ClipFramePrivate::setExtendedAttributesDisabled(setup == u"none");
        if (setup.startsWith(u"locked"))
            lock(path);
        if (setup == u"locked folder")
            lock(folder);
        const QString sidecar = ClipFramePrivate::sidecarPath(path);
        const QString target = planted == u"link" ? path + u".victim"_qs : sidecar;
        if (planted == u"folder") {
            QVERIFY(QDir().mkdir(sidecar));
        } else if (!planted.isEmpty()) {
            const QString stamps = planted == u"unstamped"
                ? QString()
                : u"\"size\":\"%1\",\"mtime\":\"%2\","_qs.arg(5 + (planted == u"size"))
                      .arg(mtime + (planted == u"time"));
            QVERIFY(
                writeFile(target, "{" + stamps.toUtf8() + "\"attributes\":{\"BadgeData\":\"x\"}}"));
            const mode_t mode = planted == u"group" ? 0620 : planted == u"others" ? 0602 : 0600;
            QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode), 0);
            if (planted == u"link")
                QVERIFY(QFile::link(target, sidecar));
            if (planted == u"foreign")
                QCOMPARE(::chown(QFile::encodeName(sidecar).constData(), 4242, 4242), 0);
        }
        const auto state = [&] {
            const struct stat st = lstatOf(sidecar);
            return QList<qint64> { st.st_mode, st.st_uid, qint64(st.st_ino), mtimeNs(sidecar),
                mtimeNs(target) };
        };
        const QList<qint64> before = state();
        if (!planted.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"ignoring"_qs));

        QCOMPARE(read(path), QString());
        QVERIFY(ClipFrame::setFileAttribute(path, badge, u"small"_qs));
        QVERIFY(ClipFrame::setFileAttribute(path, u"Other"_qs, u"kept"_qs));
        QVERIFY(ClipFrame::setPhotoFileAttribute(path, text));
        QCOMPARE(read(path), text);
        QCOMPARE(where(path), place);
        // The records name the user's media: private.
        if (place == u"user")
            QCOMPARE(
                lstatOf(QFileInfo(ClipFramePrivate::userStorePath(path)).path()).st_mode & 0777,
                0700u);
        if (place == u"beside")
            QCOMPARE(lstatOf(sidecar).st_mode & 0777, 0600u);
        QVERIFY(ClipFrame::removeFileAttribute(path, badge));
        QCOMPARE(read(path, u"Other"_qs), u"kept"_qs);
        QVERIFY(ClipFrame::removeFileAttribute(path, u"Other"_qs));
        QCOMPARE(where(path) + read(path), u"none"_qs);
        QCOMPARE(state(), place == u"user" ? before : QList<qint64>(5, 0));
        QCOMPARE(mtimeNs(path), mtime); // the media never change
        QCOMPARE(lstatOf(path).st_size, 5);
        QVERIFY(!ClipFrame::setFileAttribute(path, QString(), u"x"_qs));

        // Another file under the same name inherits nothing; none at all fails.
        QVERIFY(ClipFrame::setFileAttribute(path, badge, text));
        cleanup();
        QVERIFY(QFile::remove(path) && writeFile(path, "another movie"));
        ClipFramePrivate::setExtendedAttributesDisabled(setup == u"none");
        QCOMPARE(read(path), QString());
        QVERIFY(QFile::remove(path) && read(path) == u"failed");
        QVERIFY(!ClipFrame::setPhotoFileAttribute(path, text));
        QVERIFY(!ClipFrame::removeFileAttribute(path, badge) && !QFileInfo::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestClipFrame)
#include "tst_clipframe.moc"
