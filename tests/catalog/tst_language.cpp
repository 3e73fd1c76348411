#include "catalog/language.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

class TestLanguage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void table_data();
    void table();
    void current_data();
    void current();
};

void TestLanguage::table_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("id");

    QTest::newRow("first") << QStringLiteral("da-DK") << 0x0406;
    QTest::newRow("Greek") << QStringLiteral("el-GR") << 0x0408;
    QTest::newRow("Chinese, Taiwan") << QStringLiteral("zh-TW") << 0x0404;
    QTest::newRow("Portuguese, Brazil") << QStringLiteral("pt-BR") << 0x0416;
    QTest::newRow("last") << QStringLiteral("pt-PT") << 0x0816;
}

void TestLanguage::table()
{
    QFETCH(QString, code);
    QFETCH(int, id);

    QCOMPARE(languageIdOf(code), id);
    QCOMPARE(languageIdOf(code.toLower()), id);
    QCOMPARE(languageCodeOf(unsigned(id)), code);
    QCOMPARE(languageIdOf(QStringLiteral("xx-YY")), 0);
    QCOMPARE(languageIdOf(QString()), 0);
    QCOMPARE(languageCodeOf(0), QString());
    QCOMPARE(languageCodeOf(0x0409 + 0x10000), QString());
}

void TestLanguage::current_data()
{
    // setting: "LanguageID" in the suite's settings file; former: the same key
    // under the organisation's other spelling.
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QVariant>("setting");
    QTest::addColumn<QVariant>("former");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("code");

    QTest::newRow("system pt_BR") << "pt_BR.UTF-8" << QVariant() << QVariant() << 0x0416 << "pt-BR";
    QTest::newRow("system el_GR") << "el_GR.UTF-8" << QVariant() << QVariant() << 0x0408 << "el-GR";
    QTest::newRow("system outside the table: English")
        << "en_GB.UTF-8" << QVariant() << QVariant() << 0x0409 << "en-US";
    QTest::newRow("C locale: English")
        << "C.UTF-8" << QVariant() << QVariant() << 0x0409 << "en-US";
    QTest::newRow("setting over an unknown locale")
        << "is_IS.UTF-8" << QVariant(1031) << QVariant() << 1031 << "de-DE";
    QTest::newRow("setting over a known locale")
        << "fr_FR.UTF-8" << QVariant(1031) << QVariant() << 1031 << "de-DE";
    QTest::newRow("setting outside the table: English captions")
        << "fr_FR.UTF-8" << QVariant(0x0437) << QVariant() << 0x0437 << "en-US";
    QTest::newRow("former spelling read when the key is missing")
        << "fr_FR.UTF-8" << QVariant() << QVariant(1031) << 1031 << "de-DE";
    QTest::newRow("the suite's file wins")
        << "pt_BR.UTF-8" << QVariant(1036) << QVariant(1031) << 1036 << "fr-FR";
}

// The system locale is read once per process, so each case runs in a child.
void TestLanguage::current()
{
    QFETCH(QString, locale);
    QFETCH(QVariant, setting);
    QFETCH(QVariant, former);
    QFETCH(int, id);
    QFETCH(QString, code);

    QTemporaryDir config;
    QVERIFY(config.isValid());
    const std::pair<const char *, QVariant> stores[]
        = { { "Nobridge/ZPV.conf", setting }, { "NoBridge/ZPV.conf", former } };
    for (const auto &[file, value] : stores) {
        if (!value.isValid())
            continue;
        QSettings settings(config.filePath(QLatin1String(file)), QSettings::IniFormat);
        settings.setValue(QStringLiteral("LanguageID"), value);
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--print-language") });
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    const QStringList printed
        = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(printed, (QStringList { QString::number(id), u'[' + code + u']' }));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--print-language") == 0) {
        std::printf("%d\n[%s]\n", currentLanguageId(), qPrintable(currentLanguageCode()));
        return 0;
    }
    TestLanguage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language.moc"
