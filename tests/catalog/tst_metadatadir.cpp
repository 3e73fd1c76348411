#include "catalog/appinfoxml.h"
#include "catalog/ctaappinfo.h"
#include "catalog/metadatadir.h"

#include "metadatafixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QString hostFolder(const char *name)
{
    return QCoreApplication::applicationDirPath() + u'/' + QLatin1String(name);
}

QMap<QString, QColor> byId(const QList<CTAAppInfo> &infos)
{
    QMap<QString, QColor> ids;
    for (const CTAAppInfo &info : infos)
        ids.insert(info.id, info.icon.isNull() ? QColor() : info.icon.pixelColor(1, 1));
    return ids;
}

} // namespace

class TestMetadataDir : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void choosesTheDirectory_data();
    void choosesTheDirectory();
    void readsOnlyXmlFiles_data();
    void readsOnlyXmlFiles();
    void filtersRecords_data();
    void filtersRecords();
    void replacesMissingIcons_data();
    void replacesMissingIcons();
    void findsTextAndLibraryOfAnId();
    void findsLibrariesBelowTheAppletsDir_data();
    void findsLibrariesBelowTheAppletsDir();
    void resolvesLibraries();
    void refreshesTheHostMetadata();
};

void TestMetadataDir::cleanup()
{
    QDir(hostFolder("MetaData")).removeRecursively();
    QDir(hostFolder("Applets")).removeRecursively();
}

void TestMetadataDir::choosesTheDirectory_data()
{
    QTest::addColumn<bool>("common");
    QTest::addColumn<bool>("host");
    QTest::addColumn<QString>("chosen");

    QTest::newRow("both") << true << true << "common";
    QTest::newRow("common only") << true << false << "common";
    QTest::newRow("host only") << false << true << "host";
    QTest::newRow("neither") << false << false << QString();
}

void TestMetadataDir::choosesTheDirectory()
{
    QFETCH(bool, common);
    QFETCH(bool, host);
    QFETCH(QString, chosen);

    MetadataFixture fixture;
    if (!common)
        QVERIFY(QDir(fixture.root() + QStringLiteral("/nobridge")).removeRecursively());
    if (host) {
        QVERIFY(QDir().mkpath(hostFolder("MetaData")));
        QVERIFY(QDir().mkpath(hostFolder("Applets")));
    } else {
        QVERIFY(QDir().mkpath(fixture.root() + QStringLiteral("/NoBridge/ZPVPlugins")));
    }

    QString dir = QStringLiteral("unchanged");
    QCOMPARE(metaDataDir(dir), !chosen.isEmpty());
    QString applets;
    QVERIFY(appletsDir(applets));
    if (chosen == u"common")
        QCOMPARE(dir, fixture.metaDir());
    else if (chosen == u"host")
        QCOMPARE(dir, hostFolder("MetaData") + u'/');
    else
        QCOMPARE(dir, QStringLiteral("unchanged"));
    // The applets folder prefers the host's.
    const QString expectedApplets = host ? hostFolder("Applets") + QStringLiteral("/")
                                         : fixture.root() + QStringLiteral("/NoBridge/ZPVPlugins/");
    QCOMPARE(applets, expectedApplets);

    QStringList texts;
    QList<CTAAppInfo> infos;
    QCOMPARE(readMetaDataTexts(texts), !chosen.isEmpty());
    QCOMPARE(loadAppInfos(infos, 0), !chosen.isEmpty());
}

void TestMetadataDir::readsOnlyXmlFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text"); // null: not read

    const QString a = QStringLiteral("<a/>");
    QTest::newRow("upper-case suffix") << "PLUGIN.XML" << QByteArray("<a/>") << a;
    QTest::newRow("backup") << "plugin.xml.bak" << QByteArray("<a/>") << QString();
    QTest::newRow("empty") << "empty.xml" << QByteArray() << QString();
    QTest::newRow("no suffix") << "xml" << QByteArray("<a/>") << QString();
    QTest::newRow("UTF-8") << "utf8.xml"
                           << QByteArray("<a>Vid\xc3\xa9o \xe3\x83\x93\xe3\x83\x87\xe3\x82\xaa</a>")
                           << QStringLiteral("<a>Vid\u00e9o \u30d3\u30c7\u30aa</a>");
    QTest::newRow("byte-order mark") << "bom.xml" << QByteArray("\xef\xbb\xbf<a/>") << a;
    QTest::newRow("not UTF-8: a byte per character")
        << "latin1.xml" << QByteArray("<a>\xe9</a>") << QStringLiteral("<a>\u00e9</a>");
}

void TestMetadataDir::readsOnlyXmlFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);

    MetadataFixture fixture;
    QVERIFY(MetadataFixture::writeFile(fixture.metaDir() + name, bytes));
    QString read = QStringLiteral("unchanged");
    QCOMPARE(readMetaFile(fixture.metaDir() + name, read), !text.isNull());
    QCOMPARE(read, text.isNull() ? QStringLiteral("unchanged") : text);
    QStringList texts;
    QVERIFY(readMetaDataTexts(texts));
    QCOMPARE(texts, text.isNull() ? QStringList() : QStringList { text });
    QVERIFY(!readMetaFile(fixture.metaDir() + QStringLiteral("absent.xml"), read));
}

