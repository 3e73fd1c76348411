// File-size text, string hash and message-box decoration.
#include "platform/sharedhelpers.h"

#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

class TestSharedHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileSize_data();
    void fileSize();
    void hash_data();
    void hash();
    void messageBox_data();
    void messageBox();
};

void TestSharedHelpers::fileSize_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << quint64(0) << u"0 byte(s)"_qs;
    QTest::newRow("1023") << quint64(1023) << u"1023 byte(s)"_qs;
    QTest::newRow("1024") << quint64(1024) << u"  1.0 KB"_qs;
    QTest::newRow("1536") << quint64(1536) << u"  1.5 KB"_qs;
    QTest::newRow("just under a MB") << quint64(1048575) << u"1024.0 KB"_qs;
    QTest::newRow("1048576") << quint64(1048576) << u"  1.0 MB"_qs;
    QTest::newRow("1073741824") << quint64(1073741824) << u"  1.0 GB"_qs;
    QTest::newRow("past 32 bits") << quint64(5368709120) << u"  5.0 GB"_qs;
    QTest::newRow("wider than five") << quint64(1099511627776) << u"1024.0 GB"_qs;
}

void TestSharedHelpers::fileSize()
{
    QFETCH(quint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(formatFileSize(bytes), text);
}

void TestSharedHelpers::hash_data()
{
    // Digests from Python's hashlib over the Latin-1 bytes.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digest");
    QTest::newRow("empty") << QString() << u"d41d8cd98f00b204e9800998ecf8427e"_qs;
    QTest::newRow("abc") << u"abc"_qs << u"900150983cd24fb0d6963f7d28e17f72"_qs;
    QTest::newRow("Latin-1 bytes") << u"été"_qs << u"70b06e3087350c8c4fc3f13e741879f3"_qs;
    QTest::newRow("outside Latin-1") << u"日"_qs << u"d1457b72c3fb323a2671125aef3eab5d"_qs;
    QTest::newRow("cut at a zero")
        << QString::fromLatin1("abc\0def", 7) << u"900150983cd24fb0d6963f7d28e17f72"_qs;
}

void TestSharedHelpers::hash()
{
    QFETCH(QString, text);
    QFETCH(QString, digest);
    QCOMPARE(hashString(text), digest);
}

void TestSharedHelpers::messageBox_data()
{
    QTest::addColumn<int>("languageId");
    QTest::addColumn<bool>("japanese");
    QTest::newRow("Japanese") << 0x411 << true;
    QTest::newRow("English") << 0x409 << false;
    QTest::newRow("none") << 0 << false;
}

void TestSharedHelpers::messageBox()
{
    QFETCH(int, languageId);
    QFETCH(bool, japanese);
    QTemporaryDir dir;
    const QString iconPath = dir.filePath(u"icon.png"_qs);
    QImage image(24, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(iconPath));

    QMessageBox box;
    decorateMessageBox(&box, iconPath, languageId);
    QVERIFY(!box.windowIcon().isNull());
    QCOMPARE(box.windowIcon().availableSizes(), QList<QSize> { QSize(24, 16) });
    QVERIFY(box.windowTitle().startsWith(u"Velmora"_qs));
    QCOMPARE(box.windowTitle().contains(u"ウェブカメラ"_qs), japanese);
    decorateMessageBox(nullptr, iconPath, languageId);
}

QTEST_MAIN(TestSharedHelpers)
#include "tst_sharedhelpers.moc"
