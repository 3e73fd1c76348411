#include "catalog/appinfo.h"
#include "catalog/appinfoxml.h"
#include "catalog/contentinfo.h"
#include "catalog/ctaappinfo.h"

#include "metadatafixture.h"

#include <QTest>

namespace {

const QString documentedExample
    = QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n"
                     "<!DOCTYPE AppInfoText>\n"
                     "<app_info>\n"
                     " <app_path>Applets/PhotoShare.dll</app_path>\n"
                     " <lib_id>{8E0F3A61-2B7C-4D55-9A1E-3C6B0D2F7A90}</lib_id>\n"
                     " <id>{1C9D6E24-7F3A-4B8E-A5D2-60E9B4C1F837}</id>\n"
                     " <lib_app_count>1</lib_app_count>\n"
                     " <app_index>0</app_index>\n"
                     " <icon_path>share.png(!)share_small.png</icon_path>\n"
                     " <app_type>8</app_type>\n"
                     " <app_launch/>\n"
                     " <sort_order>2.5</sort_order>\n"
                     " <accepts>jpg,jpeg</accepts>\n"
                     " <version>1.0</version>\n"
                     " <build>12</build>\n"
                     " <vxproduct/>\n"
                     " <caption>\n"
                     "  <en-US>Photo Share</en-US>\n"
                     " </caption>\n"
                     " <tooltip>\n"
                     "  <en-US>Share the selected photos</en-US>\n"
                     " </tooltip>\n"
                     "</app_info>\n");

QString document(const QString &body)
{
    return QStringLiteral("<!DOCTYPE AppInfoText><app_info>") + body
        + QStringLiteral("</app_info>");
}

QString elementText(const QString &xml, const QString &tag)
{
    QDomDocument doc;
    doc.setContent(xml);
    return doc.documentElement().firstChildElement(tag).text();
}

using Ids = QList<quint32>;

} // namespace

class TestAppInfoXml : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void readsAndWritesTheDocumentedText();
    void writesIconPaths_data();
    void writesIconPaths();
    void readsIconPaths_data();
    void readsIconPaths();
    void writesLanguageLists_data();
    void writesLanguageLists();
    void readsLanguageLists_data();
    void readsLanguageLists();
    void picksTheCurrentLanguage_data();
    void picksTheCurrentLanguage();
    void tooltipTransferForm_data();
    void tooltipTransferForm();
    void sortOrder_data();
    void sortOrder();
    void malformedTextLeavesTheRecord_data();
    void malformedTextLeavesTheRecord();
    void smallerRecord();
    void acceptsContent_data();
    void acceptsContent();
    void languageFilters_data();
    void languageFilters();

private:
    MetadataFixture m_fixture;
};

void TestAppInfoXml::init()
{
    MetadataFixture::setLanguageId(0x409);
}

void TestAppInfoXml::readsAndWritesTheDocumentedText()
{
    CTAAppInfo info;
    QVERIFY(xmlToAppInfo(documentedExample, info));
    QCOMPARE(info.appPath, QStringLiteral("Applets/PhotoShare.dll"));
    QCOMPARE(info.id, QStringLiteral("{1C9D6E24-7F3A-4B8E-A5D2-60E9B4C1F837}"));
    QCOMPARE(info.libAppCount, 1);
    QCOMPARE(info.iconPaths[1], QStringLiteral("share_small.png"));
    QCOMPARE(info.appType, 8);
    QCOMPARE(info.sortOrder, 2.5);
    QCOMPARE(info.caption, QStringLiteral("Photo Share"));
    QCOMPARE(info.tooltip, QStringLiteral("Share the selected photos"));
    QCOMPARE(info.build, QStringLiteral("12"));

    QString written;
    QVERIFY(appInfoToXml(info, written));
    QCOMPARE(written, documentedExample);
}

void TestAppInfoXml::writesIconPaths_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("text");

    QTest::newRow("first only") << QStringList { "a.png", "", "" } << "a.png";
    QTest::newRow("all three") << QStringList { "a.png", "b.png", "c.png" }
                               << "a.png(!)b.png(!)c.png";
    QTest::newRow("gap in the middle") << QStringList { "a.png", "", "c.png" } << "a.png(!)c.png";
    QTest::newRow("empty first") << QStringList { "", "b.png", "" } << "(!)b.png";
    QTest::newRow("none") << QStringList { "", "", "" } << QString();
}

void TestAppInfoXml::writesIconPaths()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, text);

    CTAAppInfo info;
    for (int i = 0; i < 3; ++i)
        info.iconPaths[i] = paths.at(i);
    QString xml;
    QVERIFY(appInfoToXml(info, xml));
    QCOMPARE(elementText(xml, QStringLiteral("icon_path")), text);
}

