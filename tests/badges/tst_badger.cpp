#include "badges/badgeimages.h"
#include "badges/badger.h"
#include "badges/filecopy.h"
#include "platform/clipframe.h"
#include "platform/clipframe_p.h"
#include "platform/usertempdir.h"

#include "mediafixtures.h"
#include "metadatafixture.h"

#include <QDomDocument>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>

namespace {

const QString shareId = QStringLiteral("{0F7B2C11-5E2A-4C61-9D0B-1A2B3C4D5E6F}");
const QString uploadId = QStringLiteral("{A1B2C3D4-0000-4000-8000-00000000AB01}");
const QString unknownId = QStringLiteral("{99999999-9999-4999-8999-999999999999}");
const QString motionId = QString::fromLatin1(motionAppId);

const QString badgeName = QStringLiteral("BadgeData");

using Entries = QMap<QString, QString>;

// Entries as an independent DOM reading of the stored text sees them.
Entries storedEntries(const QString &path)
{
    QString text;
    if (!ClipFrame::getFileAttribute(path, badgeName, text))
        return { { QStringLiteral("read"), QStringLiteral("failed") } };
    QDomDocument doc;
    Entries entries;
    if (text.isEmpty() || !doc.setContent(text))
        return entries;
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement())
        entries.insert(
            e.attribute(QStringLiteral("id")), e.firstChildElement(QStringLiteral("url")).text());
    return entries;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 4096) & 0xff);
    return bytes;
}

// Child modes: the same binary run with one of these as its first argument.
int badgeLoop(const QStringList &args)
{
    // --badge-loop <path> <prefix> <count> <sidecar>
    ClipFramePrivate::setExtendedAttributesDisabled(args.at(5) == u"1");
    const int count = args.at(4).toInt();
    for (int i = 0; i < count; ++i) {
        const QString id
            = QStringLiteral("{%1-%2}").arg(args.at(3)).arg(i, 4, 10, QLatin1Char('0'));
        // The lock wait is bounded, so a loaded machine may refuse a write
        // (reported, as a user would see it); what succeeded must never be lost.
        for (int tries = 1;; ++tries) {
            Badger badger;
            if (badger.badgeContent(id, QStringLiteral("https://example.test/") + id, args.at(2), 0))
                break;
            if (tries == 20)
                return 1;
        }
    }
    return 0;
}

int copyWithSizeLimit(const QStringList &args)
{
    // --copy-limited <source> <destination> <limit in bytes>
    std::signal(SIGXFSZ, SIG_IGN);
    const rlim_t limit = args.at(4).toULongLong();
    const rlimit rl { limit, limit };
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
        return 3;
    if (copyFileContents(args.at(2), args.at(3)))
        return 1;
    return QFile::exists(args.at(3)) ? 2 : 0;
}

} // namespace

class TestBadger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void records_data();
    void records();
    void refusedWriteKeepsTheBadge_data();
    void refusedWriteKeepsTheBadge();
    void replacesUnreadableText_data();
    void replacesUnreadableText();
    void keepsCapitalsInThePath_data();
    void keepsCapitalsInThePath();
    void writesTheDocumentFormat();
    void readsBadgeXml_data();
    void readsBadgeXml();
    void reportsMissingFiles();
    void twoProcessesLoseNoEntry_data();
    void twoProcessesLoseNoEntry();

    void copiesEveryByte_data();
    void copiesEveryByte();
    void copyRunsEvents();
    void copyFailsOnUnwritableDestination();
    void copyFailsOnFullDisk();
    void cleanCopyDropsTheBadge_data();
    void cleanCopyDropsTheBadge();

    void choosesOverlay_data();
    void choosesOverlay();
    void decoratesVideoWithDuration();
    void badgeIcon_data();
    void badgeIcon();

private:
    QString makeMedia(const QString &name);

    MetadataFixture m_meta;
    QTemporaryDir m_dir;
    QTemporaryDir m_runtime; // private, as the user's runtime folder is
    QString m_clip;
    QString m_still;
    int m_serial = 0;
};

