#include "badges/badgeimages.h"
#include "badges/badger.h"
#include "badges/filecopy.h"
#include "platform/clipframe.h"
#include "platform/usertempdir.h"

#include "mediafixtures.h"
#include "metadatafixture.h"

#include <QDomDocument>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>

namespace {

const QString shareId = u"{0F7B2C11-5E2A-4C61-9D0B-1A2B3C4D5E6F}"_qs;
const QString uploadId = u"{A1B2C3D4-0000-4000-8000-00000000AB01}"_qs;
const QString unknownId = u"{99999999-9999-4999-8999-999999999999}"_qs;
const QString motionId = QString::fromLatin1(motionAppId);

using Entries = QMap<QString, QString>;

// Entries as an independent DOM reading of the stored text sees them.
Entries storedEntries(const QString &path)
{
    QString text;
    if (!ClipFrame::getFileAttribute(path, u"BadgeData"_qs, text))
        return { { u"read"_qs, u"failed"_qs } };
    QDomDocument doc;
    Entries entries;
    doc.setContent(text);
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement())
        entries.insert(e.attribute(u"id"_qs), e.firstChildElement(u"url"_qs).text());
    return entries;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QImage filled(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

// Child modes: the same binary run with one of these as its first argument.
int badgeLoop(const QStringList &args) // --badge-loop <path> <prefix> <count>
{
    for (int i = 0; i < args.at(4).toInt(); ++i) {
        const QString id = u"{%1-%2}"_qs.arg(args.at(3)).arg(i);
        // A lock given up after its bounded wait changed nothing: try again.
        for (int tries = 0; !Badger().badgeContent(id, u"https://e.test/"_qs + id, args.at(2), 0);)
            if (++tries == 30)
                return 1;
    }
    return 0;
}

int copyWithSizeLimit(const QStringList &args) // --copy-limited <source> <destination> <limit>
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit { args.at(4).toULongLong(), args.at(4).toULongLong() };
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 3;
    if (copyFileContents(args.at(2), args.at(3)))
        return 1;
    return QFile::exists(args.at(3)) ? 2 : 0;
}

} // namespace

class TestBadger : public QObject
{
    Q_OBJECT

    // A fresh copy of a fixture, so that no badge carries over between cases.
    QString makeMedia(const QString &name, const QStringList &ids = {})
    {
        const QString path = m_dir.filePath(QString::number(++m_serial) + u'/' + name);
        QDir().mkpath(QFileInfo(path).path());
        QFile::copy(m_clip, path);
        for (const QString &id : ids)
            Badger().badgeContent(id, u"url of "_qs + id, path, 0);
        return path;
    }