void TestAppInfoXml::readsIconPaths_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("paths");

    // The record starts with x, y, z; parts beyond those present keep them.
    QTest::newRow("empty part dropped")
        << "a.png(!)(!)b.png" << QStringList { "a.png", "b.png", "z" };
    QTest::newRow("empty first moves up") << "(!)b.png" << QStringList { "b.png", "y", "z" };
    QTest::newRow("more than three") << "1(!)2(!)3(!)4" << QStringList { "1", "2", "3" };
    QTest::newRow("none") << QString() << QStringList { "x", "y", "z" };
}

void TestAppInfoXml::readsIconPaths()
{
    QFETCH(QString, text);
    QFETCH(QStringList, paths);

    CTAAppInfo info;
    info.iconPaths[0] = QStringLiteral("x");
    info.iconPaths[1] = QStringLiteral("y");
    info.iconPaths[2] = QStringLiteral("z");
    QVERIFY(xmlToAppInfo(
        document(QStringLiteral("<icon_path>") + text + QStringLiteral("</icon_path>")), info));
    QCOMPARE((QStringList { info.iconPaths[0], info.iconPaths[1], info.iconPaths[2] }), paths);
}

void TestAppInfoXml::writesLanguageLists_data()
{
    QTest::addColumn<Ids>("white");
    QTest::addColumn<Ids>("black");
    QTest::addColumn<QString>("whiteText");
    QTest::addColumn<bool>("hasBlack");

    QTest::newRow("two ids") << Ids { 0x409, 0x40c } << Ids() << "409,40c" << false;
    QTest::newRow("empty lists left out") << Ids() << Ids() << QString() << false;
    QTest::newRow("black only") << Ids() << Ids { 0x804 } << QString() << true;
}

void TestAppInfoXml::writesLanguageLists()
{
    QFETCH(Ids, white);
    QFETCH(Ids, black);
    QFETCH(QString, whiteText);
    QFETCH(bool, hasBlack);

    CTAAppInfo info;
    info.langWhitelist = white;
    info.langBlacklist = black;
    QString xml;
    QVERIFY(appInfoToXml(info, xml));
    QCOMPARE(xml.contains(QStringLiteral("<lang_whitelist>")), !whiteText.isEmpty());
    QCOMPARE(elementText(xml, QStringLiteral("lang_whitelist")), whiteText);
    QCOMPARE(xml.contains(QStringLiteral("<lang_blacklist>")), hasBlack);
    QVERIFY(!xml.contains(QStringLiteral("lang_graylist")));
    CTAAppInfo read;
    QVERIFY(xmlToAppInfo(xml, read));
    QCOMPARE(read.langWhitelist, white);
    QCOMPARE(read.langBlacklist, black);
    // The list elements stand between "vxproduct" and "caption".
    if (hasBlack)
        QVERIFY(xml.indexOf(QStringLiteral("<vxproduct"))
                < xml.indexOf(QStringLiteral("<lang_blacklist"))
            && xml.indexOf(QStringLiteral("<lang_blacklist"))
                < xml.indexOf(QStringLiteral("<caption")));
}

void TestAppInfoXml::readsLanguageLists_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Ids>("ids");
    QTest::addColumn<QStringList>("warnings");

    QTest::newRow("both number forms and a bad part")
        << "lang_whitelist"
        << "0x409,1036,abc" << Ids { 1033, 1036 } << QStringList { "abc" };
    QTest::newRow("upper-case prefix") << "lang_graylist"
                                       << "0X40C" << Ids { 0x40c } << QStringList();
    QTest::newRow("octal") << "lang_blacklist"
                           << "011" << Ids { 9 } << QStringList();
    QTest::newRow("our writer's hex") << "lang_blacklist"
                                      << "409,40c" << Ids { 0x409, 0x40c } << QStringList();
    QTest::newRow("our writer's hex, digits only")
        << "lang_whitelist"
        << "1404,409" << Ids { 0x1404, 0x409 } << QStringList();
    QTest::newRow("empty parts") << "lang_graylist"
                                 << ",,1033," << Ids { 1033 } << QStringList();
    QTest::newRow("negative") << "lang_whitelist"
                              << "-1,7" << Ids { 7 } << QStringList { "-1" };
}