void TestBadger::initTestCase()
{
    QVERIFY(m_meta.isValid() && m_dir.isValid() && m_runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    m_meta.addApplet(shareId, 8, QStringLiteral("share.png"), Qt::red, QStringLiteral("Share"),
        QStringLiteral("share"));
    m_meta.addApplet(uploadId, 12, QStringLiteral("upload.png"), Qt::green,
        QStringLiteral("Upload"), QStringLiteral("upload"));
    m_meta.addApplet(unknownId, 2, QStringLiteral("other.png"), Qt::blue, QStringLiteral("Other"),
        QStringLiteral("other"));
    m_clip = m_dir.filePath(QStringLiteral("source.mp4"));
    m_still = m_dir.filePath(QStringLiteral("source.jpg"));
    QVERIFY(MediaFixtures::makeClip(m_clip, 65));
    QVERIFY(MediaFixtures::makeStill(m_still));
    QVERIFY(initBadgeImages());
}

void TestBadger::cleanup()
{
    ClipFramePrivate::setExtendedAttributesDisabled(false);
}

// A fresh copy of a fixture, so that no badge carries over between cases.
QString TestBadger::makeMedia(const QString &name)
{
    const QString folder = m_dir.filePath(QString::number(++m_serial));
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name;
    const bool video = !name.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive);
    QFile::copy(video ? m_clip : m_still, path);
    return path;
}

void TestBadger::records_data()
{
    QTest::addColumn<bool>("sidecar");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("writes"); // id, url, id, url ...
    QTest::addColumn<Entries>("expected");

    const QString a = QStringLiteral("{AAAA}");
    const QString b = QStringLiteral("{BBBB}");
    for (const bool sidecar : { false, true }) {
        const char *mode = sidecar ? "sidecar" : "xattr";
        const auto row = [&](const char *name) {
            return &(QTest::addRow("%s: %s", mode, name) << sidecar);
        };
        *row("first badge") << QStringLiteral("v.mp4") << QStringList { a, QStringLiteral("u1") }
                            << Entries { { a, QStringLiteral("u1") } };
        *row("second id") << QStringLiteral("v.mp4")
                          << QStringList { a, QStringLiteral("u1"), b, QStringLiteral("u2") }
                          << Entries { { a, QStringLiteral("u1") }, { b, QStringLiteral("u2") } };
        *row("same id twice") << QStringLiteral("v.mp4")
                              << QStringList { a, QStringLiteral("u1"), a, QStringLiteral("u2") }
                              << Entries { { a, QStringLiteral("u2") } };
        *row("empty url") << QStringLiteral("v.mp4") << QStringList { a, QString() }
                          << Entries { { a, QString() } };
        *row("photo") << QStringLiteral("p.jpg")
                      << QStringList { a, QStringLiteral("u1"), b, QStringLiteral("u&<2>") }
                      << Entries { { a, QStringLiteral("u1") }, { b, QStringLiteral("u&<2>") } };
        *row("ids differing in case") << QStringLiteral("v.mp4")
                                      << QStringList { QStringLiteral("{ab}"), QStringLiteral("1"),
                                             QStringLiteral("{AB}"), QStringLiteral("2") }
                                      << Entries { { QStringLiteral("{ab}"), QStringLiteral("1") },
                                             { QStringLiteral("{AB}"), QStringLiteral("2") } };
        *row("beyond the basic plane")
            << QStringLiteral("v.mp4")
            << QStringList { a, QStringLiteral("https://e.test/\U0001F600") }
            << Entries { { a, QStringLiteral("https://e.test/\U0001F600") } };
        *row("tab and line feed") << QStringLiteral(
            "v.mp4") << QStringList { QStringLiteral("{a\tb}"), QStringLiteral("line\nnext\tend") }
                                  << Entries { { QStringLiteral("{a\tb}"),
                                         QStringLiteral("line\nnext\tend") } };
    }
}

