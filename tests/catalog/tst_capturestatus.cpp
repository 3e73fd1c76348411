// The capture status record: its rules cache and its XML text.
#include "catalog/capturestatus.h"

#include <QTest>

Q_DECLARE_METATYPE(CaptureStatus)

namespace {

// Collects the critical lines written while it lives.
class CriticalLog
{
public:
    CriticalLog() { m_previous = qInstallMessageHandler(&CriticalLog::handler); }
    ~CriticalLog() { qInstallMessageHandler(m_previous); }
    static QStringList lines;

private:
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtCriticalMsg)
            lines << message;
    }
    QtMessageHandler m_previous;
};

QStringList CriticalLog::lines;

CaptureStatus makeStatus(
    quint32 mode, quint32 xres, quint32 yres, const QString &rules, const QString &format)
{
    CaptureStatus status;
    status.mode = mode;
    status.xres = xres;
    status.yres = yres;
    status.rules = rules;
    status.format = format;
    return status;
}

const QString failedName = QStringLiteral("::getRuleId() - failed to find name: ");

} // namespace

class TestCaptureStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { CriticalLog::lines.clear(); }
    void writesTheExampleDocument();
    void roundTrip_data();
    void roundTrip();
    void reader_data();
    void reader();
    void rules_data();
    void rules();
    void cacheIsKeptUntilEmptied();
    void unknownRulesAreReportedOnEveryBuild();
};

void TestCaptureStatus::writesTheExampleDocument()
{
    QString xml;
    QVERIFY(captureStatusToXml(makeStatus(1, 1280, 720, u"VfxRes|ZoomPhoto"_qs, QString()), xml));
    QCOMPARE(xml,
        u"<?xml version='1.0' encoding='UTF-8'?>\n"
        "<!DOCTYPE CaptureStatus>\n"
        "<capture_status>\n"
        " <mode>1</mode>\n"
        " <xres>1280</xres>\n"
        " <yres>720</yres>\n"
        " <rules>VfxRes|ZoomPhoto</rules>\n"
        " <format/>\n"
        "</capture_status>\n"_qs);
}

void TestCaptureStatus::roundTrip_data()
{
    QTest::addColumn<CaptureStatus>("status");
    QTest::newRow("largest numbers")
        << makeStatus(0xFFFFFFFFu, 0xFFFFFFFFu, 4096, u"ZoomRes"_qs, u"MJPG"_qs);
    QTest::newRow("markup in texts")
        << makeStatus(2, 640, 480, u"VfxRes & <Zoom>"_qs, u"Größe a]]>b \"c\""_qs);
}

void TestCaptureStatus::roundTrip()
{
    QFETCH(CaptureStatus, status);
    QString xml;
    QVERIFY(captureStatusToXml(status, xml));
    CaptureStatus read = makeStatus(9, 9, 9, u"ZoomRes"_qs, u"old"_qs);
    QVERIFY(xmlToCaptureStatus(xml, read));
    QCOMPARE(read.mode, status.mode);
    QCOMPARE(read.xres, status.xres);
    QCOMPARE(read.yres, status.yres);
    QCOMPARE(read.rules, status.rules);
    QCOMPARE(read.format, status.format);
    QVERIFY(read.ruleMap.isEmpty());
}

void TestCaptureStatus::reader_data()
{
    // Whatever the outcome, nothing of the record read before survives.
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("xres");
    QTest::addColumn<QString>("rules");

    QTest::newRow("no format element")
        << u"<capture_status><xres>8</xres><rules>ZoomRes</rules></capture_status>"_qs << true << 8u
        << u"ZoomRes"_qs;
    QTest::newRow("number past 32 bits")
        << u"<capture_status><xres>4294967296</xres></capture_status>"_qs << true << 0u
        << QString();
    QTest::newRow("unclosed") << u"<capture_status><xres>1</xres>"_qs << false << 0u << QString();
    QTest::newRow("deep nesting") << (u"<capture_status>"_qs + u"<a>"_qs.repeated(5000)
        + u"</a>"_qs.repeated(5000) + u"</capture_status>"_qs)
                                  << false << 0u << QString();
}

