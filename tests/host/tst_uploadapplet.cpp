// The built-in video upload applet against the local service: what it
// reports to the plug-in, and what it records with the file.
#include "hostfixture.h"

#include "controller/hostcontract.h"
#include "videouploadapplet.h"

#include "catalog/contentinfo.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

class TestUploadApplet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void upload();
    void failure_data();
    void failure();

private:
    static QString message(const QStringList &paths);

    HostFixture m_fixture;
};

void TestUploadApplet::init()
{
    QString error;
    QVERIFY2(m_fixture.setUp(&error, 1), qPrintable(error));
}

void TestUploadApplet::cleanup()
{
    m_fixture.tearDown();
}

QString TestUploadApplet::message(const QStringList &paths)
{
    ContentInfo info;
    info.paths = paths;
    contentInfoToXml(info);
    return info.xml;
}

void TestUploadApplet::upload()
{
    QVERIFY(HostFixture::storeAccessToken(HostFixture::userName, HostFixture::password));
    const QString clip = m_fixture.clip(0);
    VideoUploadApplet applet;
    QSignalSpy status(&applet, &VideoUploadApplet::uploadStatus);
    QSignalSpy closed(&applet, &VideoUploadApplet::closed);
    applet.start(message({ clip }));
    QVERIFY(closed.wait(20000));

    QVERIFY(status.size() >= 2);
    // Under way reports first (0x1), then one finished report (0x2) with the link.
    for (int i = 0; i < status.size() - 1; ++i) {
        QCOMPARE(status.at(i).at(0).toString(), HostContract::videoUploadAppId());
        QCOMPARE(status.at(i).at(1).toBool(), true);
        QCOMPARE(status.at(i).at(4).value<unsigned long>(), 0x1ul);
    }
    const QList<QVariant> last = status.last();
    QCOMPARE(last.at(1).toBool(), true);
    QCOMPARE(last.at(2).toString(), clip);
    QCOMPARE(last.at(4).value<unsigned long>(), 0x2ul);
    const QString link = last.at(3).toString();
    QCOMPARE(HostFixture::badgeUrl(clip, HostContract::videoUploadAppId()), link);
    QCOMPARE(closed.size(), 1);
    QCOMPARE(closed.first().at(0).toString(), HostContract::videoUploadAppId());
    QCOMPARE(closed.first().at(1).value<unsigned long>(), 0x6ul);

    // The link serves the very file that was uploaded.
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(link)));
    QSignalSpy done(reply, &QNetworkReply::finished);
    QVERIFY(done.wait(10000));
    QFile file(clip);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(reply->readAll(), file.readAll());
    delete reply;
}

void TestUploadApplet::failure_data()
{
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<QString>("data");
    QTest::addColumn<bool>("serviceStopped");
    const QString clip = QStringLiteral("CLIP");
    QTest::newRow("nobody signed in") << false << clip << false;
    QTest::newRow("message names no file") << true << message({}) << false;
    QTest::newRow("not a message") << true << QStringLiteral("<ContentInfo") << false;
    QTest::newRow("file missing") << true << message({ QStringLiteral("/nonexistent/clip.mp4") })
                                  << false;
    QTest::newRow("service gone") << true << clip << true;
}

void TestUploadApplet::failure()
{
    QFETCH(bool, signedIn);
    QFETCH(QString, data);
    QFETCH(bool, serviceStopped);
    const QString clip = m_fixture.clip(0);
    if (data == QLatin1String("CLIP"))
        data = message({ clip });
    if (signedIn)
        QVERIFY(HostFixture::storeAccessToken(HostFixture::userName, HostFixture::password));
    if (serviceStopped)
        m_fixture.service()->stop();

    VideoUploadApplet applet;
    QSignalSpy status(&applet, &VideoUploadApplet::uploadStatus);
    QSignalSpy failed(&applet, &VideoUploadApplet::failed);
    QSignalSpy closed(&applet, &VideoUploadApplet::closed);
    applet.start(data);
    QVERIFY(closed.wait(20000));

    QCOMPARE(failed.size(), 1);
    QVERIFY(!failed.first().at(0).toString().isEmpty());
    QVERIFY(!status.isEmpty());
    QCOMPARE(status.last().at(1).toBool(), false);
    // Closed without a result: the plug-in abandons the hand-over.
    QCOMPARE(closed.first().at(1).value<unsigned long>() & 0x2, 0ul);
    QVERIFY(HostFixture::badgeUrl(clip, HostContract::videoUploadAppId()).isEmpty());
}

QTEST_MAIN(TestUploadApplet)
#include "tst_uploadapplet.moc"