void TestBadger::records()
{
    QFETCH(bool, sidecar);
    QFETCH(QString, file);
    QFETCH(QStringList, writes);
    QFETCH(Entries, expected);

    ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
    const QString path = makeMedia(file);
    for (qsizetype i = 0; i < writes.size(); i += 2) {
        Badger badger;
        QVERIFY(badger.badgeContent(writes.at(i), writes.at(i + 1), path, 0));
    }
    QCOMPARE(storedEntries(path), expected);

    Badger reader;
    QVERIFY(reader.initialize(path));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QString url = QStringLiteral("unchanged");
        QVERIFY(reader.getUrl(it.key(), url));
        QCOMPARE(url, it.value());
    }
    QString url = QStringLiteral("unchanged");
    QVERIFY(!reader.getUrl(unknownId, url));
    QCOMPARE(url, QStringLiteral("unchanged"));
}

void TestBadger::refusedWriteKeepsTheBadge_data()
{
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("lockedElsewhere");

    QTest::newRow("control character in url")
        << shareId << QStringLiteral("http://a/\x01") << false;
    QTest::newRow("carriage return in url") << shareId << QStringLiteral("http://a/\r") << false;
    QTest::newRow("control character in id")
        << QStringLiteral("{\x1b}") << QStringLiteral("u") << false;
    QTest::newRow("lone surrogate") << shareId << QString(QChar(0xd800)) << false;
    QTest::newRow("noncharacter") << shareId << QString(QChar(0xfffe)) << false;
    QTest::newRow("low surrogate first")
        << shareId << QString(QChar(0xdc00)) + QChar(0xd800) << false;
    // Another process's lock: given up after a while instead of waiting on.
    QTest::newRow("file locked elsewhere") << shareId << QStringLiteral("http://a/") << true;
}

void TestBadger::refusedWriteKeepsTheBadge()
{
    QFETCH(QString, appId);
    QFETCH(QString, url);
    QFETCH(bool, lockedElsewhere);

    const QString path = makeMedia(QStringLiteral("v.mp4"));
    Badger badger;
    QVERIFY(badger.badgeContent(uploadId, QStringLiteral("kept"), path, 0));
    // An open file of its own: its flock() conflicts like another process's.
    QFile holder(path);
    QVERIFY(holder.open(QIODevice::ReadOnly));
    if (lockedElsewhere)
        QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);
    QVERIFY(!badger.badgeContent(appId, url, path, 0));
    holder.close();
    QCOMPARE(storedEntries(path), (Entries { { uploadId, QStringLiteral("kept") } }));
}

void TestBadger::replacesUnreadableText_data()
{
    QTest::addColumn<bool>("sidecar");
    QTest::addColumn<QString>("text");

    for (const bool sidecar : { false, true }) {
        const char *mode = sidecar ? "sidecar" : "xattr";
        QTest::addRow("%s: not xml", mode) << sidecar << QStringLiteral("not xml at all");
        QTest::addRow("%s: truncated", mode)
            << sidecar << QStringLiteral("<applicaitons><applicaiton id=\"{A}\"><url>x</u");
        QTest::addRow("%s: too deep for the guard", mode)
            << sidecar << QString(QStringLiteral("<a>").repeated(100) + QStringLiteral("<x/>"));
    }
}

void TestBadger::replacesUnreadableText()
{
    QFETCH(bool, sidecar);
    QFETCH(QString, text);

    ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
    const QString path = makeMedia(QStringLiteral("v.mp4"));
    QVERIFY(ClipFrame::setFileAttribute(path, badgeName, text));
    Badger badger;
    QVERIFY(badger.initialize(path)); // unreadable text is no badge, not a failure
    QVERIFY(!badger.hasBadges());
    QVERIFY(badger.badgeContent(shareId, QStringLiteral("new"), path, 0));
    QCOMPARE(storedEntries(path), (Entries { { shareId, QStringLiteral("new") } }));
}

void TestBadger::keepsCapitalsInThePath_data()
{
    QTest::addColumn<bool>("sidecar");
    QTest::newRow("xattr") << false;
    QTest::newRow("sidecar") << true;
}

