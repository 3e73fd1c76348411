#include "catalog/contentinfo.h"
#include "catalog/contenttype.h"

#include <QDomDocument>
#include <QRegularExpression>
#include <QTest>

namespace {

// Attribute order carries no meaning: sort the attributes of every tag.
QString canonical(const QString &xml)
{
    static const QRegularExpression tag(
        QStringLiteral("<([A-Za-z_]+)((?: [a-z_]+=\"[^\"]*\")*)(/?)>"));
    static const QRegularExpression attribute(QStringLiteral(" [a-z_]+=\"[^\"]*\""));
    QString out;
    qsizetype last = 0;
    for (const auto &m : tag.globalMatch(xml)) {
        QStringList attributes;
        for (const auto &a : attribute.globalMatch(m.captured(2)))
            attributes << a.captured(0);
        attributes.sort();
        out += xml.mid(last, m.capturedStart() - last) + u'<' + m.captured(1)
            + attributes.join(QString()) + m.captured(3) + u'>';
        last = m.capturedEnd();
    }
    return out + xml.mid(last);
}

QDomElement firstElement(const QString &xml, const QString &name)
{
    QDomDocument doc;
    if (!doc.setContent(xml))
        return {};
    return doc.documentElement().firstChildElement(name);
}

} // namespace

class TestContentInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesTheDocumentedMessage();
    void classifiesBySuffix_data();
    void classifiesBySuffix();
    void predicates_data();
    void predicates();
    void writerCounts_data();
    void writerCounts();
    void mousePosition_data();
    void mousePosition();
    void roundTrip_data();
    void roundTrip();
    void readerRejectsMalformedText_data();
    void readerRejectsMalformedText();
    void readerToleratesOddMessages_data();
    void readerToleratesOddMessages();
};

void TestContentInfo::writesTheDocumentedMessage()
{
    ContentInfo info({ QStringLiteral("C:/Users/Public/Pictures/Velmora Webcam/Picture 12.jpg"),
                         QStringLiteral("C:/Users/Public/Videos/Velmora Webcam/Video 3.wmv") },
        0, 0, 0, 0, 0, 0);
    info.applicationId = QStringLiteral("{BB23CC56-D53E-456e-BD39-5A8A8A394279}");
    QVERIFY(contentInfoToXml(info));
    const QString expected = QStringLiteral(
        "<?xml version='1.0' encoding='UTF-8'?>\n"
        "<!DOCTYPE ContentInfo>\n"
        "<content_info>\n"
        " <tab type=\"0\"/>\n"
        " <content path=\"C:/Users/Public/Pictures/Velmora Webcam/Picture 12.jpg\" type=\"1\"/>\n"
        " <content path=\"C:/Users/Public/Videos/Velmora Webcam/Video 3.wmv\" type=\"2\"/>\n"
        " <photos count=\"1\" ext=\"jpg,jpeg\"/>\n"
        " <videos count=\"1\" ext=\"wmv,avi,mov,mp4\"/>\n"
        " <mouse_position button=\"\" x=\"0\" y=\"0\"/>\n"
        " <application id=\"{BB23CC56-D53E-456e-BD39-5A8A8A394279}\"/>\n"
        "</content_info>\n");
    QCOMPARE(canonical(info.xml), canonical(expected));
    QCOMPARE(info.photoCount, 1);
    QCOMPARE(info.videoCount, 1);
}

void TestContentInfo::classifiesBySuffix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("photo");
    QTest::addColumn<bool>("video");

    QTest::newRow("upper-case JPG") << "C:/x/Picture 1.JPG" << 1 << true << false;
    QTest::newRow("png") << "/a/b.png" << 1 << true << false;
    QTest::newRow("gif") << "/a/b.GiF" << 1 << true << false;
    QTest::newRow("ASF") << "/a/clip.ASF" << 2 << false << true;
    QTest::newRow("txt") << "/a/notes.txt" << -1 << false << false;
    QTest::newRow("no suffix") << "/a/README" << -1 << false << false;
    QTest::newRow("last suffix counts") << "/a/backup.jpg.bak" << -1 << false << false;
    QTest::newRow("dot in folder only") << "/a/photos.jpg/README" << -1 << false << false;
    QTest::newRow("trailing dot") << "/a/clip.mp4." << -1 << false << false;
}

void TestContentInfo::classifiesBySuffix()
{
    QFETCH(QString, path);
    QFETCH(int, type);
    QFETCH(bool, photo);
    QFETCH(bool, video);
    QCOMPARE(contentTypeOfFile(path), type);
    QCOMPARE(isPhotoFile(path), photo);
    QCOMPARE(isVideoFile(path), video);
}