    MetadataFixture m_meta;
    QTemporaryDir m_dir;
    QTemporaryDir m_runtime; // private, as the user's runtime folder is
    QTemporaryDir m_shm { u"/dev/shm/tst_badger-XXXXXX"_qs };
    QString m_clip;
    int m_serial = 0;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_meta.isValid() && m_dir.isValid() && m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        m_meta.addApplet(shareId, 8, u"share.png"_qs, Qt::red, u"Share"_qs, u"share"_qs);
        m_meta.addApplet(uploadId, 12, u"upload.png"_qs, Qt::green, u"Upload"_qs, u"upload"_qs);
        m_meta.addApplet(unknownId, 2, u"other.png"_qs, Qt::blue, u"Other"_qs, u"other"_qs);
        m_clip = m_dir.filePath(u"source.mp4"_qs);
        QVERIFY(MediaFixtures::makeClip(m_clip, 65));
        QVERIFY(initBadgeImages());
    }

    void writes_data()
    {
        // A clip badged by the upload applet, that text replaced by "before"
        // unless empty; then id, url pairs written; what is stored after. A
        // refused write keeps what was there.
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<bool>("written");
        QTest::addColumn<Entries>("expected");
        const Entries upload { { uploadId, u"url of "_qs + uploadId } };
        const auto refused = [&](const char *name, const QString &id, const QString &url) {
            QTest::newRow(name) << QString() << QStringList { id, url } << false << upload;
        };
        const QString text = u"https://e.test/a b?x=1&y=<2>\t\n\U0001F600\uE000"_qs;
        QTest::newRow("ids, case, a later url, every kind of character")
            << QString()
            << QStringList { u"{ab}"_qs, u"1"_qs, u"{AB}"_qs, u"2"_qs, u"{ab}"_qs, u"3"_qs,
                   u"{E}"_qs, QString(), u"{a\tb}"_qs, text }
            << true
            << Entries { { u"{ab}"_qs, u"3"_qs }, { u"{AB}"_qs, u"2"_qs }, { u"{E}"_qs, {} },
                   { u"{a\tb}"_qs, text }, { uploadId, upload.first() } };
        // What the writer escapes, and a url of white space alone that a DOM
        // reads as none, in a record read without a DOM.
        const QString escaped = u"https://e.test/?a=<1&b='\"2\"'&amp;\U0001F600"_qs;
        QTest::newRow("escaped characters, white space alone")
            << QString()
            << QStringList { uploadId, u"u"_qs, u"{\"&'<}"_qs, escaped, shareId, u" "_qs } << true
            << Entries { { u"{\"&'<}"_qs, escaped }, { uploadId, u"u"_qs }, { shareId, {} } };
        refused("carriage return", shareId, u"http://a/\r"_qs);
        refused("control character in id", u"{\x1b}"_qs, u"u"_qs);
        refused("surrogates the wrong way round", shareId, QString(QChar(0xdc00)) + QChar(0xd800));
        // Another process's lock: given up after a while instead of waited on.
        refused("file locked elsewhere", shareId, u"locked"_qs);
        // Unreadable text is no badge: replaced, not a failure.
        QTest::newRow("not xml") << u"not xml at all"_qs << QStringList { shareId, u"new"_qs }
                                 << true << Entries { { shareId, u"new"_qs } };
    }
    void writes()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, writes);
        QFETCH(bool, written);
        QFETCH(Entries, expected);
        const QString path = makeMedia(u"v.mp4"_qs, { uploadId });
        if (!before.isEmpty())
            QVERIFY(ClipFrame::setFileAttribute(path, u"BadgeData"_qs, before));
        // An open file of its own: its flock() conflicts like another process's.
        QFile holder(path);
        QVERIFY(holder.open(QIODevice::ReadOnly));
        if (writes.last() == u"locked")
            QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);
        for (qsizetype i = 0; i < writes.size(); i += 2)
            QCOMPARE(Badger().badgeContent(writes.at(i), writes.at(i + 1), path, 0), written);
        holder.close();
        QCOMPARE(storedEntries(path), expected);

        Badger reader;
        QString url = u"unchanged"_qs;
        QVERIFY(reader.initialize(path) && !reader.getUrl(unknownId, url) && url == u"unchanged");
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QVERIFY(reader.getUrl(it.key(), url) && url == it.value());
    }

    void documentFormat()
    {
        const QString path = makeMedia(u"v.mp4"_qs);
        QVERIFY(Badger().badgeContent(u"{1234}"_qs, u"http://a.test/?x=1&y=2"_qs, path, 0));
        QString text;
        QVERIFY(ClipFrame::getFileAttribute(path, u"BadgeData"_qs, text));
        QCOMPARE(text,
            u"<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE BadgeDataDoc>\n<applicaitons>\n"
            " <applicaiton id=\"{1234}\">\n  <url>http://a.test/?x=1&amp;y=2</url>\n"
            " </applicaiton>\n</applicaitons>\n"_qs);
        // What peers write: entries at any depth, the later of an id and
        // only its first direct url; names spelt otherwise are not ours.
        BadgeData data { { u"stale"_qs, u"entry"_qs } };
        QVERIFY(xmlToBadgeData(u"<r><g><applicaiton id=\"A\"><x><url>deep</url></x><url>1</url>"
                               "<url>2</url></applicaiton></g><applicaiton id=\"B\"><url>x</url>"
                               "</applicaiton><applicaiton id=\"B\"><url>y</url></applicaiton>"
                               "<application id=\"C\"><url>z</url></application></r>"_qs,
            &data));
        QCOMPARE(data, (BadgeData { { u"A"_qs, u"1"_qs }, { u"B"_qs, u"y"_qs } }));
        QVERIFY(!xmlToBadgeData(u"<a><b></a>"_qs, &data) && data.isEmpty());
    }

    void twoProcessesLoseNoEntry()
    {
        const int count = 300;
        const QString path = makeMedia(u"shared.mp4"_qs);
        QProcess loops[2];
        for (int i = 0; i < 2; ++i) {
            loops[i].setProcessChannelMode(QProcess::ForwardedChannels);
            loops[i].start(QCoreApplication::applicationFilePath(),
                { u"--badge-loop"_qs, path, QString(QChar(u'A' + i)), QString::number(count) });
        }
        for (QProcess &loop : loops)
            QVERIFY(loop.waitForFinished(240000) && loop.exitStatus() == QProcess::NormalExit
                && loop.exitCode() == 0);
        const Entries entries = storedEntries(path);
        QCOMPARE(entries.size(), 2 * count);
    }

    void copies_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("fromShm"); // another file system: no kernel-side copy
        // A file-size limit of the copying process (0: none), as a full disk
        // would stop it: reported false, and no partial copy left.
        QTest::addColumn<qint64>("limit");
        QTest::newRow("empty") << qint64(0) << false << qint64(0);
        QTest::newRow("block and a byte") << copyBlockSize + 1 << false << qint64(0);
        if (m_shm.isValid())
            QTest::newRow("across file systems") << 2 * copyBlockSize + 1 << true << qint64(0);
        QTest::newRow("full in the first block") << 3 * copyBlockSize << false << qint64(1000);
        QTest::newRow("full in the last block")
            << 3 * copyBlockSize + 9 << true << 3 * copyBlockSize;
    }
    void copies()
    {
        QFETCH(qint64, size);
        QFETCH(bool, fromShm);
        QFETCH(qint64, limit);
        const QString source = (fromShm ? m_shm.path() : m_dir.path()) + u"/bytes.bin";
        const QString destination = m_dir.filePath(u"bytes.copy"_qs);
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char((i * 131 + i / 4096) & 0xff);
        QVERIFY(MetadataFixture::writeFile(source, bytes));
        QVERIFY(MetadataFixture::writeFile(destination, QByteArray(size + 4096, 'x')));
        if (limit > 0) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                { u"--copy-limited"_qs, source, destination, QString::number(limit) });
            QVERIFY(child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
            return;
        }
        int fired = 0; // events keep running between blocks
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&fired] { ++fired; });
        timer.start(0);
        QVERIFY(copyFileContents(source, destination));
        QCOMPARE(contents(destination), bytes);
        QVERIFY(fired >= size / copyBlockSize);
        QVERIFY(!copyFileContents(source, m_dir.filePath(u"no/such/folder"_qs)));
        QVERIFY(
            QFile::remove(destination) && !copyFileContents(m_dir.filePath(u"x"_qs), destination));
        QVERIFY(!QFile::exists(destination));
    }

    void cleanCopy_data()
    {
        QTest::addColumn<QString>("file");
        // Where the copied file lies, or what stands where the copies go.
        QTest::addColumn<QString>("source");
        QTest::newRow("video") << u"Clean Copy.mp4"_qs << u"media folder"_qs;
        QTest::newRow("source in the temp folder") << u"In Temp.mp4"_qs << u"temp folder"_qs;
        QTest::newRow("copy of a clean copy") << u"Again.mp4"_qs << u"earlier copy"_qs;
        QTest::newRow("copies' folder taken") << u"Taken.mp4"_qs << u"file at clean-copies"_qs;
    }
    void cleanCopy()
    {
        QFETCH(QString, file);
        QFETCH(QString, source);
        QString path = makeMedia(file);
        // A file of the copy's name in the temp folder, or the one copied: never touched.
        const bool taken = source == u"file at clean-copies";
        QString other = userTempPath() + u'/' + (taken ? u"clean-copies"_qs : file);
        if (source == u"media folder" || taken) {
            QVERIFY(
                QDir(other).removeRecursively() && MetadataFixture::writeFile(other, "not ours"));
        } else {
            QVERIFY(source == u"temp folder" ? QFile::rename(path, other)
                                             : Badger().createCleanTempCopy(path, other));
            path = other;
        }
        QVERIFY(Badger().badgeContent(shareId, u"url of "_qs + shareId, path, 0));
        const QByteArray before = contents(other);

        Badger badger;
        QString earlier;
        QString copy;
        const bool made
            = badger.createCleanTempCopy(path, earlier) && badger.createCleanTempCopy(path, copy);
        QCOMPARE(made, !taken);
        QCOMPARE(contents(other), before);
        QCOMPARE(storedEntries(path), (Entries { { shareId, u"url of "_qs + shareId } }));
        if (made) {
            QVERIFY(!QFileInfo::exists(earlier)); // our own copy of that name, replaced
            QCOMPARE(QFileInfo(copy).fileName(), file);
            QCOMPARE(contents(copy), contents(path));
            QCOMPARE(storedEntries(copy), Entries());
        }
        QVERIFY(QFile::remove(other) && (!made || QFile::remove(copy)));
    }

    void galleryImages()
    {
        // Motion wins over the video strip; only applets that badge count,
        // and two of them show the shared icon. Videos show their length.
        const QString path = makeMedia(u"v.mp4"_qs, { unknownId, shareId, uploadId, motionId });
        Badger badger;
        QVERIFY(badger.initialize(path));
        QImage image;
        QVERIFY(
            badger.getOverlay(image) && image == motionOverlayImage && image != videoOverlayImage);
        QImage thumbnail = filled(160, 120, Qt::darkCyan);
        QImage expected = thumbnail;
        QPainter painter(&expected);
        painter.drawImage(0, 0, image);
        painter.setFont(QFont(u"Arial"_qs, 8));
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, 160, 120), Qt::AlignRight, u"1:05 "_qs);
        painter.end();
        QVERIFY(badger.decorateThumbnail(thumbnail) && thumbnail == expected);
        QList<BadgeInfo> badges;
        QVERIFY(badger.getBadges(badges) && badges.size() == 2);
        for (const BadgeInfo &info : std::as_const(badges))
            QVERIFY(info.url == u"url of "_qs + info.appId && info.path == path
                && info.caption == (info.appId == shareId ? u"Share"_qs : u"Upload"_qs));
        QVERIFY(badger.getBadgeIcon(image));
        QCOMPARE(image, QImage(QString::fromLatin1(shareIconResource)));
        // The strip is scaled to the width but placed by its own height: one
        // scaled up runs past the bottom edge.
        const QImage base = filled(40, 30, Qt::red);
        QImage strip = base;
        QPainter(&strip).fillRect(0, 27, 40, 3, Qt::blue);
        QCOMPARE(composeOverlay(base, filled(20, 3, Qt::blue), 0), strip);
        QVERIFY(composeOverlay(QImage(), base, 65).isNull());
    }
};

int main(int argc, char *argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == u"--badge-loop" || mode == u"--copy-limited") {
        QCoreApplication app(argc, argv);
        return mode == u"--badge-loop" ? badgeLoop(app.arguments())
                                       : copyWithSizeLimit(app.arguments());
    }
    QGuiApplication app(argc, argv);
    TestBadger test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_badger.moc"