void TestBadger::keepsCapitalsInThePath()
{
    QFETCH(bool, sidecar);

    ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
    const QString folder = m_dir.filePath(QStringLiteral("Capital %1").arg(sidecar));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Clip.MP4");
    QVERIFY(QFile::copy(m_clip, path));

    Badger badger;
    QVERIFY(badger.badgeContent(uploadId, QStringLiteral("https://v.test/1"), path, 0));
    QString xml;
    BadgeData data;
    QVERIFY(badger.getBadgeContent(path, xml, &data));
    QCOMPARE(data.value(uploadId), QStringLiteral("https://v.test/1"));

    Badger reader;
    QVERIFY(reader.initialize(path));
    QString url;
    QVERIFY(reader.getUrl(uploadId, url));
    QCOMPARE(url, QStringLiteral("https://v.test/1"));
}

void TestBadger::writesTheDocumentFormat()
{
    const QString path = makeMedia(QStringLiteral("v.mp4"));
    Badger badger;
    QVERIFY(badger.badgeContent(
        QStringLiteral("{1234}"), QStringLiteral("http://a.test/?x=1&y=2"), path, 0));
    QString text;
    QVERIFY(ClipFrame::getFileAttribute(path, badgeName, text));
    QCOMPARE(text,
        QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n"
                       "<!DOCTYPE BadgeDataDoc>\n"
                       "<applicaitons>\n"
                       " <applicaiton id=\"{1234}\">\n"
                       "  <url>http://a.test/?x=1&amp;y=2</url>\n"
                       " </applicaiton>\n"
                       "</applicaitons>\n"));
}

void TestBadger::readsBadgeXml_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<Entries>("expected");

    QTest::newRow("empty") << QString() << false << Entries();
    QTest::newRow("not xml") << QStringLiteral("<a><b></a>") << false << Entries();
    QTest::newRow("deep entries") << QStringLiteral(
        "<applicaitons><group><applicaiton id=\"{A}\"><url>x</url>"
        "</applicaiton><more><applicaiton id=\"{B}\"><url>y</url></applicaiton>"
        "</more></group></applicaitons>")
                                  << true
                                  << Entries { { QStringLiteral("{A}"), QStringLiteral("x") },
                                         { QStringLiteral("{B}"), QStringLiteral("y") } };
    QTest::newRow("later entry wins")
        << QStringLiteral("<r><applicaiton id=\"{A}\"><url>x</url></applicaiton>"
                          "<applicaiton id=\"{A}\"><url>y</url></applicaiton></r>")
        << true << Entries { { QStringLiteral("{A}"), QStringLiteral("y") } };
    QTest::newRow("no url, no id")
        << QStringLiteral("<r><applicaiton id=\"{A}\"/><applicaiton><url>z</url></applicaiton></r>")
        << true
        << Entries { { QStringLiteral("{A}"), QString() }, { QString(), QStringLiteral("z") } };
    QTest::newRow("only the first direct url")
        << QStringLiteral("<r><applicaiton id=\"{A}\"><x><url>deep</url></x><url>1</url>"
                          "<url>2</url></applicaiton></r>")
        << true << Entries { { QStringLiteral("{A}"), QStringLiteral("1") } };
    QTest::newRow("correctly spelt names are not ours") << QStringLiteral(
        "<applications><application id=\"{A}\"><url>x</url></application>"
        "</applications>") << true << Entries();
}

void TestBadger::readsBadgeXml()
{
    QFETCH(QString, xml);
    QFETCH(bool, parsed);
    QFETCH(Entries, expected);

    BadgeData data { { QStringLiteral("stale"), QStringLiteral("entry") } };
    QCOMPARE(xmlToBadgeData(xml, &data), parsed);
    Entries read;
    for (auto it = data.cbegin(); it != data.cend(); ++it)
        read.insert(it.key(), it.value());
    QCOMPARE(read, expected);
}

void TestBadger::reportsMissingFiles()
{
    const QString missing = m_dir.filePath(QStringLiteral("Missing/Clip.mp4"));
    Badger badger;
    QString xml;
    QVERIFY(!badger.getBadgeContent(missing, xml));
    QCOMPARE(xml, QStringLiteral("Badger::getBadgeContent() - path does not exist: ") + missing);
    QVERIFY(!badger.badgeContent(shareId, QStringLiteral("u"), missing, 0));
    QVERIFY(!badger.clearTags(missing));
    QVERIFY(!badger.initialize(missing));
    QVERIFY(!badger.initialize(QString()));
    QString copy = QStringLiteral("unchanged");
    QVERIFY(!badger.createCleanTempCopy(missing, copy));
    QCOMPARE(copy, QStringLiteral("unchanged"));
}

