#include "badges/badgeimages.h"
#include "badges/badger.h"
#include "badges/filecopy.h"
#include "platform/clipframe.h"
#include "platform/clipframe_p.h"
#include "platform/usertempdir.h"

#include "mediafixtures.h"
#include "metadatafixture.h"

#include <QDomDocument>
#include <QFont>
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
        QFile::copy(name.endsWith(u".jpg") ? m_still : m_clip, path);
        for (const QString &id : ids)
            Badger().badgeContent(id, u"url of "_qs + id, path, 0);
        return path;
    }

    MetadataFixture m_meta;
    QTemporaryDir m_dir;
    QTemporaryDir m_runtime; // private, as the user's runtime folder is
    QTemporaryDir m_shm { u"/dev/shm/tst_badger-XXXXXX"_qs };
    QString m_clip;
    QString m_still;
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
        m_still = m_dir.filePath(u"source.jpg"_qs);
        QVERIFY(MediaFixtures::makeClip(m_clip, 65) && MediaFixtures::makeStill(m_still));
        QVERIFY(initBadgeImages());
    }
    void cleanup() { ClipFramePrivate::setExtendedAttributesDisabled(false); }

    void records_data()
    {
        QTest::addColumn<bool>("sidecar");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("writes"); // id, url, id, url ...
        QTest::addColumn<Entries>("expected");
        const QString text = u"https://e.test/a b?x=1&y=<2>\t\n\U0001F600\uE000"_qs;
        for (const bool sidecar : { false, true }) {
            const char *mode = sidecar ? "sidecar" : "xattr";
            QTest::addRow("%s: ids, case, a later url", mode)
                << sidecar << u"v.mp4"_qs
                << QStringList { u"{ab}"_qs, u"1"_qs, u"{AB}"_qs, u"2"_qs, u"{ab}"_qs, u"3"_qs,
                       u"{E}"_qs, QString() }
                << Entries { { u"{ab}"_qs, u"3"_qs }, { u"{AB}"_qs, u"2"_qs }, { u"{E}"_qs, {} } };
            QTest::addRow("%s: photo, every kind of character", mode)
                << sidecar << u"p.jpg"_qs << QStringList { u"{a\tb}"_qs, text }
                << Entries { { u"{a\tb}"_qs, text } };
        }
    }
    void records()
    {
        QFETCH(bool, sidecar);
        QFETCH(QString, file);
        QFETCH(QStringList, writes);
        QFETCH(Entries, expected);
        ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
        const QString path = makeMedia(file);
        for (qsizetype i = 0; i < writes.size(); i += 2)
            QVERIFY(Badger().badgeContent(writes.at(i), writes.at(i + 1), path, 0));
        QCOMPARE(storedEntries(path), expected);

        Badger reader;
        QVERIFY(reader.initialize(path));
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            QString url = u"unchanged"_qs;
            QVERIFY(reader.getUrl(it.key(), url) && url == it.value());
        }
        QString url = u"unchanged"_qs;
        QVERIFY(!reader.getUrl(unknownId, url) && url == u"unchanged");
    }

    void refusedOrReplacingWrite_data()
    {
        QTest::addColumn<QString>("before"); // empty: a good badge of the upload applet
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("written");
        QTest::newRow("control character") << u""_qs << shareId << u"http://a/\x01"_qs << false;
        QTest::newRow("carriage return") << u""_qs << shareId << u"http://a/\r"_qs << false;
        QTest::newRow("control character in id") << u""_qs << u"{\x1b}"_qs << u"u"_qs << false;
        QTest::newRow("lone surrogate") << u""_qs << shareId << QString(QChar(0xd800)) << false;
        QTest::newRow("noncharacter") << u""_qs << shareId << QString(QChar(0xfffe)) << false;
        QTest::newRow("surrogates the wrong way round")
            << u""_qs << shareId << QString(QChar(0xdc00)) + QChar(0xd800) << false;
        // Another process's lock: given up after a while instead of waited on.
        QTest::newRow("file locked elsewhere") << u""_qs << shareId << u"locked"_qs << false;
        // Unreadable text is no badge: replaced, not a failure.
        QTest::newRow("not xml") << u"not xml at all"_qs << shareId << u"new"_qs << true;
        QTest::newRow("too deep for the guard")
            << QString(u"<a>"_qs).repeated(100) << shareId << u"new"_qs << true;
    }
    void refusedOrReplacingWrite()
    {
        QFETCH(QString, before);
        QFETCH(QString, appId);
        QFETCH(QString, url);
        QFETCH(bool, written);
        const QString path = makeMedia(u"v.mp4"_qs, { uploadId });
        if (!before.isEmpty())
            QVERIFY(ClipFrame::setFileAttribute(path, u"BadgeData"_qs, before));
        Badger badger;
        QVERIFY(badger.initialize(path));
        QCOMPARE(badger.hasBadges(), before.isEmpty());
        // An open file of its own: its flock() conflicts like another process's.
        QFile holder(path);
        QVERIFY(holder.open(QIODevice::ReadOnly));
        if (url == u"locked")
            QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);
        QCOMPARE(badger.badgeContent(appId, url, path, 0), written);
        holder.close();
        const Entries kept { { uploadId, u"url of "_qs + uploadId } };
        QCOMPARE(storedEntries(path), (written ? Entries { { appId, url } } : kept));
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

    void reportsMissingFiles()
    {
        const QString missing = m_dir.filePath(u"Missing/Clip.mp4"_qs);
        Badger badger;
        QString text = u"unchanged"_qs;
        QVERIFY(!badger.createCleanTempCopy(missing, text) && text == u"unchanged");
        QVERIFY(!badger.badgeContent(shareId, text, missing, 0) && !badger.clearTags(missing));
        QVERIFY(!badger.initialize(missing) && !badger.getBadgeContent(missing, text));
        QCOMPARE(text, u"Badger::getBadgeContent() - path does not exist: "_qs + missing);
    }

    void twoProcessesLoseNoEntry()
    {
        const int count = 300;
        const QString path = makeMedia(u"shared.mp4"_qs);
        QProcess first;
        QProcess second;
        for (QProcess *process : { &first, &second }) {
            process->setProcessChannelMode(QProcess::ForwardedChannels);
            process->start(QCoreApplication::applicationFilePath(),
                { u"--badge-loop"_qs, path, process == &first ? u"A"_qs : u"B"_qs,
                    QString::number(count) });
        }
        for (QProcess *process : { &first, &second }) {
            QVERIFY(process->waitForFinished(240000));
            QCOMPARE(process->exitStatus(), QProcess::NormalExit);
            QCOMPARE(process->exitCode(), 0);
        }
        const Entries entries = storedEntries(path);
        QCOMPARE(entries.size(), 2 * count);
        QVERIFY(entries.contains(u"{A-0}"_qs) && entries.contains(u"{B-299}"_qs));
    }

    void copiesEveryByte_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("fromShm"); // another file system: no kernel-side copy
        QTest::newRow("empty") << qint64(0) << false;
        QTest::newRow("block and a byte") << copyBlockSize + 1 << false;
        QTest::newRow("three blocks less one") << 3 * copyBlockSize - 1 << false;
        if (m_shm.isValid())
            QTest::newRow("across file systems") << 2 * copyBlockSize + 1 << true;
    }
    void copiesEveryByte()
    {
        QFETCH(qint64, size);
        QFETCH(bool, fromShm);
        const QString source = (fromShm ? m_shm.path() : m_dir.path()) + u"/bytes.bin";
        const QString destination = m_dir.filePath(u"bytes.copy"_qs);
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char((i * 131 + i / 4096) & 0xff);
        QVERIFY(MetadataFixture::writeFile(source, bytes));
        QVERIFY(MetadataFixture::writeFile(destination, QByteArray(size + 4096, 'x')));
        int fired = 0; // events keep running between blocks
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&fired] { ++fired; });
        timer.start(0);
        QVERIFY(copyFileContents(source, destination));
        QCOMPARE(contents(destination), bytes);
        QVERIFY(fired >= size / copyBlockSize);
        QVERIFY(QFile::remove(source));
    }
    void copyFailsOnFullDisk()
    {
        const QString source = m_dir.filePath(u"large.bin"_qs);
        const QString destination = m_dir.filePath(u"large.copy"_qs);
        QVERIFY(MetadataFixture::writeFile(source, QByteArray(3 * copyBlockSize + 100, 'z')));
        QVERIFY(!copyFileContents(source, m_dir.filePath(u"no/such/folder"_qs)));
        QVERIFY(!copyFileContents(m_dir.filePath(u"absent"_qs), destination));
        QVERIFY(!QFile::exists(destination));
        for (const qint64 limit : { qint64(1000), copyBlockSize, 2 * copyBlockSize + 7 }) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                { u"--copy-limited"_qs, source, destination, QString::number(limit) });
            QVERIFY(child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0); // reported false, and no partial copy left
        }
    }

    void cleanCopy_data()
    {
        QTest::addColumn<bool>("sidecar");
        QTest::addColumn<QString>("file");
        // Where the copied file lies, or what stands where the copies go.
        QTest::addColumn<QString>("source");
        QTest::newRow("video") << false << u"Clean Copy.mp4"_qs << u"media folder"_qs;
        QTest::newRow("photo, sidecar") << true << u"Clean Copy.jpg"_qs << u"media folder"_qs;
        QTest::newRow("named like the bus socket") << false << u"bus"_qs << u"media folder"_qs;
        QTest::newRow("source in the temp folder")
            << true << u"In Temp.mp4"_qs << u"temp folder"_qs;
        QTest::newRow("copy of a clean copy") << false << u"Again.mp4"_qs << u"earlier copy"_qs;
        QTest::newRow("copies' folder taken")
            << false << u"Taken.mp4"_qs << u"file at clean-copies"_qs;
    }
    void cleanCopy()
    {
        QFETCH(bool, sidecar);
        QFETCH(QString, file);
        QFETCH(QString, source);
        ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
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

    void galleryImages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("overlay"); // "video", "motion" or none
        QTest::addColumn<QString>("icon"); // "share", the applet's colour, or none
        const QStringList shareAndUpload { shareId, uploadId };
        QTest::newRow("plain video") << u"v.mp4"_qs << QStringList() << u"video"_qs << QString();
        QTest::newRow("motion video")
            << u"v.mp4"_qs << QStringList { motionId } << u"motion"_qs << QString();
        QTest::newRow("badged photo")
            << u"p.jpg"_qs << QStringList { shareId } << QString() << u"#ff0000"_qs;
        QTest::newRow("photo: two badges, motion")
            << u"p.jpg"_qs << shareAndUpload + QStringList { motionId } << u"motion"_qs
            << u"share"_qs;
        QTest::newRow("no badge applet, one")
            << u"v.mp4"_qs << QStringList { unknownId, uploadId } << u"video"_qs << u"#00ff00"_qs;
    }
    void galleryImages()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, ids);
        QFETCH(QString, overlay);
        QFETCH(QString, icon);
        const QString path = makeMedia(file, ids);
        Badger badger;
        QVERIFY(badger.initialize(path));
        QImage image;
        QCOMPARE(badger.getOverlay(image), !overlay.isEmpty());
        QVERIFY(videoOverlayImage != motionOverlayImage);
        QCOMPARE(image,
            overlay.isEmpty()         ? QImage()
                : overlay == u"video" ? videoOverlayImage
                                      : motionOverlayImage);
        // Videos show their length on the strip.
        QImage thumbnail = filled(160, 120, Qt::darkCyan);
        const QImage expected = image.isNull()
            ? thumbnail
            : composeOverlay(thumbnail, image, file.endsWith(u".mp4") ? 65 : 0);
        QCOMPARE(badger.decorateThumbnail(thumbnail), !overlay.isEmpty());
        QCOMPARE(thumbnail, expected);

        QList<BadgeInfo> badges { BadgeInfo() };
        QCOMPARE(badger.getBadges(badges), !icon.isEmpty());
        QCOMPARE(badger.hasBadges(), !icon.isEmpty());
        QCOMPARE(badges.size(), icon == u"share" ? 2 : icon.isEmpty() ? 0 : 1);
        for (const BadgeInfo &info : std::as_const(badges)) {
            QVERIFY(info.url == u"url of "_qs + info.appId && info.path == path);
            QCOMPARE(info.caption, info.appId == shareId ? u"Share"_qs : u"Upload"_qs);
        }
        image = QImage();
        QCOMPARE(badger.getBadgeIcon(image), !icon.isEmpty());
        if (icon == u"share")
            QCOMPARE(image, QImage(QString::fromLatin1(shareIconResource)));
        else
            QCOMPARE(image.isNull() ? QColor() : image.pixelColor(4, 4), QColor(icon));
    }

    void composesOverlay()
    {
        // The strip is scaled to the width but placed by its own height: one
        // scaled up runs past the bottom edge.
        const QImage base = filled(40, 30, Qt::red);
        QImage expected = base;
        QPainter(&expected).fillRect(0, 27, 40, 3, Qt::blue);
        QCOMPARE(composeOverlay(base, filled(20, 3, Qt::blue), 0), expected);
        QCOMPARE(composeOverlay(base, QImage(), 0), base);
        QVERIFY(composeOverlay(QImage(), base, 65).isNull());
        // The length as "m:ss " at the strip's right edge.
        expected = composeOverlay(base, filled(40, 16, Qt::black), 0);
        QPainter painter(&expected);
        painter.setFont(QFont(u"Arial"_qs, 8));
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 14, 40, 16), Qt::AlignRight, u"59:59 "_qs);
        painter.end();
        QCOMPARE(composeOverlay(base, filled(40, 16, Qt::black), 3599), expected);
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