void TestAppInfoXml::readsLanguageLists()
{
    QFETCH(QString, tag);
    QFETCH(QString, text);
    QFETCH(Ids, ids);
    QFETCH(QStringList, warnings);

    for (const QString &part : std::as_const(warnings))
        QTest::ignoreMessage(QtWarningMsg,
            qPrintable(QStringLiteral("ContentTypeAggregator::xmlToAppInfo() - list failure: Cap ")
                + tag + u' ' + part));
    CTAAppInfo info;
    info.langWhitelist = info.langGraylist = info.langBlacklist = Ids { 1, 2 };
    QVERIFY(xmlToAppInfo(document(QStringLiteral("<caption><en-US>Cap</en-US></caption><") + tag
                             + u'>' + text + QStringLiteral("</") + tag + u'>'),
        info));
    // Every list is read afresh; the absent ones come back empty.
    QCOMPARE(info.langWhitelist, tag == u"lang_whitelist" ? ids : Ids());
    QCOMPARE(info.langGraylist, tag == u"lang_graylist" ? ids : Ids());
    QCOMPARE(info.langBlacklist, tag == u"lang_blacklist" ? ids : Ids());
}

void TestAppInfoXml::picksTheCurrentLanguage_data()
{
    QTest::addColumn<QVariant>("language");
    QTest::addColumn<QString>("caption");

    QTest::newRow("en-US") << QVariant(0x409) << "English";
    QTest::newRow("de-DE") << QVariant(0x407) << "Deutsch";
    QTest::newRow("no child of that language") << QVariant(0x40c) << QString();
    QTest::newRow("language outside the table: English") << QVariant(0x437) << "English";
}

void TestAppInfoXml::picksTheCurrentLanguage()
{
    QFETCH(QVariant, language);
    QFETCH(QString, caption);

    MetadataFixture::setLanguageId(language);
    CTAAppInfo info;
    QVERIFY(
        xmlToAppInfo(document(QStringLiteral("<caption><de-DE>Deutsch</de-DE><en-US>English</en-US>"
                                             "</caption><tooltip><en-US>Tip</en-US></tooltip>")),
            info));
    QCOMPARE(info.caption, caption);

    // Written back, the text stays readable whatever the language.
    QString xml;
    QVERIFY(appInfoToXml(info, xml));
    CTAAppInfo again;
    QVERIFY(xmlToAppInfo(xml, again));
    QCOMPARE(again.caption, caption);
}

void TestAppInfoXml::tooltipTransferForm_data()
{
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("stored");

    QTest::newRow("ASCII") << "Share it"
                           << "Share it";
    QTest::newRow("Latin-1 letter")
        << QStringLiteral("Caf\u00e9") << QStringLiteral("Caf\u00c3\u00a9");
    QTest::newRow("outside Latin-1") << QStringLiteral("\u65e5\u672c \u2713")
                                     << QStringLiteral("\u00e6\u0097\u00a5\u00e6\u009c\u00ac "
                                                       "\u00e2\u009c\u0093");
}

void TestAppInfoXml::tooltipTransferForm()
{
    QFETCH(QString, tooltip);
    QFETCH(QString, stored);

    CTAAppInfo info;
    info.tooltip = tooltip;
    info.caption = tooltip;
    QString xml;
    QVERIFY(appInfoToXml(info, xml));
    QDomDocument doc;
    QVERIFY(doc.setContent(xml));
    const QDomElement root = doc.documentElement();
    QCOMPARE(root.firstChildElement(QStringLiteral("tooltip"))
                 .firstChildElement(QStringLiteral("en-US"))
                 .text(),
        stored);
    QCOMPARE(root.firstChildElement(QStringLiteral("caption"))
                 .firstChildElement(QStringLiteral("en-US"))
                 .text(),
        tooltip);

    CTAAppInfo read;
    QVERIFY(xmlToAppInfo(xml, read));
    QCOMPARE(read.tooltip, tooltip);
    QCOMPARE(read.caption, tooltip);
}

void TestAppInfoXml::sortOrder_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("fixed") << 2.5 << "2.5";
    QTest::newRow("small") << 1e-07 << "1e-07";
    QTest::newRow("six digits") << 1234567.0 << "1.23457e+06";
    QTest::newRow("zero") << 0.0 << "0";
}

void TestAppInfoXml::sortOrder()
{
    QFETCH(double, value);
    QFETCH(QString, text);

    CTAAppInfo info;
    info.sortOrder = value;
    QString xml;
    QVERIFY(appInfoToXml(info, xml));
    QCOMPARE(elementText(xml, QStringLiteral("sort_order")), text);
}

void TestAppInfoXml::malformedTextLeavesTheRecord_data()
{
    QTest::addColumn<QString>("xml");
    QTest::newRow("empty") << QString();
    QTest::newRow("unclosed") << "<app_info><id>{X}</id>";
    QTest::newRow("deeper than the guard allows")
        << QString(QStringLiteral("<app_info>") + QStringLiteral("<x>").repeated(200));
}