void TestBadger::twoProcessesLoseNoEntry_data()
{
    QTest::addColumn<bool>("sidecar");
    QTest::newRow("xattr") << false;
    QTest::newRow("sidecar") << true;
}

void TestBadger::twoProcessesLoseNoEntry()
{
    QFETCH(bool, sidecar);

    const int count = 500;
    const QString path = makeMedia(QStringLiteral("shared.mp4"));
    QProcess first;
    QProcess second;
    for (const auto &[process, prefix] :
        { std::pair(&first, QStringLiteral("A")), std::pair(&second, QStringLiteral("B")) }) {
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--badge-loop"), path, prefix, QString::number(count),
                QString::number(int(sidecar)) });
    }
    for (QProcess *process : { &first, &second }) {
        QVERIFY(process->waitForFinished(240000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
    }

    ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
    const Entries entries = storedEntries(path);
    QCOMPARE(entries.size(), 2 * count);
    QVERIFY(entries.contains(QStringLiteral("{A-0000}")));
    QVERIFY(entries.contains(QStringLiteral("{B-0499}")));
}

void TestBadger::copiesEveryByte_data()
{
    QTest::addColumn<qint64>("size");

    QTest::newRow("empty") << qint64(0);
    QTest::newRow("one byte") << qint64(1);
    QTest::newRow("2048 bytes") << qint64(2048);
    QTest::newRow("one block") << copyBlockSize;
    QTest::newRow("block and a byte") << copyBlockSize + 1;
    QTest::newRow("three blocks less one") << 3 * copyBlockSize - 1;
}

void TestBadger::copiesEveryByte()
{
    QFETCH(qint64, size);

    const QString source = m_dir.filePath(QStringLiteral("bytes.bin"));
    const QString destination = m_dir.filePath(QStringLiteral("bytes.copy"));
    const QByteArray bytes = pattern(size);
    QVERIFY(MetadataFixture::writeFile(source, bytes));
    QVERIFY(MetadataFixture::writeFile(destination, QByteArray(size + 4096, 'x')));
    QVERIFY(copyFileContents(source, destination));
    QCOMPARE(contents(destination), bytes);
}

void TestBadger::copyRunsEvents()
{
    const QString source = m_dir.filePath(QStringLiteral("events.bin"));
    QVERIFY(MetadataFixture::writeFile(source, pattern(4 * copyBlockSize)));
    int fired = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&fired] { ++fired; });
    timer.start(0);
    QVERIFY(copyFileContents(source, m_dir.filePath(QStringLiteral("events.copy"))));
    QVERIFY(fired >= 3);
}

void TestBadger::copyFailsOnUnwritableDestination()
{
    const QString path = makeMedia(QStringLiteral("v.mp4"));
    QVERIFY(!copyFileContents(path, m_dir.filePath(QStringLiteral("no/such/folder/copy.mp4"))));
    QVERIFY(!copyFileContents(path, m_dir.path())); // a folder
    QVERIFY(!copyFileContents(
        m_dir.filePath(QStringLiteral("absent.mp4")), m_dir.filePath(QStringLiteral("never.mp4"))));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("never.mp4"))));

    // Where the copies' folder should be stands something else: kept, no copy.
    const QString taken = userTempPath() + QStringLiteral("/clean-copies");
    QDir(taken).removeRecursively();
    QVERIFY(MetadataFixture::writeFile(taken, "not a folder"));
    Badger badger;
    QString copy;
    QVERIFY(!badger.createCleanTempCopy(path, copy));
    QVERIFY(copy.isEmpty());
    QCOMPARE(contents(taken), QByteArray("not a folder"));
    QVERIFY(QFile::remove(taken));
}

