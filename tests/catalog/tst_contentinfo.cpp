// The messages passed between applets: the media selection and the camera's
// capture status.
#include "catalog/capturestatus.h"
#include "catalog/contentinfo.h"
#include "catalog/contenttype.h"

#include <QDomDocument>
#include <QTest>

namespace {

// The root's elements, one a line, attributes sorted: their order carries no meaning.
QStringList outline(const QString &xml)
{
    QDomDocument doc;
    doc.setContent(xml);
    QStringList lines;
    for (auto e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement()) {
        QStringList line;
        for (int i = 0; i < e.attributes().size(); ++i)
            line << e.attributes().item(i).nodeName() + u'=' + e.attributes().item(i).nodeValue();
        line.sort();
        lines << e.tagName() + u' ' + line.join(u' ');
    }
    return lines;
}

// What the reader fills in: tab, button, x, y, photos, videos, selected
// photos, selected videos, application and paths.
QString summary(const ContentInfo &i)
{
    QStringList parts;
    for (const qint64 n :
        { qint64(i.tabType), qint64(i.button), qint64(i.x), qint64(i.y), qint64(i.photoCount),
            qint64(i.videoCount), qint64(i.selectedPhotoCount), qint64(i.selectedVideoCount) })
        parts << QString::number(n);
    return parts.join(u' ') + u" app="_qs + i.applicationId + u" paths="_qs + i.paths.join(u'|');
}

} // namespace

class TestContentInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesAndReadsAMessage()
    {
        // Types come from the last suffix of the file name alone; without counts
        // from the caller, files of no known type count as videos.
        ContentInfo info({ u"C:/Pictures/Tom & \"Jerry\" <1>.JPG"_qs, u"/m/it's > 50%.ASF"_qs,
                             u"/m/Grüße 東京.mov"_qs, u"/a/.png"_qs, u"/a/b.jpg.bak"_qs,
                             u"/a/photos.jpg/README"_qs, u"/a/clip.mp4."_qs },
            4, 2, 7, -2147483647, 0, 0);
        info.applicationId = u"{A&B}"_qs;
        QVERIFY(contentInfoToXml(info));
        QVERIFY(info.xml.startsWith(
            u"<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE ContentInfo>\n<content_info>\n"_qs));
        QCOMPARE(outline(info.xml),
            QStringList({ u"tab type=4"_qs,
                u"content path=C:/Pictures/Tom & \"Jerry\" <1>.JPG type=1"_qs,
                u"content path=/m/it's > 50%.ASF type=2"_qs,
                u"content path=/m/Grüße 東京.mov type=2"_qs, u"content path=/a/.png type=1"_qs,
                u"content path=/a/b.jpg.bak type=-1"_qs,
                u"content path=/a/photos.jpg/README type=-1"_qs,
                u"content path=/a/clip.mp4. type=-1"_qs, u"photos count=2 ext=jpg,jpeg"_qs,
                u"videos count=5 ext=wmv,avi,mov,mp4"_qs,
                u"mouse_position button=right x=7 y=-2147483647"_qs, u"application id={A&B}"_qs }));
        ContentInfo read;
        QVERIFY(xmlToContentInfo(info.xml, read));
        QCOMPARE(read.xml, info.xml);
        info.countSelection();
        QCOMPARE(summary(read), summary(info));

        // The caller's counts stand; a button other than left and right has no name.
        ContentInfo counted({ u"/v/a.mp4"_qs }, 2, 3, 0, 0, 3, 0);
        QVERIFY(contentInfoToXml(counted));
        QCOMPARE(outline(counted.xml).mid(2, 3),
            QStringList({ u"photos count=3 ext=jpg,jpeg"_qs,
                u"videos count=0 ext=wmv,avi,mov,mp4"_qs, u"mouse_position button= x=0 y=0"_qs }));
    }
    void reader_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // as summary() puts it; null: rejected

        QTest::newRow("not XML") << u"not xml at all"_qs << QString();
        QTest::newRow("unclosed") << u"<content_info><tab type=\"3\"/>"_qs << QString();
        QTest::newRow("nested content, numbers that do not parse")
            << u"<content_info><g><content path=\"/a/p.PNG\"/></g><content path=\"/a/n.txt\"/>"
               "<tab type=\"x\"/><photos count=\"2b\"/><mouse_position button=\"left\" x=\"1.5\"/>"
               "</content_info>"_qs
            << u"0 1 0 0 0 0 1 1 app= paths=/a/p.PNG|/a/n.txt"_qs;
        QTest::newRow("numeric button of older peers, only the root's children count")
            << u"<content_info><x><tab type=\"9\"/><photos count=\"4\"/></x><videos count=\"5\"/>"
               "<mouse_position button=\"2\" y=\"-3\"/><application id=\"{X}\"/></content_info>"_qs
            << u"0 2 0 -3 0 5 0 0 app={X} paths="_qs;
    }
    void reader()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);

        // Whatever the outcome, nothing of the message read before survives.
        ContentInfo info({ u"/old.jpg"_qs }, 3, 1, 4, 5, 6, 7);
        info.applicationId = u"{OLD}"_qs;
        info.countSelection();
        QCOMPARE(xmlToContentInfo(text, info), !read.isNull());
        QCOMPARE(info.xml, text);
        QCOMPARE(summary(info), read.isNull() ? u"0 0 0 0 0 0 0 0 app= paths="_qs : read);
    }
    void captureStatus()
    {
        CaptureStatus status;
        status.mode = 1;
        status.xres = 1280;
        status.yres = 720;
        status.rules = u"VfxRes|ZoomPhoto"_qs;
        QString xml;
        QVERIFY(captureStatusToXml(status, xml));
        QCOMPARE(xml,
            u"<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE CaptureStatus>\n<capture_status>\n"
            " <mode>1</mode>\n <xres>1280</xres>\n <yres>720</yres>\n"
            " <rules>VfxRes|ZoomPhoto</rules>\n <format/>\n</capture_status>\n"_qs);

        // Rule names are compared ignoring case; anything but letters, digits
        // and "_" separates them.
        status.mode = status.xres = 0xFFFFFFFFu;
        status.rules = u"vfxres, ZOOMPHOTO & <Zoom>"_qs;
        status.format = u"Größe a]]>b \"c\""_qs;
        QVERIFY(captureStatusToXml(status, xml));
        // Text, what is read, and the rule bits then held.
        const std::tuple<QString, QString, unsigned> texts[] = {
            { xml, u"4294967295 4294967295 720 vfxres, ZOOMPHOTO & <Zoom>/Größe a]]>b \"c\""_qs,
                9 },
            // Missing elements, and a number past 32 bits.
            { u"<capture_status><xres>4294967296</xres><rules>Blur|ZoomRes VfxResX_2</rules>"
              "</capture_status>"_qs,
                u"0 0 0 Blur|ZoomRes VfxResX_2/"_qs, 4 },
            { u"<capture_status><xres>1</xres>"_qs, QString(), 0 },
        };
        for (const auto &[text, read, bits] : texts) {
            // Whatever the outcome, nothing of the status read before survives.
            CaptureStatus old;
            old.mode = old.xres = old.yres = 7;
            old.format = u"old"_qs;
            QVERIFY(old.setRules("VfxPhoto") && old.hasRule(2));
            QCOMPARE(xmlToCaptureStatus(text, old), !read.isNull());
            QCOMPARE(u"%1 %2 %3 %4/%5"_qs.arg(old.mode).arg(old.xres).arg(old.yres).arg(
                         old.rules, old.format),
                read.isNull() ? u"0 0 0 /"_qs : read);
            for (const unsigned bit : { 1u, 2u, 4u, 8u, 16u })
                QCOMPARE(old.hasRule(bit), (bits & bit) != 0);
        }
        QVERIFY(status.addRule("VfxPhoto") && status.rules.endsWith(u"<Zoom>|VfxPhoto"));
    }
};

QTEST_GUILESS_MAIN(TestContentInfo)
#include "tst_contentinfo.moc"