void TestAppInfoXml::malformedTextLeavesTheRecord()
{
    QFETCH(QString, xml);

    CTAAppInfo info;
    info.id = QStringLiteral("{KEPT}");
    info.langWhitelist = Ids { 7 };
    QVERIFY(!xmlToAppInfo(xml, info));
    QCOMPARE(info.id, QStringLiteral("{KEPT}"));
    QCOMPARE(info.langWhitelist, Ids { 7 });

    ZPVGlobal::AppInfo small;
    small.id = QStringLiteral("{KEPT}");
    QVERIFY(!xmlToAppInfo(xml, small));
    QCOMPARE(small.id, QStringLiteral("{KEPT}"));
}

void TestAppInfoXml::smallerRecord()
{
    ZPVGlobal::AppInfo info;
    info.iconPaths[2] = QStringLiteral("kept.png");
    QVERIFY(xmlToAppInfo(documentedExample, info));
    QCOMPARE(info.appPath, QStringLiteral("Applets/PhotoShare.dll"));
    QCOMPARE(info.libId, QStringLiteral("{8E0F3A61-2B7C-4D55-9A1E-3C6B0D2F7A90}"));
    QCOMPARE(info.appType, 8);
    QCOMPARE(info.accepts, QStringLiteral("jpg,jpeg"));
    QCOMPARE(info.sortOrder, 2.5);
    QCOMPARE(info.caption, QStringLiteral("Photo Share"));
    QCOMPARE((QStringList { info.iconPaths[0], info.iconPaths[1], info.iconPaths[2] }),
        (QStringList { "share.png", "share_small.png", "kept.png" }));
}

void TestAppInfoXml::acceptsContent_data()
{
    QTest::addColumn<QString>("accepts");
    QTest::addColumn<uint>("tab");
    QTest::addColumn<int>("photos");
    QTest::addColumn<int>("videos");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("all content takes anything") << QString() << 7u << 1 << 0 << true;
    QTest::newRow("all content, nothing selected") << "jpg" << 7u << 0 << 0 << false;
    QTest::newRow("video applet, photo tab") << "wmv" << 1u << 2 << 0 << false;
    QTest::newRow("video applet, video tab") << "wmv" << 2u << 0 << 1 << true;
    QTest::newRow("video applet, motion tab") << "mp4,avi" << 4u << 0 << 1 << true;
    QTest::newRow("video tab without videos") << "wmv" << 2u << 3 << 0 << false;
    QTest::newRow("photo applet, photo folder tab") << "jpg,jpeg" << 8u << 1 << 0 << true;
    QTest::newRow("photo applet, video folder tab") << "jpg" << 16u << 0 << 1 << false;
    QTest::newRow("suffix case and spaces") << "PNG, WMV" << 2u << 0 << 1 << true;
    QTest::newRow("unknown suffixes") << "txt,doc" << 1u << 1 << 1 << false;
}

void TestAppInfoXml::acceptsContent()
{
    QFETCH(QString, accepts);
    QFETCH(uint, tab);
    QFETCH(int, photos);
    QFETCH(int, videos);
    QFETCH(bool, accepted);

    CTAAppInfo info;
    info.accepts = accepts;
    const ContentInfo content({}, tab, 0, 0, 0, photos, videos);
    QCOMPARE(appAcceptsContent(info, content), accepted);
}

void TestAppInfoXml::languageFilters_data()
{
    QTest::addColumn<Ids>("white");
    QTest::addColumn<Ids>("gray");
    QTest::addColumn<Ids>("black");
    QTest::addColumn<bool>("blocked");
    QTest::addColumn<bool>("notGray");

    QTest::newRow("no lists") << Ids() << Ids() << Ids() << false << true;
    QTest::newRow("white list holds it") << Ids { 0x409 } << Ids() << Ids() << false << true;
    QTest::newRow("white list lacks it") << Ids { 0x407 } << Ids() << Ids() << true << true;
    QTest::newRow("black beats white") << Ids { 0x409 } << Ids() << Ids { 0x409 } << true << true;
    QTest::newRow("gray listed") << Ids() << Ids { 0x409 } << Ids() << false << false;
}

void TestAppInfoXml::languageFilters()
{
    QFETCH(Ids, white);
    QFETCH(Ids, gray);
    QFETCH(Ids, black);
    QFETCH(bool, blocked);
    QFETCH(bool, notGray);

    CTAAppInfo info;
    info.langWhitelist = white;
    info.langGraylist = gray;
    info.langBlacklist = black;
    QCOMPARE(isLanguageBlocked(info, 0x409), blocked);
    QCOMPARE(notGrayListed(info, 0x409), notGray);
}

QTEST_MAIN(TestAppInfoXml)
#include "tst_appinfoxml.moc"