void TestBadger::copyFailsOnFullDisk()
{
    const QString source = m_dir.filePath(QStringLiteral("large.bin"));
    const QString destination = m_dir.filePath(QStringLiteral("large.copy"));
    QVERIFY(MetadataFixture::writeFile(source, pattern(3 * copyBlockSize + 100)));

    for (const qint64 limit : { qint64(1000), copyBlockSize, 2 * copyBlockSize + 7 }) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--copy-limited"), source, destination, QString::number(limit) });
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        // 0: reported false and left no partial copy behind.
        QCOMPARE(child.exitCode(), 0);
    }
}

void TestBadger::cleanCopyDropsTheBadge_data()
{
    QTest::addColumn<bool>("sidecar");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("source"); // in the media folder, a file of its name in temp
    const QString media = QStringLiteral("media folder");
    QTest::newRow("xattr video") << false << QStringLiteral("Clean Copy.mp4") << media;
    QTest::newRow("sidecar video") << true << QStringLiteral("Clean Copy.mp4") << media;
    QTest::newRow("xattr photo") << false << QStringLiteral("Clean Copy.jpg") << media;
    QTest::newRow("sidecar photo") << true << QStringLiteral("Clean Copy.jpg") << media;
    QTest::newRow("named like the bus socket") << false << QStringLiteral("bus") << media;
    QTest::newRow("source in the temp folder")
        << true << QStringLiteral("In Temp.mp4") << QStringLiteral("temp folder");
    QTest::newRow("copy of a clean copy")
        << false << QStringLiteral("Again.mp4") << QStringLiteral("earlier copy");
}

void TestBadger::cleanCopyDropsTheBadge()
{
    QFETCH(bool, sidecar);
    QFETCH(QString, file);
    QFETCH(QString, source);

    ClipFramePrivate::setExtendedAttributesDisabled(sidecar);
    QString path = makeMedia(file);
    QString inTemp = userTempPath() + u'/' + file; // must come through unchanged
    if (source == u"temp folder") {
        QVERIFY(QFile::rename(path, inTemp));
    } else if (source == u"earlier copy") {
        Badger first;
        QVERIFY(first.createCleanTempCopy(path, inTemp));
    } else {
        QVERIFY(MetadataFixture::writeFile(inTemp, "not ours"));
    }
    path = source == u"media folder" ? path : inTemp;
    Badger badger;
    QVERIFY(badger.badgeContent(shareId, QStringLiteral("u"), path, 0));
    const QByteArray before = contents(inTemp);

    QString earlier;
    QVERIFY(badger.createCleanTempCopy(path, earlier));
    QString copy;
    QVERIFY(badger.createCleanTempCopy(path, copy));
    QCOMPARE(contents(inTemp), before);
    QCOMPARE(storedEntries(path), (Entries { { shareId, QStringLiteral("u") } }));
    QVERIFY(!QFileInfo::exists(earlier)); // our own copy of that name, replaced
    QCOMPARE(QFileInfo(copy).fileName(), file);
    QCOMPARE(contents(copy), contents(path));
    QString text = QStringLiteral("unread");
    QVERIFY(ClipFrame::getPhotoFileAttribute(copy, text));
    QCOMPARE(text, QString());
    QVERIFY(QFile::remove(copy) && QFile::remove(inTemp));
}

void TestBadger::choosesOverlay_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("overlay"); // "video", "motion" or empty for none

    QTest::newRow("video without badges") << QStringLiteral("v.mp4") << QStringList() << "video";
    QTest::newRow("badged video") << QStringLiteral("v.mp4") << QStringList { shareId } << "video";
    QTest::newRow("motion video") << QStringLiteral("v.mp4") << QStringList { motionId }
                                  << "motion";
    QTest::newRow("motion photo") << QStringLiteral("p.jpg") << QStringList { shareId, motionId }
                                  << "motion";
    QTest::newRow("badged photo") << QStringLiteral("p.jpg") << QStringList { shareId }
                                  << QString();
    QTest::newRow("plain photo") << QStringLiteral("p.jpg") << QStringList() << QString();
}

