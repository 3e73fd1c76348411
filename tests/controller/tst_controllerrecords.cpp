// The text forms the controller trades with the host and the wizard pages.
#include "catalog/contentinfo.h"
#include "controller/keyvaluerecord.h"
#include "controller/limitstatus.h"
#include "controller/twinfo.h"

#include <QTest>

using Pairs = QHash<QString, QString>;
using PathBits = QHash<QString, unsigned long>;

class TestControllerRecords : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readRecord_data();
    void readRecord();
    void writeThenRead_data();
    void writeThenRead();

    void readLimits_data();
    void readLimits();
    void limitsRoundTrip();

    void pathList_data();
    void pathList();

    void tweetInfoCopyAndClear();
};

void TestControllerRecords::readRecord_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<Pairs>("pairs");

    QTest::newRow("sign-in record")
        << QStringLiteral("author||someone<>password||secret<>remember||1") << true
        << Pairs { { QStringLiteral("author"), QStringLiteral("someone") },
               { QStringLiteral("password"), QStringLiteral("secret") },
               { QStringLiteral("remember"), QStringLiteral("1") } };
    QTest::newRow("empty value") << QStringLiteral("description||") << true
                                 << Pairs { { QStringLiteral("description"), QString() } };
    QTest::newRow("empty key") << QStringLiteral("||x") << true
                               << Pairs { { QString(), QStringLiteral("x") } };
    QTest::newRow("later key wins") << QStringLiteral("a||1<>a||2") << true
                                    << Pairs { { QStringLiteral("a"), QStringLiteral("2") } };
    QTest::newRow("password holding the value separator")
        << QStringLiteral("author||me<>password||pa||ss") << true
        << Pairs { { QStringLiteral("author"), QStringLiteral("me") },
               { QStringLiteral("password"), QStringLiteral("pa||ss") } };
    QTest::newRow("tweet holding the pair separator")
        << QStringLiteral("description||a <> b<>other||x") << true
        << Pairs { { QStringLiteral("description"), QStringLiteral("a <> b") },
               { QStringLiteral("other"), QStringLiteral("x") } };
    QTest::newRow("tweet ending in the pair separator")
        << QStringLiteral("description||love<>") << true
        << Pairs { { QStringLiteral("description"), QStringLiteral("love<>") } };
    QTest::newRow("tweet of separators only")
        << QStringLiteral("description||<><>||") << true
        << Pairs { { QStringLiteral("description"), QStringLiteral("<>") },
               { QString(), QString() } };
    QTest::newRow("empty text keeps the record")
        << QString() << false << Pairs { { QStringLiteral("stale"), QStringLiteral("value") } };
    QTest::newRow("no value separator at all") << QStringLiteral("author") << false << Pairs {};
    QTest::newRow("leading piece without a value")
        << QStringLiteral("junk<>a||1") << false << Pairs {};
}

void TestControllerRecords::readRecord()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(Pairs, pairs);

    KeyValueRecord record;
    record.insert(QStringLiteral("stale"), QStringLiteral("value"));
    if (!ok && !text.isEmpty())
        QTest::ignoreMessage(QtCriticalMsg, "KeyValueRecord::fromString() - pair without a value");
    QCOMPARE(record.fromString(text), ok);
    QCOMPARE(static_cast<const Pairs &>(record), pairs);
}

void TestControllerRecords::writeThenRead_data()
{
    QTest::addColumn<Pairs>("pairs");
    QTest::addColumn<QString>("text"); // only checked for records of one pair

    QTest::newRow("empty") << Pairs {} << QString();
    QTest::newRow("one pair") << Pairs {
        { QStringLiteral("description"), QStringLiteral("Hello") }
    } << QStringLiteral("description||Hello");
    // A value holding "<>" and, after it, "||" reads back as two pairs: the
    // text form cannot tell them apart.
    QTest::newRow("separators inside values")
        << Pairs { { QStringLiteral("password"), QStringLiteral("a||b<>c") },
               { QStringLiteral("description"), QStringLiteral("<> x y <>") },
               { QStringLiteral("remember"), QStringLiteral("0") } }
        << QString();
}

