// Application info texts, the metadata folder they are read from and copied
// to, and the language their captions are read in; the messages passed
// between applets: the media selection and the camera's capture status.
#include "catalog/appinfoxml.h"
#include "catalog/capturestatus.h"
#include "catalog/contentinfo.h"
#include "catalog/contenttype.h"
#include "catalog/ctaappinfo.h"
#include "catalog/language.h"
#include "catalog/metadatadir.h"

#include "metadatafixture.h"

#include <QDir>
#include <QDomDocument>
#include <QGuiApplication>
#include <QTest>

#include <optional>

namespace {

// Tooltips travel as the UTF-8 bytes of their text, a character per byte.
const QString example = QStringLiteral(
    "<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE AppInfoText>\n<app_info>\n"
    " <app_path>Applets/PhotoShare.dll</app_path>\n <lib_id>{8E0F3A61-2B7C}</lib_id>\n"
    " <id>{1C9D6E24-7F3A}</id>\n <lib_app_count>3</lib_app_count>\n <app_index>2</app_index>\n"
    " <icon_path>share.png(!)share_small.png</icon_path>\n <app_type>8</app_type>\n"
    " <app_launch>Photo(!)Share</app_launch>\n <sort_order>2.5</sort_order>\n"
    " <accepts>jpg,jpeg</accepts>\n <version>1.0</version>\n <build>12</build>\n <vxproduct/>\n"
    " <lang_whitelist>409,40c</lang_whitelist>\n <lang_graylist>407</lang_graylist>\n"
    " <lang_blacklist>804</lang_blacklist>\n <caption>\n  <en-US>Photo Share</en-US>\n </caption>\n"
    " <tooltip>\n  <en-US>Caf\u00c3\u00a9 \u00e6\u0097\u00a5</en-US>\n </tooltip>\n"
    "</app_info>\n");

// The fields every record holds, in their order.
QString summary(const CTAAppInfo &r)
{
    return QStringList(
        { r.appPath, r.libId, r.id, QString::number(r.libAppCount), QString::number(r.appIndex),
            r.iconPaths[0], r.iconPaths[1], r.iconPaths[2], QString::number(r.appType), r.appLaunch,
            QString::number(r.sortOrder), r.accepts, r.caption, r.tooltip })
        .join(u'|');
}

QString hostFolder(const char *name)
{
    return QCoreApplication::applicationDirPath() + u'/' + QLatin1String(name);
}

QString lists(const CTAAppInfo &info)
{
    QStringList out;
    for (const QList<quint32> &ids :
        { info.langWhitelist, info.langGraylist, info.langBlacklist }) {
        QStringList items;
        for (const quint32 id : ids)
            items << QString::number(id, 16);
        out << items.join(u',');
    }
    return out.join(u'|');
}

const QString untouched = u"x y z 1,2|1,2|1,2|"_qs;

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
QString selection(const ContentInfo &i)
{
    QStringList parts;
    for (const qint64 n :
        { qint64(i.tabType), qint64(i.button), qint64(i.x), qint64(i.y), qint64(i.photoCount),
            qint64(i.videoCount), qint64(i.selectedPhotoCount), qint64(i.selectedVideoCount) })
        parts << QString::number(n);
    return parts.join(u' ') + u" app="_qs + i.applicationId + u" paths="_qs + i.paths.join(u'|');
}

} // namespace