void TestBadger::choosesOverlay()
{
    QFETCH(QString, file);
    QFETCH(QStringList, ids);
    QFETCH(QString, overlay);

    const QString path = makeMedia(file);
    for (const QString &id : std::as_const(ids)) {
        Badger writer;
        QVERIFY(writer.badgeContent(id, QStringLiteral("u"), path, 0));
    }
    Badger badger;
    QVERIFY(badger.initialize(path));
    QImage image;
    QCOMPARE(badger.getOverlay(image), !overlay.isEmpty());
    QImage thumbnail(160, 120, QImage::Format_ARGB32_Premultiplied);
    thumbnail.fill(Qt::darkCyan);
    const QImage original = thumbnail;
    QCOMPARE(badger.decorateThumbnail(thumbnail), !overlay.isEmpty());
    if (overlay.isEmpty()) {
        QVERIFY(image.isNull());
        QCOMPARE(thumbnail, original);
        return;
    }
    QCOMPARE(image, overlay == u"motion" ? motionOverlayImage : videoOverlayImage);
    QVERIFY(videoOverlayImage != motionOverlayImage);
    QVERIFY(thumbnail != original);
}

void TestBadger::decoratesVideoWithDuration()
{
    const QString path = makeMedia(QStringLiteral("v.mp4"));
    Badger badger;
    QVERIFY(badger.initialize(path));
    QImage thumbnail(160, 120, QImage::Format_ARGB32_Premultiplied);
    thumbnail.fill(Qt::darkCyan);
    const QImage withoutText = composeOverlay(thumbnail, videoOverlayImage, 0);
    const QImage expected = composeOverlay(thumbnail, videoOverlayImage, 65);
    QVERIFY(badger.decorateThumbnail(thumbnail));
    QCOMPARE(thumbnail, expected);
    QVERIFY(thumbnail != withoutText);
}

void TestBadger::badgeIcon_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("icon"); // "share", a colour, or empty for none
    QTest::addColumn<int>("badges");

    QTest::newRow("none") << QStringList() << QString() << 0;
    QTest::newRow("one") << QStringList { shareId } << QStringLiteral("#ff0000") << 1;
    QTest::newRow("other one") << QStringList { uploadId } << QStringLiteral("#00ff00") << 1;
    QTest::newRow("two") << QStringList { shareId, uploadId } << QStringLiteral("share") << 2;
    QTest::newRow("not a badge application") << QStringList { unknownId } << QString() << 0;
    QTest::newRow("one known, one not")
        << QStringList { unknownId, uploadId } << QStringLiteral("#00ff00") << 1;
}

void TestBadger::badgeIcon()
{
    QFETCH(QStringList, ids);
    QFETCH(QString, icon);
    QFETCH(int, badges);

    const QString path = makeMedia(QStringLiteral("v.mp4"));
    for (const QString &id : std::as_const(ids)) {
        Badger writer;
        QVERIFY(writer.badgeContent(id, QStringLiteral("url of ") + id, path, 0));
    }
    Badger badger;
    QVERIFY(badger.initialize(path));
    QList<BadgeInfo> list { BadgeInfo() };
    QCOMPARE(badger.getBadges(list), badges > 0);
    QCOMPARE(list.size(), badges);
    QCOMPARE(badger.hasBadges(), badges > 0);
    for (const BadgeInfo &info : std::as_const(list)) {
        QCOMPARE(info.url, QStringLiteral("url of ") + info.appId);
        QCOMPARE(info.path, path);
        QCOMPARE(info.caption,
            info.appId == shareId ? QStringLiteral("Share") : QStringLiteral("Upload"));
    }

    QImage image;
    QCOMPARE(badger.getBadgeIcon(image), !icon.isEmpty());
    if (icon.isEmpty())
        QVERIFY(image.isNull());
    else if (icon == u"share")
        QCOMPARE(image, QImage(QString::fromLatin1(shareIconResource)));
    else
        QCOMPARE(image.pixelColor(4, 4), QColor(icon));
}

int main(int argc, char *argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == u"--badge-loop" || mode == u"--copy-limited") {
        QCoreApplication app(argc, argv);
        const QStringList args = app.arguments();
        return mode == u"--badge-loop" ? badgeLoop(args) : copyWithSizeLimit(args);
    }
    QGuiApplication app(argc, argv);
    TestBadger test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_badger.moc"
