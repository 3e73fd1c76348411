#include "platform/xmlguard.h"

#include <QDomDocument>
#include <QTest>

class TestXmlGuard : public QObject
{
    Q_OBJECT

    static QString nested(int depth)
    {
        return u"<a>"_qs.repeated(depth) + u"</a>"_qs.repeated(depth);
    }

private Q_SLOTS:
    void guard_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("root"); // empty: refused, or left to the parser to refuse
        const auto sized = [](qsizetype size) -> QString {
            return u"<r>"_qs + QString(size - 7, u'x') + u"</r>"_qs;
        };
        QTest::newRow("depth 32") << nested(32) << u"a"_qs;
        QTest::newRow("depth 33") << nested(33) << u""_qs;
        QTest::newRow("depth 32 twice side by side")
            << u"<r>"_qs + nested(31) + nested(31) + u"</r>"_qs << u"r"_qs;
        QTest::newRow("depth 200000") << nested(200000) << u""_qs;
        QTest::newRow("bare doctype")
            << u"<?xml version='1.0'?>\n<!DOCTYPE D>\n<D><i/></D>"_qs << u"D"_qs;
        QTest::newRow("entity bomb") << u"<!DOCTYPE r [<!ENTITY e \""_qs + QString(3000, u'x')
                + u"\">]><r>"_qs + u"&e;"_qs.repeated(50000)
                + u"</r>"_qs << u""_qs;
        QTest::newRow("internal subset without entities")
            << u"<!DOCTYPE r [<!ELEMENT r ANY>]><r/>"_qs << u""_qs;
        QTest::newRow("parameter entity") << u"<!DOCTYPE r [<!ENTITY % p \"x\">]><r/>"_qs << u""_qs;
        QTest::newRow("1 MiB") << sized(1024 * 1024) << u"r"_qs;
        QTest::newRow("1 MiB + 1") << sized(1024 * 1024 + 1) << u""_qs;
        QTest::newRow("malformed") << u"<r><c></r>"_qs << u""_qs;
    }
    void guard()
    {
        QFETCH(QString, text);
        QFETCH(QString, root);
        // Text not well formed passes, so the parser says what is wrong in its own words.
        const bool malformed = QTest::currentDataTag() == QByteArray("malformed");
        QString expected = xmlGuardRefusal(text);
        QCOMPARE(expected.isEmpty(), !root.isEmpty() || malformed);
        if (malformed)
            QDomDocument().setContent(text, &expected);
        QDomDocument doc;
        QString message;
        QCOMPARE(setGuardedContent(doc, text, &message), !root.isEmpty());
        QCOMPARE(message, expected);
        if (!malformed) // a refused text leaves nothing behind
            QCOMPARE(doc.documentElement().tagName(), root);
    }
};

QTEST_GUILESS_MAIN(TestXmlGuard)
#include "tst_xmlguard.moc"