void TestMetadataDir::filtersRecords_data()
{
    QTest::addColumn<uint>("filter");
    QTest::addColumn<QStringList>("ids");

    QTest::newRow("0: everything with a library")
        << 0u << QStringList { "{T12}", "{T2}", "{T2048}", "{MISSINGICON}", "{NOICONPATH}" };
    QTest::newRow("8: shared bit and an icon") << 8u << QStringList { "{T12}", "{MISSINGICON}" };
    QTest::newRow("2: shared bit") << 2u << QStringList { "{T2}" };
    QTest::newRow("2048: no icons needed") << 2048u << QStringList { "{T2048}" };
    QTest::newRow("no applet of the type") << 16u << QStringList();
}

void TestMetadataDir::filtersRecords()
{
    QFETCH(uint, filter);
    QFETCH(QStringList, ids);

    MetadataFixture f;
    f.addApplet("{T12}", 12, "t12.png", Qt::red, "T12", "t12");
    f.addApplet("{T2}", 2, "t2.png", Qt::green, "T2", "t2");
    f.addApplet("{NOICONPATH}", 8, QString(), QColor(), "No icon path", "noicon");
    f.addApplet("{MISSINGICON}", 8, "gone.png", QColor(), "Missing icon", "missing");
    f.addApplet("{NOLIB}", 8, "nolib.png", Qt::red, "No library", QString());
    f.addApplet("{T2048}", 2048, "absent.png", QColor(), "T2048", "t2048");
    f.addApplet("{BROKEN}", 8, "t12.png", QColor(), "Broken", "broken", "broken.xml");
    QVERIFY(MetadataFixture::writeFile(f.metaDir() + "broken.xml", "<app_info><id>{BROKEN}"));
    QVERIFY(MetadataFixture::writeIcon(f.metaDir() + "missing_icon.png", Qt::blue));

    QList<CTAAppInfo> infos;
    QVERIFY(loadAppInfos(infos, filter));
    const QMap<QString, QColor> found = byId(infos);
    QStringList foundIds = found.keys();
    ids.sort();
    QCOMPARE(foundIds, ids);

    const QMap<QString, QColor> icons { { "{T12}", Qt::red }, { "{T2}", Qt::green },
        { "{MISSINGICON}", Qt::blue }, { "{T2048}", filter == 2048 ? QColor() : QColor(Qt::blue) },
        { "{NOICONPATH}", QColor() } };
    for (auto it = found.cbegin(); it != found.cend(); ++it)
        QCOMPARE(it.value(), icons.value(it.key()));
    for (const CTAAppInfo &info : std::as_const(infos))
        QCOMPARE(info.appPath,
            QFileInfo(f.root() + "/Applets/" + QFileInfo(info.appPath).fileName())
                .canonicalFilePath());
}

void TestMetadataDir::replacesMissingIcons_data()
{
    QTest::addColumn<bool>("folderHasOne");
    QTest::newRow("the folder's own") << true;
    QTest::newRow("the library's own") << false;
}

void TestMetadataDir::replacesMissingIcons()
{
    QFETCH(bool, folderHasOne);

    MetadataFixture f;
    f.addApplet("{A}", 8, "gone.png", QColor(), "A", "a");
    if (folderHasOne)
        QVERIFY(MetadataFixture::writeIcon(f.metaDir() + "missing_icon.png", Qt::magenta));
    QList<CTAAppInfo> infos;
    QVERIFY(loadAppInfos(infos, 8));
    QCOMPARE(infos.size(), 1);
    const QImage expected = folderHasOne ? QImage(f.metaDir() + "missing_icon.png")
                                         : QImage(QString::fromLatin1(builtInMissingIcon));
    QVERIFY(!expected.isNull());
    QCOMPARE(infos.first().icon, expected);
}

void TestMetadataDir::findsTextAndLibraryOfAnId()
{
    MetadataFixture f;
    f.addApplet("{ABC}", 8, "abc.png", Qt::red, "ABC", "abc");
    QString text;
    QVERIFY(metaDataTextForId("_{ABC}", text));
    QVERIFY(text.contains("<id>{ABC}</id>"));
    QVERIFY(metaDataTextForId("{ABC}", text));
    QVERIFY(!metaDataTextForId("{ABD}", text));

    QString path;
    QVERIFY(appPathForId("_{ABC}", path));
    QCOMPARE(path, QFileInfo(f.root() + "/Applets/abc.so").canonicalFilePath());

    // Without a metadata text the applets folder is searched.
    QVERIFY(MetadataFixture::writeFile(f.root() + "/NoBridge/ZPVPlugins/x/{DEF}.so", "lib"));
    QVERIFY(appPathForId("{DEF}", path));
    QCOMPARE(QFileInfo(path).canonicalFilePath(),
        QFileInfo(f.root() + "/NoBridge/ZPVPlugins/x/{DEF}.so").canonicalFilePath());
    QVERIFY(!appPathForId("{GHI}", path));
}