void TestControllerRecords::writeThenRead()
{
    QFETCH(Pairs, pairs);
    QFETCH(QString, text);

    KeyValueRecord record;
    for (auto it = pairs.cbegin(); it != pairs.cend(); ++it)
        record.insert(it.key(), it.value());
    const QString written = record.toString();
    if (pairs.size() <= 1)
        QCOMPARE(written, text);
    if (pairs.isEmpty())
        return;
    KeyValueRecord read;
    QVERIFY(read.fromString(written));
    QCOMPARE(static_cast<const Pairs &>(read), pairs);
}

void TestControllerRecords::readLimits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<quint32>>("words");
    QTest::addColumn<PathBits>("paths");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("one photo") << QStringLiteral("0(!)0(!)1(!)0(!)/m/a.jpg[!]32") << true
                               << QList<quint32> { 0, 0, 1, 0 }
                               << PathBits { { QStringLiteral("/m/a.jpg"), 32 } } << QByteArray();
    QTest::newRow("no offending paths")
        << QStringLiteral("10(!)20(!)1(!)16(!)") << true << QList<quint32> { 10, 20, 1, 16 }
        << PathBits {} << QByteArray();
    QTest::newRow("empty entries dropped")
        << QStringLiteral("0(!)0(!)0(!)0(!)<!>/a[!]4<!><!>/b[!]8<!>") << true
        << QList<quint32> { 0, 0, 0, 0 }
        << PathBits { { QStringLiteral("/a"), 4 }, { QStringLiteral("/b"), 8 } } << QByteArray();
    QTest::newRow("largest word") << QStringLiteral("4294967295(!)0(!)0(!)0(!)") << true
                                  << QList<quint32> { 4294967295u, 0, 0, 0 } << PathBits {}
                                  << QByteArray();
    QTest::newRow("empty") << QString() << false << QList<quint32> { 7, 7, 7, 7 } << PathBits {}
                           << QByteArray();
    QTest::newRow("four parts") << QStringLiteral("0(!)0(!)1(!)0") << false
                                << QList<quint32> { 7, 7, 7, 7 } << PathBits {}
                                << QByteArray(
                                       "LimitStatus::fromString() - expected 5 parts, got 4");
    QTest::newRow("six parts") << QStringLiteral("0(!)0(!)1(!)0(!)(!)") << false
                               << QList<quint32> { 7, 7, 7, 7 } << PathBits {}
                               << QByteArray("LimitStatus::fromString() - expected 5 parts, got 6");
    QTest::newRow("word not a number")
        << QStringLiteral("0(!)x(!)1(!)0(!)") << false << QList<quint32> { 7, 7, 7, 7 }
        << PathBits {} << QByteArray("LimitStatus::fromString() - not a number: x");
    QTest::newRow("negative word")
        << QStringLiteral("-1(!)0(!)1(!)0(!)") << false << QList<quint32> { 7, 7, 7, 7 }
        << PathBits {} << QByteArray("LimitStatus::fromString() - not a number: -1");
    QTest::newRow("entry without bits keeps earlier entries")
        << QStringLiteral("0(!)0(!)1(!)0(!)/a[!]4<!>/b") << false << QList<quint32> { 0, 0, 1, 0 }
        << PathBits { { QStringLiteral("/a"), 4 } }
        << QByteArray("LimitStatus::fromString() - bad entry: /b");
    QTest::newRow("entry with empty path")
        << QStringLiteral("0(!)0(!)1(!)0(!)[!]4") << false << QList<quint32> { 0, 0, 1, 0 }
        << PathBits {} << QByteArray("LimitStatus::fromString() - bad entry: [!]4");
    QTest::newRow("entry bits not a number")
        << QStringLiteral("0(!)0(!)1(!)0(!)/a[!]big") << false << QList<quint32> { 0, 0, 1, 0 }
        << PathBits {} << QByteArray("LimitStatus::fromString() - bad entry: /a[!]big");
}

