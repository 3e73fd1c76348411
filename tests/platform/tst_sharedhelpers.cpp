// File-size text and string hash, as peers compare them.
#include "platform/sharedhelpers.h"

#include <QTest>

class TestSharedHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatsAndHashes()
    {
        QCOMPARE(formatFileSize(1023), u"1023 byte(s)"_qs);
        QCOMPARE(formatFileSize(1024), u"  1.0 KB"_qs);
        QCOMPARE(formatFileSize(1048575), u"1024.0 KB"_qs);
        QCOMPARE(formatFileSize(1048576), u"  1.0 MB"_qs);
        QCOMPARE(formatFileSize(5368709120), u"  5.0 GB"_qs);
        // Digests from Python's hashlib over the Latin-1 bytes, cut at a zero.
        QCOMPARE(hashString(u"été"_qs), u"70b06e3087350c8c4fc3f13e741879f3"_qs);
        QCOMPARE(hashString(u"日"_qs), u"d1457b72c3fb323a2671125aef3eab5d"_qs);
        QCOMPARE(
            hashString(QString::fromLatin1("abc\0def", 7)), u"900150983cd24fb0d6963f7d28e17f72"_qs);
    }
};

QTEST_GUILESS_MAIN(TestSharedHelpers)
#include "tst_sharedhelpers.moc"