void TestMetadataDir::findsLibrariesBelowTheAppletsDir_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("found");

    QTest::newRow("two folders down, other case") << "a/b/{ABC}.SO"
                                                  << "{ABC}" << true;
    QTest::newRow("top level") << "{ABC}.so"
                               << "{abc}" << true;
    QTest::newRow("other name") << "a/{ABC}.so"
                                << "{ABD}" << false;
    QTest::newRow("other suffix") << "a/{ABC}.dll"
                                  << "{ABC}" << false;
    QTest::newRow("longer name") << "a/{ABC}x.so"
                                 << "{ABC}" << false;
}

void TestMetadataDir::findsLibrariesBelowTheAppletsDir()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QFETCH(bool, found);

    QTemporaryDir dir;
    QVERIFY(MetadataFixture::writeFile(dir.filePath(file), "lib"));
    // A link back up must not send the search round for ever.
    QVERIFY(QDir().mkpath(dir.filePath("loop")));
    QVERIFY(QFile::link(dir.path(), dir.filePath("loop/up")));

    QString path;
    QCOMPARE(findAppletLibrary(dir.path(), name, path), found);
    if (found)
        QCOMPARE(
            QFileInfo(path).canonicalFilePath(), QFileInfo(dir.filePath(file)).canonicalFilePath());
}

void TestMetadataDir::resolvesLibraries()
{
    MetadataFixture f;
    QVERIFY(MetadataFixture::writeFile(f.root() + "/Applets/one.so", "common"));
    QVERIFY(MetadataFixture::writeFile(hostFolder("Applets") + "/one.so", "host"));
    QVERIFY(MetadataFixture::writeFile(hostFolder("Applets") + "/two.so", "host"));

    QString path = "Applets/./one.so";
    QVERIFY(resolveAppPath(path, path));
    QCOMPARE(path, QFileInfo(f.root() + "/Applets/one.so").canonicalFilePath());
    QVERIFY(resolveAppPath("Applets/two.so", path));
    QCOMPARE(path, QFileInfo(hostFolder("Applets") + "/two.so").canonicalFilePath());
    QVERIFY(!resolveAppPath("Applets/three.so", path));
    QVERIFY(!resolveAppPath(QString(), path));
}

void TestMetadataDir::refreshesTheHostMetadata()
{
    MetadataFixture f;
    const QString applets = f.root() + "/NoBridge/ZPVPlugins/";
    const auto record = [](const char *id, const char *icon) {
        return QStringLiteral("<app_info><id>%1</id><icon_path>%2</icon_path>"
                              "<caption><en-US>Vid\u00e9o \u30d3\u30c7\u30aa</en-US></caption>"
                              "<tooltip><en-US>Caf\u00e9</en-US></tooltip></app_info>")
            .arg(QLatin1String(id), QLatin1String(icon))
            .toUtf8();
    };
    QVERIFY(MetadataFixture::writeFile(applets + "one/one.xml", record("{ONE}", "one.png")));
    QVERIFY(MetadataFixture::writeIcon(applets + "one/one.png", Qt::red));
    QVERIFY(MetadataFixture::writeFile(
        applets + "two/deeper/two.xml", record("{TWO}", "../../secret.png")));
    QVERIFY(MetadataFixture::writeIcon(applets + "secret.png", Qt::green));
    QVERIFY(MetadataFixture::writeFile(applets + "two/bad.xml", "<app_info>"));
    QVERIFY(QDir().mkpath(hostFolder("MetaData")));
    QVERIFY(MetadataFixture::writeIcon(hostFolder("MetaData") + "/one.png", Qt::blue));

    QStringList files;
    QVERIFY(collectMetaFiles(applets, files));
    QCOMPARE(files.size(), 3);

    refreshMetaData();
    const QDir target(hostFolder("MetaData"));
    QStringList written = target.entryList(QDir::Files);
    written.sort();
    QCOMPARE(written, (QStringList { "one.png", "one.xml", "two.xml" }));
    // An icon already there stays; one outside the applet's folder is not copied.
    QCOMPARE(QImage(target.filePath("one.png")).pixelColor(1, 1), QColor(Qt::blue));
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/../secret.png"));

    // Non-English texts come back as they were written.
    QString text;
    QVERIFY(readMetaFile(target.filePath("one.xml"), text));
    QVERIFY(
        text.contains(QStringLiteral("<caption>\n  <en-US>Vid\u00e9o \u30d3\u30c7\u30aa</en-US>")));
    CTAAppInfo info;
    QVERIFY(xmlToAppInfo(text, info));
    QCOMPARE(info.caption, QStringLiteral("Vid\u00e9o \u30d3\u30c7\u30aa"));
    QCOMPARE(info.tooltip, QStringLiteral("Caf\u00e9"));
}

QTEST_MAIN(TestMetadataDir)
#include "tst_metadatadir.moc"