void TestControllerRecords::readLimits()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QList<quint32>, words);
    QFETCH(PathBits, paths);
    QFETCH(QByteArray, message);

    LimitStatus status(7, 7, 7);
    status.countStatus = 7;
    if (!message.isEmpty())
        QTest::ignoreMessage(QtCriticalMsg, message.constData());
    QCOMPARE(status.fromString(text), ok);
    QCOMPARE(
        QList<quint32>({ status.maxSize, status.maxDuration, status.maxCount, status.countStatus }),
        words);
    QCOMPARE(status.statusByPath, paths);
}

void TestControllerRecords::limitsRoundTrip()
{
    LimitStatus status(1000, 30, 1);
    status.countStatus = LimitStatus::CountExceeded;
    status.statusByPath.insert(QStringLiteral("/media/one photo.jpg"), LimitStatus::WrongKind);
    status.statusByPath.insert(QStringLiteral("/media/große.mp4"), LimitStatus::SizeExceeded);
    status.statusByPath.insert(QStringLiteral("C:/x,y;z.avi"), LimitStatus::DurationExceeded);

    LimitStatus read;
    QVERIFY(read.fromString(status.toString()));
    QVERIFY(read == status);
    read.statusByPath[QStringLiteral("C:/x,y;z.avi")] = LimitStatus::WrongKind;
    QVERIFY(read != status);
}

void TestControllerRecords::pathList_data()
{
    QTest::addColumn<QString>("text"); // null: the list form of paths
    QTest::addColumn<QStringList>("paths");

    QTest::newRow("comma, semicolon, non-ASCII")
        << QString() << QStringList { QStringLiteral("/home/u/Smith, J; Vidéos/clip.mp4") };
    QTest::newRow("whatever else a name may hold")
        << QString()
        << QStringList { QStringLiteral("/m/a%41 #?\r\n\t\x01<>\"'&|\\+/"),
               QStringLiteral("/file:/x,y.mp4"), QStringLiteral("/m/東京 😀.mov") };
    QTest::newRow("nothing") << QString() << QStringList {};
    // Another host's older form still reads as before.
    QTest::newRow("older form") << QStringLiteral("/m/a.mp4,/m/b.mp4")
                                << QStringList { "/m/a.mp4", "/m/b.mp4" };
    QTest::newRow("older form keeps empty parts")
        << QStringLiteral("/m/a.mp4,,") << QStringList { "/m/a.mp4", "", "" };
}

void TestControllerRecords::pathList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, paths);
    QCOMPARE(pathListFromText(text.isNull() ? pathListText(paths) : text), paths);
}

void TestControllerRecords::tweetInfoCopyAndClear()
{
    TWInfo info;
    info.text = QStringLiteral("t");
    info.list = QStringList { QStringLiteral("l") };
    info.record = KeyValueRecord(QStringLiteral(";"), QStringLiteral("="));
    info.record.insert(QStringLiteral("description"), QStringLiteral("Hello"));
    info.firstWord = quintptr(0xffffffff12345678ull);
    info.secondWord = quintptr(&info);

    QObject parent;
    TWInfo copy(info, &parent);
    QCOMPARE(copy.parent(), &parent);
    QCOMPARE(copy.record.toString(), QStringLiteral("description=Hello"));
    QCOMPARE(copy.firstWord, info.firstWord);
    QCOMPARE(copy.secondWord, quintptr(&info));

    const TWInfo &self = copy;
    copy = self;
    QCOMPARE(copy.text, QStringLiteral("t"));

    copy.clear();
    QVERIFY(copy.text.isEmpty());
    QVERIFY(copy.list.isEmpty());
    QCOMPARE(copy.record.toString(), QString());
    QCOMPARE(copy.record.pairSeparator, QStringLiteral(";"));
    QCOMPARE(copy.firstWord, info.firstWord);
    QCOMPARE(info.record.toString(), QStringLiteral("description=Hello"));
}

QTEST_GUILESS_MAIN(TestControllerRecords)
#include "tst_controllerrecords.moc"