void TestContentInfo::predicates_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("known");
    QTest::addColumn<bool>("photo");
    QTest::addColumn<bool>("video");
    QTest::addColumn<bool>("videoBit");

    QTest::newRow("0") << 0 << false << false << false << false;
    QTest::newRow("1 photos") << 1 << true << true << false << false;
    QTest::newRow("2 videos") << 2 << true << false << true << true;
    QTest::newRow("7 all") << 7 << true << true << true << true;
    QTest::newRow("8 outside photos") << 8 << true << true << false << false;
    QTest::newRow("16 outside videos") << 16 << true << false << true << false;
    QTest::newRow("18") << 18 << false << false << false << true;
}

void TestContentInfo::predicates()
{
    QFETCH(int, id);
    QFETCH(bool, known);
    QFETCH(bool, photo);
    QFETCH(bool, video);
    QFETCH(bool, videoBit);
    QCOMPARE(isKnownType(id), known);
    QCOMPARE(isPhotoType(id), photo);
    QCOMPARE(isVideoType(id), video);
    QCOMPARE(hasVideoBit(id), videoBit);
}

void TestContentInfo::writerCounts_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<int>("photosIn");
    QTest::addColumn<int>("videosIn");
    QTest::addColumn<QString>("photosOut");
    QTest::addColumn<QString>("videosOut");
    QTest::addColumn<QStringList>("types");

    QTest::newRow("empty") << QStringList() << 0 << 0 << "0"
                           << "0" << QStringList();
    QTest::newRow("caller's counts kept") << QStringList { "/v/a.mp4", "/v/b.wmv" } << 3 << 0 << "3"
                                          << "0" << QStringList { "2", "2" };
    QTest::newRow("unknown files count as videos")
        << QStringList { "/a/notes.txt", "/a/README", "/a/p.png", "/a/c.ASF" } << 0 << 0 << "1"
        << "3" << QStringList { "-1", "-1", "1", "2" };
    QTest::newRow("negative counts kept") << QStringList { "/a/p.jpg" } << -2 << 0 << "-2"
                                          << "0" << QStringList { "1" };
}

void TestContentInfo::writerCounts()
{
    QFETCH(QStringList, paths);
    QFETCH(int, photosIn);
    QFETCH(int, videosIn);
    QFETCH(QString, photosOut);
    QFETCH(QString, videosOut);
    QFETCH(QStringList, types);

    ContentInfo info(paths, 0, 0, 0, 0, photosIn, videosIn);
    QVERIFY(contentInfoToXml(info));
    QCOMPARE(QString::number(info.photoCount), photosOut);
    QCOMPARE(QString::number(info.videoCount), videosOut);
    QCOMPARE(firstElement(info.xml, QStringLiteral("photos")).attribute(QStringLiteral("count")),
        photosOut);
    QCOMPARE(firstElement(info.xml, QStringLiteral("videos")).attribute(QStringLiteral("count")),
        videosOut);

    QDomDocument doc;
    QVERIFY(doc.setContent(info.xml));
    const QDomNodeList contents = doc.elementsByTagName(QStringLiteral("content"));
    QStringList gotTypes;
    QStringList gotPaths;
    for (int i = 0; i < contents.size(); ++i) {
        gotTypes << contents.at(i).toElement().attribute(QStringLiteral("type"));
        gotPaths << contents.at(i).toElement().attribute(QStringLiteral("path"));
    }
    QCOMPARE(gotTypes, types);
    QCOMPARE(gotPaths, paths);
}

void TestContentInfo::mousePosition_data()
{
    QTest::addColumn<uint>("button");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QString>("buttonText");
    QTest::addColumn<uint>("buttonRead");

    QTest::newRow("none") << 0u << 0 << 0 << "" << 0u;
    QTest::newRow("left") << 1u << 10 << 20 << "left" << 1u;
    QTest::newRow("right, negative") << 2u << -5 << -2147483647 << "right" << 2u;
    QTest::newRow("other button") << 3u << 1 << 2 << "" << 0u;
}

void TestContentInfo::mousePosition()
{
    QFETCH(uint, button);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QString, buttonText);
    QFETCH(uint, buttonRead);

    ContentInfo info({}, 0, button, x, y, 0, 0);
    QVERIFY(contentInfoToXml(info));
    const QDomElement mouse = firstElement(info.xml, QStringLiteral("mouse_position"));
    QVERIFY(mouse.hasAttribute(QStringLiteral("button")));
    QCOMPARE(mouse.attribute(QStringLiteral("button")), buttonText);
    QCOMPARE(mouse.attribute(QStringLiteral("x")), QString::number(x));
    QCOMPARE(mouse.attribute(QStringLiteral("y")), QString::number(y));

    ContentInfo read;
    QVERIFY(xmlToContentInfo(info.xml, read));
    QCOMPARE(read.button, buttonRead);
    QCOMPARE(read.x, x);
    QCOMPARE(read.y, y);
}

