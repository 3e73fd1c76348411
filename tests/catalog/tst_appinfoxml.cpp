// Application info texts, the metadata folder they are read from and copied
// to, and the language their captions are read in.
#include "catalog/appinfo.h"
#include "catalog/appinfoxml.h"
#include "catalog/contentinfo.h"
#include "catalog/ctaappinfo.h"
#include "catalog/language.h"
#include "catalog/metadatadir.h"

#include "metadatafixture.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <cstdio>
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

QString document(const QString &body)
{
    return u"<!DOCTYPE AppInfoText><app_info>"_qs + body + u"</app_info>"_qs;
}

// The fields both records share, in their order.
template<typename Record>
QString summary(const Record &r)
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

using Ids = QList<quint32>;

QString lists(const CTAAppInfo &info)
{
    QStringList out;
    for (const Ids &ids : { info.langWhitelist, info.langGraylist, info.langBlacklist }) {
        QStringList items;
        for (const quint32 id : ids)
            items << QString::number(id, 16);
        out << items.join(u',');
    }
    return out.join(u'|');
}

const QString untouched = u"x y z 1,2|1,2|1,2|"_qs;

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
        QCOMPARE(QStringList({ info.version, info.build, info.vxproduct }),
            QStringList({ u"1.0"_qs, u"12"_qs, QString() }));
        QCOMPARE(lists(info), u"409,40c|407|804"_qs);
        QString written;
        QVERIFY(appInfoToXml(info, written));
        QCOMPARE(written, example);

        // The smaller record reads the same; icons beyond those named stay.
        ZPVGlobal::AppInfo small;
        small.iconPaths[2] = u"kept.png"_qs;
        QVERIFY(xmlToAppInfo(example, small));
        QCOMPARE(summary(small), summary(info).replace(u"||8|"_qs, u"|kept.png|8|"_qs));
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
        QTest::newRow("no caption in French") << 0x40c << captions << u"x y z |||"_qs;
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
        const QString xml = read == untouched ? body : document(body);
        CTAAppInfo info;
        ZPVGlobal::AppInfo small;
        for (int i = 0; i < 3; ++i)
            info.iconPaths[i] = small.iconPaths[i] = QChar(u'x' + i);
        info.langWhitelist = info.langGraylist = info.langBlacklist = Ids { 1, 2 };
        QCOMPARE(xmlToAppInfo(xml, info), read != untouched);
        QCOMPARE(xmlToAppInfo(xml, small), read != untouched);
        // Both records read the fields they share alike.
        QCOMPARE(summary(small), summary(info));
        const QStringList icons(std::begin(info.iconPaths), std::end(info.iconPaths));
        QCOMPARE(icons.join(u' ') + u' ' + lists(info) + u'|' + info.caption, read);
    }
    void currentLanguage_data()
    {
        // setting: "LanguageID" in the suite's settings file; former: the same key
        // under the organisation's other spelling.
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<QVariant>("former");
        QTest::addColumn<QString>("printed");

        QTest::newRow("system") << "pt_BR.UTF-8" << QVariant() << QVariant() << "1046 pt-BR";
        QTest::newRow("system outside the table: English")
            << "en_GB.UTF-8" << QVariant() << QVariant() << "1033 en-US";
        QTest::newRow("setting outside the table: English captions")
            << "fr_FR.UTF-8" << QVariant(0x437) << QVariant() << "1079 en-US";
        QTest::newRow("former spelling read when the key is missing")
            << "fr_FR.UTF-8" << QVariant() << QVariant(1031) << "1031 de-DE";
        QTest::newRow("the suite's file wins")
            << "pt_BR.UTF-8" << QVariant(1036) << QVariant(1031) << "1036 fr-FR";
    }
    // The system locale is read once per process, so each case runs in a child.
    void currentLanguage()
    {
        QFETCH(QString, locale);
        QFETCH(QVariant, setting);
        QFETCH(QVariant, former);
        QFETCH(QString, printed);

        QTemporaryDir config;
        QVERIFY(config.isValid());
        for (const auto &[file, value] :
            { std::pair("Nobridge/ZPV.conf", setting), std::pair("NoBridge/ZPV.conf", former) }) {
            if (value.isValid())
                QSettings(config.filePath(QLatin1String(file)), QSettings::IniFormat)
                    .setValue(u"LanguageID"_qs, value);
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_qs, config.path());
        env.insert(u"LC_ALL"_qs, locale);
        env.insert(u"LANG"_qs, locale);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), { u"--print-language"_qs });
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), printed);
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
        QVERIFY(metaDataTextForId(u"_{ABC}"_qs, text) && text.contains(u"<id>{ABC}</id>"_qs));
        QVERIFY(!metaDataTextForId(u"{ABD}"_qs, text));
        QString path;
        QVERIFY(appPathForId(u"_{ABC}"_qs, path));
        QCOMPARE(path, QFileInfo(f.root() + u"/Applets/abc.so"_qs).canonicalFilePath());

        // Without a metadata text the applets folder is searched, folders below it
        // included, the name's case ignored; a link back up must not send the
        // search round for ever.
        const QString applets = f.root() + u"/NoBridge/ZPVPlugins/"_qs;
        QVERIFY(MetadataFixture::writeFile(applets + u"x/y/{Def}.SO"_qs, "lib"));
        QVERIFY(MetadataFixture::writeFile(applets + u"x/{DEF}x.so"_qs, "lib"));
        QVERIFY(MetadataFixture::writeFile(applets + u"x/{DEF}.dll"_qs, "lib"));
        QVERIFY(QFile::link(applets, applets + u"loop"_qs));
        QVERIFY(appPathForId(u"{DEF}"_qs, path));
        QCOMPARE(path, applets + u"x/y/{Def}.SO"_qs);
        QVERIFY(!appPathForId(u"{GHI}"_qs, path));
        QVERIFY(appPathForId(u"_{ABC}"_qs, path));

        // An applet's library lies below the common program files, else below the host.
        QVERIFY(MetadataFixture::writeFile(hostFolder("Applets/abc.so"), "host"));
        QVERIFY(MetadataFixture::writeFile(hostFolder("Applets/two.so"), "host"));
        QVERIFY(resolveAppPath(u"Applets/./abc.so"_qs, text) && text == path);
        QVERIFY(resolveAppPath(u"Applets/two.so"_qs, path));
        QCOMPARE(path, QFileInfo(hostFolder("Applets/two.so")).canonicalFilePath());
        QVERIFY(!resolveAppPath(u"Applets/three.so"_qs, path) && !resolveAppPath(QString(), path));
    }
    void refreshesTheHostMetadata()
    {
        const QString applets = m_fixture->root() + u"/NoBridge/ZPVPlugins/"_qs;
        const auto record = [](const char *id, const char *icon) -> QByteArray {
            return "<app_info><id>" + QByteArray(id) + "</id><icon_path>" + icon
                + "</icon_path></app_info>";
        };
        QVERIFY(
            MetadataFixture::writeFile(applets + u"one/one.xml"_qs, record("{ONE}", "one.png")));
        QVERIFY(MetadataFixture::writeIcon(applets + u"one/one.png"_qs, Qt::red));
        QVERIFY(MetadataFixture::writeFile(
            applets + u"two/deeper/two.xml"_qs, record("{TWO}", "two.png")));
        QVERIFY(MetadataFixture::writeIcon(applets + u"two/deeper/two.png"_qs, Qt::green));
        QVERIFY(MetadataFixture::writeFile(
            applets + u"two/three.xml"_qs, record("{THREE}", "../secret.png")));
        QVERIFY(MetadataFixture::writeIcon(applets + u"secret.png"_qs, Qt::green));
        QVERIFY(MetadataFixture::writeFile(applets + u"two/bad.xml"_qs, "<app_info>"));
        QVERIFY(QDir().mkpath(hostFolder("MetaData")));
        QVERIFY(MetadataFixture::writeIcon(hostFolder("MetaData/one.png"), Qt::blue));
        // A folder's own files come first; an icon already there stays, one
        // outside the applet's folder is not copied.
        refreshMetaData();
        QCOMPARE(QDir(hostFolder("MetaData")).entryList(QDir::Files),
            QStringList(
                { u"one.png"_qs, u"one.xml"_qs, u"three.xml"_qs, u"two.png"_qs, u"two.xml"_qs }));
        QCOMPARE(QImage(hostFolder("MetaData/one.png")).pixelColor(1, 1), QColor(Qt::blue));
        QCOMPARE(QImage(hostFolder("MetaData/two.png")).pixelColor(1, 1), QColor(Qt::green));
        QVERIFY(!QFileInfo::exists(hostFolder("secret.png")));
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
    if (argc > 1 && qstrcmp(argv[1], "--print-language") == 0) {
        std::printf("%d %s", currentLanguageId(), qPrintable(currentLanguageCode()));
        return 0;
    }
    TestAppInfoXml test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_appinfoxml.moc"
