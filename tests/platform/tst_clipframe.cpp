#include "mediafixtures.h"
#include "platform/clipframe.h"
#include "platform/clipframe_p.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

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

// Where the text of "BadgeData" lies.
QString where(const QString &path)
{
    if (::getxattr(QFile::encodeName(path).constData(), "user.zpv.BadgeData", nullptr, 0) >= 0)
        return u"attribute"_qs;
    if (QFileInfo::exists(ClipFramePrivate::sidecarPath(path)))
        return u"beside"_qs;
    return QFileInfo::exists(ClipFramePrivate::userStorePath(path)) ? u"user"_qs : u"none"_qs;
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
    return qint64(lstatOf(path).st_mtim.tv_sec) * 1000000000 + lstatOf(path).st_mtim.tv_nsec;
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
    QTemporaryDir m_shm { u"/dev/shm/tst_clipframe-XXXXXX"_qs };
    QStringList m_locked;

private Q_SLOTS:
    void cleanup()
    {
        ClipFramePrivate::setExtendedAttributesDisabled(false);
        for (const QString &path : std::as_const(m_locked))
            setLocked(path, false);
        m_locked.clear();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(u"data"_qs)));
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

    void stores_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("place"); // "long": in the attribute if the file system takes it
        QTest::newRow("attribute") << u"plain"_qs << u"attribute"_qs;
        QTest::newRow("no attributes") << u"no attributes"_qs << u"beside"_qs;
        QTest::newRow("file closed to us") << u"locked file"_qs << u"beside"_qs;
        QTest::newRow("folder closed to us") << u"locked folder"_qs << u"user"_qs;
        // More than ext4 takes in one attribute; tmpfs may take it.
        QTest::newRow("long text") << u"long"_qs << u"long"_qs;
        if (m_shm.isValid())
            QTest::newRow("long text in shared memory") << u"shm"_qs << u"long"_qs;
    }
    void stores()
    {
        QFETCH(QString, setup);
        QFETCH(QString, place);
        const QString folder = setup == u"shm" ? m_shm.path() : m_dir.filePath(setup);
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
        ClipFramePrivate::setExtendedAttributesDisabled(setup == u"no attributes");
        if (setup.startsWith(u"locked"))
            lock(path);
        if (setup == u"locked folder")
            lock(folder);

        QCOMPARE(read(path), QString());
        QVERIFY(ClipFrame::setFileAttribute(path, badge, u"small"_qs));
        QVERIFY(ClipFrame::setPhotoFileAttribute(path, text));
        QVERIFY(ClipFrame::setFileAttribute(path, u"Other"_qs, u"kept"_qs));
        QCOMPARE(read(path), text);
        QCOMPARE(where(path), place);
        if (place == u"user") // the records name the user's media: private
            QCOMPARE(
                lstatOf(QFileInfo(ClipFramePrivate::userStorePath(path)).path()).st_mode & 0777,
                0700u);
        QVERIFY(ClipFrame::setFileAttribute(path, badge, u"small again"_qs));
        QCOMPARE(read(path), u"small again"_qs);
        QVERIFY(ClipFrame::removeFileAttribute(path, badge));
        QCOMPARE(read(path, u"Other"_qs), u"kept"_qs);
        QVERIFY(ClipFrame::removeFileAttribute(path, u"Other"_qs));
        QCOMPARE(where(path) + read(path), u"none"_qs);
        QCOMPARE(mtimeNs(path), mtime); // the media never change
        QCOMPARE(lstatOf(path).st_size, 5);
        QVERIFY(!ClipFrame::setFileAttribute(path, QString(), u"x"_qs));

        // Another file under the same name inherits nothing; none at all fails.
        QVERIFY(ClipFrame::setFileAttribute(path, badge, text));
        cleanup();
        QVERIFY(QFile::remove(path) && writeFile(path, "another movie"));
        ClipFramePrivate::setExtendedAttributesDisabled(setup == u"no attributes");
        QCOMPARE(read(path), QString());
        QVERIFY(QFile::remove(path) && read(path) == u"failed");
        QVERIFY(!ClipFrame::setPhotoFileAttribute(path, text));
        QVERIFY(!ClipFrame::removeFileAttribute(path, badge) && !QFileInfo::exists(path));
    }

    void failedWriteKeepsPreviousText_data()
    {
        QTest::addColumn<bool>("lockFile"); // else: a text too long for any attribute
        QTest::newRow("file closed to us") << true;
        QTest::newRow("too long, nowhere else to go") << false;
    }
    void failedWriteKeepsPreviousText()
    {
        QFETCH(bool, lockFile);
        const QString path = freshFile(m_dir.filePath(u"previous%1/clip"_qs.arg(lockFile)));
        QVERIFY(ClipFrame::setFileAttribute(path, badge, u"old"_qs));
        lock(lockFile ? path : QFileInfo(path).path());
        // No per-user store either: its folder would have to be made under a file.
        qputenv("XDG_DATA_HOME", QFile::encodeName(path + u"/data"_qs));
        QVERIFY(!ClipFrame::setFileAttribute(path, badge, QString(lockFile ? 3 : 70000, u'x')));
        QCOMPARE(read(path), u"old"_qs);
        QCOMPARE(where(path), u"attribute"_qs);
        QCOMPARE(ClipFrame::removeFileAttribute(path, badge), !lockFile);
        QCOMPARE(read(path), lockFile ? u"old"_qs : QString());
    }

    void sidecarNotOursIsLeftAlone_data()
    {
        // What stands at the sidecar's name, holding a record of another text
        // for the clip, and whether it is ours to replace.
        QTest::addColumn<QString>("planted");
        QTest::addColumn<bool>("ours");
        QTest::newRow("link to another file") << u"link"_qs << false;
        QTest::newRow("folder") << u"folder"_qs << false;
        QTest::newRow("someone else's file") << u"foreign"_qs << false;
        QTest::newRow("writable by the group") << u"group"_qs << true;
        QTest::newRow("writable by others") << u"others"_qs << true;
        QTest::newRow("made for another size") << u"size"_qs << true;
        QTest::newRow("made for another time") << u"time"_qs << true;
        QTest::newRow("without size and time") << u"unstamped"_qs << true;
    }
    void sidecarNotOursIsLeftAlone()
    {
        QFETCH(QString, planted);
        QFETCH(bool, ours);
        if (planted == u"foreign" && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");

        // Our own records must be closed to others even without a umask.
        const mode_t mask = ::umask(0);
        const auto restoreMask = qScopeGuard([mask] { ::umask(mask); });
        ClipFramePrivate::setExtendedAttributesDisabled(true);
        const QString path = freshFile(m_dir.filePath(u"planted/"_qs + planted + u"/clip.mp4"_qs));
        const QString stamps = planted == u"unstamped"
            ? QString()
            : u"\"size\":\"%1\",\"mtime\":\"%2\","_qs.arg(5 + (planted == u"size"))
                  .arg(mtimeNs(path) + (planted == u"time"));
        const QString sidecar = ClipFramePrivate::sidecarPath(path);
        const QString target = planted == u"link" ? path + u".victim"_qs : sidecar;
        if (planted == u"folder") {
            QVERIFY(QDir().mkdir(sidecar));
        } else {
            QVERIFY(
                writeFile(target, "{" + stamps.toUtf8() + "\"attributes\":{\"BadgeData\":\"x\"}}"));
            const mode_t mode = planted == u"group" ? 0620 : planted == u"others" ? 0602 : 0600;
            QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode), 0);
        }
        if (planted == u"link")
            QVERIFY(QFile::link(target, sidecar));
        if (planted == u"foreign")
            QCOMPARE(::chown(QFile::encodeName(sidecar).constData(), 4242, 4242), 0);
        const auto state = [&] {
            const struct stat st = lstatOf(sidecar);
            return u"%1 %2 %3 %4 %5"_qs.arg(st.st_mode)
                .arg(st.st_uid)
                .arg(st.st_ino)
                .arg(mtimeNs(sidecar))
                .arg(mtimeNs(target));
        };
        const QString before = state();

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"ignoring"_qs));
        QCOMPARE(read(path), QString());
        QVERIFY(ClipFrame::setFileAttribute(path, badge, u"mine"_qs));
        QCOMPARE(read(path), u"mine"_qs);
        QCOMPARE(QFileInfo::exists(ClipFramePrivate::userStorePath(path)), !ours);
        if (ours)
            QCOMPARE(lstatOf(sidecar).st_mode & 0777, 0600u);
        QVERIFY(ClipFrame::removeFileAttribute(path, badge));
        QCOMPARE(read(path), QString());
        QVERIFY(!QFileInfo::exists(ClipFramePrivate::userStorePath(path)));
        // Ours: gone; else as it was, and what a link leads to as well.
        QCOMPARE(state(), ours ? u"0 0 0 0 0"_qs : before);
    }
};

QTEST_GUILESS_MAIN(TestClipFrame)
#include "tst_clipframe.moc"