class TestAppInfoXml : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every test starts from a new metadata fixture (language en-US) and no
    // folders beside the host.
    void init()
    {
        removeHostFolders();
        m_fixture.reset();
        m_fixture.emplace();
    }
    void cleanupTestCase() { removeHostFolders(); }
    void readsAndWritesTheExample()
    {
        CTAAppInfo info;
        QVERIFY(xmlToAppInfo(example, info));
        QCOMPARE(summary(info),
            u"Applets/"
            u"PhotoShare.dll|{8E0F3A61-2B7C}|{1C9D6E24-7F3A}|3|2|share.png|share_small.png||8|"
            "Photo(!)Share|2.5|jpg,jpeg|Photo Share|Caf\u00e9 \u65e5"_qs);
        QString written;
        QVERIFY(appInfoToXml(info, written));
        QCOMPARE(written, example);
    }
    void readsTexts_data()
    {
        // The language in force, the text's body, and what is read into a record
        // holding icons x, y and z and lists {1, 2}: icons, the white, gray and
        // black lists in hexadecimal, caption. A text refused leaves the record.
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("read");

        QTest::newRow("empty icon parts dropped, three at most")
            << 0x409 << u"<icon_path>1(!)(!)2(!)3(!)4</icon_path>"_qs << u"1 2 3 |||"_qs;
        QTest::newRow("hexadecimal list, digits only")
            << 0x409 << u"<lang_graylist>1404,409</lang_graylist>"_qs << u"x y z |1404,409||"_qs;
        QTest::newRow("older list: decimal and 0x items, a bad part")
            << 0x409 << u"<lang_blacklist>0x409,1036,abc</lang_blacklist>"_qs
            << u"x y z ||409,40c|"_qs;
        QTest::newRow("older list: upper-case prefix, empty parts, octal")
            << 0x409 << u"<lang_whitelist>,0X40C,,011</lang_whitelist>"_qs << u"x y z 40c,9|||"_qs;
        const QString captions
            = u"<caption><de-DE>Deutsch</de-DE><en-US>English</en-US></caption>"_qs;
        QTest::newRow("caption in German") << 0x407 << captions << u"x y z |||Deutsch"_qs;
        QTest::newRow("language outside the table: English")
            << 0x437 << captions << u"x y z |||English"_qs;
        QTest::newRow("unclosed") << 0x409 << u"<app_info><id>{X}</id>"_qs << untouched;
    }
    void readsTexts()
    {
        QFETCH(int, language);
        QFETCH(QString, body);
        QFETCH(QString, read);

        MetadataFixture::setLanguageId(language);
        const QString xml = read == untouched
            ? body
            : u"<!DOCTYPE AppInfoText><app_info>"_qs + body + u"</app_info>"_qs;
        CTAAppInfo info;
        for (int i = 0; i < 3; ++i)
            info.iconPaths[i] = QChar(u'x' + i);
        info.langWhitelist = info.langGraylist = info.langBlacklist = QList<quint32> { 1, 2 };
        QCOMPARE(xmlToAppInfo(xml, info), read != untouched);
        const QStringList icons(std::begin(info.iconPaths), std::end(info.iconPaths));
        QCOMPARE(icons.join(u' ') + u' ' + lists(info) + u'|' + info.caption, read);
    }
    void readsMetaFiles()
    {
        // Files are UTF-8; one that is not (an old 8-bit file) reads a byte per character.
        const std::tuple<const char *, QByteArray, QString> files[] = { { "PLUGIN.XML", "<a/>",
                                                                            u"<a/>"_qs },
            { "plugin.xml.bak", "<a/>", QString() }, { "empty.xml", "", QString() },
            { "utf8.xml", "<a>Vid\xc3\xa9o \xe3\x83\x93</a>", u"<a>Vid\u00e9o \u30d3</a>"_qs },
            { "bom.xml", "\xef\xbb\xbf<a>\xc3\xa9</a>", u"<a>\u00e9</a>"_qs },
            { "latin1.xml", "<a>\xe9</a>", u"<a>\u00e9</a>"_qs } };
        for (const auto &[name, bytes, text] : files) {
            const QString path = m_fixture->metaDir() + QLatin1String(name);
            QVERIFY(MetadataFixture::writeFile(path, bytes));
            QString read = u"unchanged"_qs;
            QCOMPARE(readMetaFile(path, read), !text.isNull());
            QCOMPARE(read, text.isNull() ? u"unchanged"_qs : text);
        }
    }
    void findsLibraries()
    {
        MetadataFixture &f = *m_fixture;
        f.addApplet(u"{ABC}"_qs, 8, u"abc.png"_qs, Qt::red, u"ABC"_qs, u"abc"_qs);
        QString text;
        QVERIFY(metaDataTextForId(u"_{ABC}"_qs, text) && !metaDataTextForId(u"{ABD}"_qs, text));
        QString path;
        QVERIFY(appPathForId(u"_{ABC}"_qs, path) && path.endsWith(u"/Applets/abc.so"));

        // Without a metadata text the applets folder is searched, folders below it
        // included, the name's case ignored; a link back up must not send the
        // search round for ever.
        const QString applets = f.root() + u"/NoBridge/ZPVPlugins/"_qs;
        QVERIFY(MetadataFixture::writeFile(applets + u"x/y/{Def}.SO"_qs, "lib"));
        QVERIFY(MetadataFixture::writeFile(applets + u"x/{DEF}x.so"_qs, "lib"));
        QVERIFY(QFile::link(applets, applets + u"loop"_qs));
        QVERIFY(appPathForId(u"{DEF}"_qs, path));
        QCOMPARE(path, applets + u"x/y/{Def}.SO"_qs);
        QVERIFY(!appPathForId(u"{GHI}"_qs, path));

        // An applet's library lies below the common program files, else below the host.
        QVERIFY(MetadataFixture::writeFile(hostFolder("Applets/abc.so"), "host"));
        QVERIFY(resolveAppPath(u"Applets/./abc.so"_qs, text)
            && text == QFileInfo(f.root() + u"/Applets/abc.so"_qs).canonicalFilePath());
        QVERIFY(MetadataFixture::writeFile(hostFolder("Applets/two.so"), "host"));
        QVERIFY(resolveAppPath(u"Applets/two.so"_qs, text)
            && text == QFileInfo(hostFolder("Applets/two.so")).canonicalFilePath());
        QVERIFY(!resolveAppPath(u"Applets/three.so"_qs, path) && !resolveAppPath(QString(), path));
    }
    void refreshesTheHostMetadata()
    {
        // Texts are copied from folders at any depth, with the icons beside them;
        // an icon already there stays, one outside the applet's folder is not
        // copied, and a text not well formed is left behind.
        const QString applets = m_fixture->root() + u"/NoBridge/ZPVPlugins/"_qs;
        for (const auto &[file, icon] :
            { std::pair("one/one.xml", "one.png"), std::pair("two/deeper/two.xml", "two.png"),
                std::pair("two/three.xml", "../secret.png") }) {
            QVERIFY(MetadataFixture::writeFile(applets + QLatin1String(file),
                "<app_info><icon_path>" + QByteArray(icon) + "</icon_path></app_info>"));
            QVERIFY(MetadataFixture::writeIcon(
                QFileInfo(applets + QLatin1String(file)).path() + u'/' + QLatin1String(icon),
                Qt::green));
        }
        QVERIFY(MetadataFixture::writeFile(applets + u"two/bad.xml"_qs, "<app_info>"));
        QVERIFY(QDir().mkpath(hostFolder("MetaData")));
        QVERIFY(MetadataFixture::writeIcon(hostFolder("MetaData/one.png"), Qt::blue));
        refreshMetaData();
        QCOMPARE(QDir(hostFolder("MetaData")).entryList(QDir::Files),
            QStringList(
                { u"one.png"_qs, u"one.xml"_qs, u"three.xml"_qs, u"two.png"_qs, u"two.xml"_qs }));
        QCOMPARE(QImage(hostFolder("MetaData/one.png")).pixelColor(1, 1), QColor(Qt::blue));
        QVERIFY(!QFileInfo::exists(hostFolder("secret.png")));
    }
    void writesAndReadsAMessage()
    {
        // Types come from the last suffix of the file name alone; without counts
        // from the caller, files of no known type count as videos.
        ContentInfo info({ u"C:/Pictures/Tom & \"Jerry\" <1>.JPG"_qs, u"/m/it's > 50%.ASF"_qs,
                             u"/m/Grüße 東京.mov"_qs, u"/a/.png"_qs, u"/a/b.jpg.bak"_qs },
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
                u"content path=/a/b.jpg.bak type=-1"_qs, u"photos count=2 ext=jpg,jpeg"_qs,
                u"videos count=3 ext=wmv,avi,mov,mp4"_qs,
                u"mouse_position button=right x=7 y=-2147483647"_qs, u"application id={A&B}"_qs }));
        ContentInfo read;
        QVERIFY(xmlToContentInfo(info.xml, read));
        QCOMPARE(read.xml, info.xml);
        info.countSelection();
        QCOMPARE(selection(read), selection(info));
    }
    void reader_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // as selection() puts it; null: rejected

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
        QCOMPARE(selection(info), read.isNull() ? u"0 0 0 0 0 0 0 0 app= paths="_qs : read);
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

private:
    static void removeHostFolders()
    {
        QDir(hostFolder("MetaData")).removeRecursively();
        QDir(hostFolder("Applets")).removeRecursively();
    }

    std::optional<MetadataFixture> m_fixture;
};

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    TestAppInfoXml test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_appinfoxml.moc"