void TestContentInfo::roundTrip_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<uint>("tab");
    QTest::addColumn<QString>("appId");

    QTest::newRow("special characters")
        << QStringList { "/m/Tom & \"Jerry\" <1>.jpg", "/m/it's > 50%.mp4", "/m/Grüße 東京.mov" }
        << 4u << "{A&B}";
    QTest::newRow("tray entry") << QStringList() << 0u << "{BB23CC56-D53E-456e-BD39-5A8A8A394279}";
}

void TestContentInfo::roundTrip()
{
    QFETCH(QStringList, paths);
    QFETCH(uint, tab);
    QFETCH(QString, appId);

    ContentInfo info(paths, tab, 1, 7, 8, 0, 0);
    info.applicationId = appId;
    QVERIFY(contentInfoToXml(info));

    ContentInfo read;
    read.selectedPhotoCount = 99;
    QVERIFY(xmlToContentInfo(info.xml, read));
    QCOMPARE(read.paths, paths);
    QCOMPARE(read.tabType, tab);
    QCOMPARE(read.applicationId, appId);
    QCOMPARE(read.photoCount, info.photoCount);
    QCOMPARE(read.videoCount, info.videoCount);
    QCOMPARE(read.selectedPhotoCount, info.photoCount);
    QCOMPARE(read.selectedVideoCount, info.videoCount);
    QCOMPARE(read.button, 1u);
    QCOMPARE(read.xml, info.xml);
}

void TestContentInfo::readerRejectsMalformedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain text") << "not xml at all";
    QTest::newRow("empty") << "";
    QTest::newRow("unclosed") << "<content_info><tab type=\"3\"/>";
    QTest::newRow("two roots") << "<a/><b/>";
}

void TestContentInfo::readerRejectsMalformedText()
{
    QFETCH(QString, text);
    ContentInfo info({ QStringLiteral("/a.jpg") }, 3, 1, 4, 5, 6, 7);
    info.applicationId = QStringLiteral("{X}");
    info.selectedPhotoCount = 2;
    QVERIFY(!xmlToContentInfo(text, info));
    QCOMPARE(info.xml, text);
    QVERIFY(info.paths.isEmpty());
    QVERIFY(info.applicationId.isEmpty());
    QCOMPARE(info.tabType, 0u);
    QCOMPARE(info.button, 0u);
    QCOMPARE(info.x, 0);
    QCOMPARE(info.y, 0);
    QCOMPARE(info.photoCount, 0);
    QCOMPARE(info.videoCount, 0);
    QCOMPARE(info.selectedPhotoCount, 0);
    QCOMPARE(info.selectedVideoCount, 0);
}

void TestContentInfo::readerToleratesOddMessages_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<int>("selectedPhotos");
    QTest::addColumn<int>("selectedVideos");
    QTest::addColumn<uint>("tab");
    QTest::addColumn<uint>("button");
    QTest::addColumn<int>("photos");

    QTest::newRow("nested content")
        << "<content_info><group><content path=\"/a/p.PNG\"/></group>"
           "<content path=\"/a/n.txt\"/><tab type=\"16\"/></content_info>"
        << QStringList { "/a/p.PNG", "/a/n.txt" } << 1 << 1 << 16u << 0u << 0;
    QTest::newRow("missing parts") << "<content_info/>" << QStringList() << 0 << 0 << 0u << 0u << 0;
    QTest::newRow("numbers that do not parse")
        << "<content_info><tab type=\"x\"/><photos count=\"2b\"/>"
           "<mouse_position button=\"middle\" x=\"1.5\"/></content_info>"
        << QStringList() << 0 << 0 << 0u << 0u << 0;
    QTest::newRow("numeric button from older peers")
        << "<content_info><mouse_position button=\"2\"/><photos count=\"5\"/></content_info>"
        << QStringList() << 0 << 0 << 0u << 2u << 5;
    QTest::newRow("only direct children count")
        << "<content_info><x><tab type=\"9\"/><photos count=\"4\"/></x></content_info>"
        << QStringList() << 0 << 0 << 0u << 0u << 0;
}

void TestContentInfo::readerToleratesOddMessages()
{
    QFETCH(QString, text);
    QFETCH(QStringList, paths);
    QFETCH(int, selectedPhotos);
    QFETCH(int, selectedVideos);
    QFETCH(uint, tab);
    QFETCH(uint, button);
    QFETCH(int, photos);

    ContentInfo info;
    QVERIFY(xmlToContentInfo(text, info));
    QCOMPARE(info.paths, paths);
    QCOMPARE(info.selectedPhotoCount, selectedPhotos);
    QCOMPARE(info.selectedVideoCount, selectedVideos);
    QCOMPARE(info.tabType, tab);
    QCOMPARE(info.button, button);
    QCOMPARE(info.photoCount, photos);
    QCOMPARE(info.x, 0);
}

QTEST_GUILESS_MAIN(TestContentInfo)
#include "tst_contentinfo.moc"