void TestCaptureStatus::reader()
{
    QFETCH(QString, xml);
    QFETCH(bool, ok);
    QFETCH(quint32, xres);
    QFETCH(QString, rules);
    CaptureStatus status = makeStatus(7, 7, 7, u"VfxPhoto"_qs, u"old"_qs);
    QVERIFY(status.hasRule(2));
    QCOMPARE(xmlToCaptureStatus(xml, status), ok);
    QCOMPARE(status.mode, 0u);
    QCOMPARE(status.xres, xres);
    QCOMPARE(status.yres, 0u);
    QCOMPARE(status.rules, rules);
    QVERIFY(status.format.isEmpty());
    QVERIFY(!status.hasRule(2));
}

void TestCaptureStatus::rules_data()
{
    // The rules text, the bits it must answer true for, and the names it reports.
    QTest::addColumn<QByteArray>("rules");
    QTest::addColumn<QList<unsigned>>("bits");
    QTest::addColumn<QStringList>("unknown");

    QTest::newRow("case and separators ignored")
        << QByteArray("vfxres, ZOOMPHOTO") << QList<unsigned> { 1, 8 } << QStringList();
    QTest::newRow("empty") << QByteArray() << QList<unsigned>() << QStringList();
    QTest::newRow("unknown name beside a known one")
        << QByteArray("VfxRes|Blur") << QList<unsigned> { 1 } << QStringList { u"Blur"_qs };
    QTest::newRow("prefix is no match")
        << QByteArray("VfxResX") << QList<unsigned>() << QStringList { u"VfxResX"_qs };
}

void TestCaptureStatus::rules()
{
    QFETCH(QByteArray, rules);
    QFETCH(QList<unsigned>, bits);
    QFETCH(QStringList, unknown);

    CaptureStatus status;
    QVERIFY(status.setRules(rules.constData()));
    CriticalLog log;
    for (unsigned bit : { 1u, 2u, 4u, 8u, 16u, 0u })
        QCOMPARE(status.hasRule(bit), bits.contains(bit));

    QStringList expected;
    for (const QString &name : std::as_const(unknown))
        expected << failedName + name;
    // Known names build the cache once, so unknown ones are reported once.
    if (!bits.isEmpty())
        QCOMPARE(CriticalLog::lines, expected);
    else
        QCOMPARE(CriticalLog::lines.size(), expected.size() * 6);
}

void TestCaptureStatus::cacheIsKeptUntilEmptied()
{
    CaptureStatus status;
    status.setRules("VfxRes");
    QVERIFY(!status.hasRule(8));
    QVERIFY(status.addRule("ZoomPhoto"));
    QCOMPARE(status.rules, u"VfxRes|ZoomPhoto"_qs);
    QVERIFY(!status.hasRule(8));

    status.setRules(status.rules.toUtf8().constData());
    QVERIFY(status.hasRule(8));

    status.clear();
    QVERIFY(status.addRule("ZoomRes"));
    QCOMPARE(status.rules, u"|ZoomRes"_qs);
    QVERIFY(status.hasRule(4));
    QVERIFY(!status.hasRule(1));
}

void TestCaptureStatus::unknownRulesAreReportedOnEveryBuild()
{
    CaptureStatus status;
    status.setRules("Blur Sepia");
    CriticalLog log;
    QVERIFY(!status.hasRule(1));
    QVERIFY(!status.hasRule(1));
    const QString blur = failedName + u"Blur"_qs;
    const QString sepia = failedName + u"Sepia"_qs;
    QCOMPARE(CriticalLog::lines, QStringList({ blur, sepia, blur, sepia }));

    unsigned bit = 99;
    QVERIFY(getRuleId("zoomres", bit));
    QCOMPARE(bit, 4u);
    QVERIFY(!getRuleId("", bit));
    QCOMPARE(bit, 4u);
}

QTEST_GUILESS_MAIN(TestCaptureStatus)
#include "tst_capturestatus.moc"
