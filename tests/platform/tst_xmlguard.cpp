#include "platform/xmlguard.h"

#include <QDomDocument>
#include <QtTest>

namespace {

QString nested(int depth)
{
    return QStringLiteral("<a>").repeated(depth) + QStringLiteral("</a>").repeated(depth);
}

QString entityBomb()
{
    return QStringLiteral("<!DOCTYPE r [<!ENTITY e \"") + QString(3000, QLatin1Char('x'))
        + QStringLiteral("\">]><r>") + QStringLiteral("&e;").repeated(50000)
        + QStringLiteral("</r>");
}

// A document of exactly size characters.
QString sized(qsizetype size)
{
    const QString open = QStringLiteral("<r>");
    const QString close = QStringLiteral("</r>");
    return open + QString(size - open.size() - close.size(), QLatin1Char('x')) + close;
}

} // namespace

class TestXmlGuard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void guard_data();
    void guard();
    void malformedFailsInParserWords();
};

void TestXmlGuard::guard_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QString>("root");

    QTest::newRow("plain") << QStringLiteral("<?xml version='1.0'?><r><c>t</c></r>") << true
                           << QStringLiteral("r");
    QTest::newRow("depth 32") << nested(32) << true << QStringLiteral("a");
    QTest::newRow("depth 33") << nested(33) << false << QString();
    QTest::newRow("depth 32 twice side by side") << QStringLiteral("<r>") + nested(31) + nested(31)
            + QStringLiteral("</r>") << true << QStringLiteral("r");
    QTest::newRow("depth 200000") << nested(200000) << false << QString();
    QTest::newRow("bare doctype") << QStringLiteral(
        "<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE BadgeDataDoc>\n"
        "<BadgeDataDoc><item/></BadgeDataDoc>")
                                  << true << QStringLiteral("BadgeDataDoc");
    QTest::newRow("entity bomb") << entityBomb() << false << QString();
    QTest::newRow("internal subset without entities")
        << QStringLiteral("<!DOCTYPE r [<!ELEMENT r ANY>]><r/>") << false << QString();
    QTest::newRow("empty internal subset")
        << QStringLiteral("<!DOCTYPE r []><r/>") << false << QString();
    QTest::newRow("parameter entity")
        << QStringLiteral("<!DOCTYPE r [<!ENTITY % p \"x\">]><r/>") << false << QString();
    QTest::newRow("1 MiB") << sized(1024 * 1024) << true << QStringLiteral("r");
    QTest::newRow("1 MiB + 1") << sized(1024 * 1024 + 1) << false << QString();
}

void TestXmlGuard::guard()
{
    QFETCH(QString, text);
    QFETCH(bool, passes);
    QFETCH(QString, root);

    QCOMPARE(xmlGuardRefusal(text).isEmpty(), passes);

    QDomDocument doc;
    QString message;
    QCOMPARE(setGuardedContent(doc, text, &message), passes);
    QCOMPARE(doc.documentElement().tagName(), root);
    QCOMPARE(message.isEmpty(), passes);
}

void TestXmlGuard::malformedFailsInParserWords()
{
    const QString text = QStringLiteral("<r><c></r>");
    QVERIFY(xmlGuardRefusal(text).isEmpty());

    QDomDocument plain;
    QString plainMessage;
    QVERIFY(!plain.setContent(text, &plainMessage));

    QDomDocument guarded;
    QString guardedMessage;
    QVERIFY(!setGuardedContent(guarded, text, &guardedMessage));
    QCOMPARE(guardedMessage, plainMessage);
}

QTEST_GUILESS_MAIN(TestXmlGuard)
#include "tst_xmlguard.moc"
