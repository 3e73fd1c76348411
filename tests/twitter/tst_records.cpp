#include "twitter/namednodevalue.h"
#include "twitter/tweet.h"
#include "twitter/user.h"

#include <QDomDocument>
#include <QtTest>

namespace {

const QString old = QStringLiteral("old");

QString userXml(const QString &root, const QString &inner)
{
    return QLatin1Char('<') + root + QLatin1Char('>') + inner + QStringLiteral("</") + root
        + QLatin1Char('>');
}

const QString fullUser = QStringLiteral("<id>12</id><name>Ann Lee</name>"
                                        "<screen_name>ann</screen_name>"
                                        "<profile_image_url>http://i/a.png</profile_image_url>");

void expectLines(const QStringList &lines)
{
    for (const QString &line : lines)
        QTest::ignoreMessage(QtCriticalMsg, qPrintable(line));
}

void preset(User &user)
{
    user.id = user.name = user.screen_name = user.profile_image_url = old;
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void userFromText_data();
    void userFromText();
    void tweetResponse_data();
    void tweetResponse();
    void badNode_data();
    void badNode();
};

void TestRecords::userFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("fields"); // id, name, screen_name, profile_image_url
    QTest::addColumn<QStringList>("lines");

    const QStringList untouched { old, old, old, old };
    QTest::newRow("whole") << userXml(QStringLiteral("user"), fullUser) << true
                           << QStringList { QStringLiteral("12"), QStringLiteral("Ann Lee"),
                                  QStringLiteral("ann"), QStringLiteral("http://i/a.png") }
                           << QStringList();
    QTest::newRow("root name not checked")
        << userXml(QStringLiteral("anything"), fullUser) << true
        << QStringList { QStringLiteral("12"), QStringLiteral("Ann Lee"), QStringLiteral("ann"),
               QStringLiteral("http://i/a.png") }
        << QStringList();
    QTest::newRow("first of two ids")
        << userXml(QStringLiteral("user"), QStringLiteral("<id>1</id><id>2</id>") + fullUser)
        << true
        << QStringList { QStringLiteral("1"), QStringLiteral("Ann Lee"), QStringLiteral("ann"),
               QStringLiteral("http://i/a.png") }
        << QStringList();
    QTest::newRow("not xml") << QStringLiteral("not xml") << false << untouched
                             << QStringList { QStringLiteral(
                                    "User::fromText() - failed to load xml...not xml") };
    QTest::newRow("empty text") << QString() << false << untouched
                                << QStringList { QStringLiteral(
                                       "User::fromText() - failed to load xml...") };
    const QString withEntity = QStringLiteral("<!DOCTYPE u [<!ENTITY e \"x\">]><u>&e;</u>");
    QTest::newRow("entity declaration refused")
        << withEntity << false << untouched
        << QStringList { QStringLiteral("User::fromText() - failed to load xml...") + withEntity };
    QTest::newRow("id only deeper down")
        << userXml(QStringLiteral("user"), QStringLiteral("<x><id>5</id></x>")) << false
        << untouched
        << QStringList { QStringLiteral("::getNamedNodeValue() - failed to find id"),
               QStringLiteral("User::fromText() - failed to get id") };
    QTest::newRow("empty name") << userXml(
        QStringLiteral("user"), QStringLiteral("<id>7</id><name/>"))
                                << false << QStringList { QStringLiteral("7"), QString(), old, old }
                                << QStringList { QStringLiteral(
                                                     "::getNamedNodeValue() - name is empty..."),
                                       QStringLiteral("User::fromText() - failed to get name") };
    QTest::newRow("no screen_name")
        << userXml(QStringLiteral("user"), QStringLiteral("<id>7</id><name>N</name>")) << false
        << QStringList { QStringLiteral("7"), QStringLiteral("N"), old, old }
        << QStringList { QStringLiteral("::getNamedNodeValue() - failed to find screen_name"),
               QStringLiteral("User::fromText() - failed to get screen_name") };
    QTest::newRow("no profile_image_url")
        << userXml(QStringLiteral("user"),
               QStringLiteral("<id>7</id><name>N</name><screen_name>s</screen_name>"))
        << false
        << QStringList { QStringLiteral("7"), QStringLiteral("N"), QStringLiteral("s"), old }
        << QStringList { QStringLiteral("::getNamedNodeValue() - failed to find profile_image_url"),
               QStringLiteral("User::fromText() - failed to get profile_image_url") };
}

void TestRecords::userFromText()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, lines);

    User user;
    preset(user);
    expectLines(lines);
    QCOMPARE(user.fromText(text), ok);
    QCOMPARE(
        (QStringList { user.id, user.name, user.screen_name, user.profile_image_url }), fields);
}

void TestRecords::tweetResponse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    // id, text, then the user's id, name, screen_name, profile_image_url
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("lines");

    const QString user = userXml(QStringLiteral("user"), fullUser);
    const QStringList userFields { QStringLiteral("12"), QStringLiteral("Ann Lee"),
        QStringLiteral("ann"), QStringLiteral("http://i/a.png") };
    QTest::newRow("whole") << userXml(QStringLiteral("status"),
        QStringLiteral("<created_at>x</created_at><id>99</id><text>Hi &amp; bye</text>") + user)
                           << true
                           << QStringList { QStringLiteral("99"), QStringLiteral("Hi & bye") }
            + userFields << QStringList();
    QTest::newRow("user lacks profile_image_url")
        << userXml(QStringLiteral("status"),
               QStringLiteral("<id>99</id><text>Hi</text><user><id>12</id><name>Ann Lee</name>"
                              "<screen_name>ann</screen_name></user>"))
        << false
        << QStringList { QStringLiteral("99"), QStringLiteral("Hi"), QStringLiteral("12"),
               QStringLiteral("Ann Lee"), QStringLiteral("ann"), old }
        << QStringList { QStringLiteral("::getNamedNodeValue() - failed to find profile_image_url"),
               QStringLiteral("User::fromText() - failed to get profile_image_url") };
    QTest::newRow("empty text")
        << userXml(QStringLiteral("status"), QStringLiteral("<id>99</id><text></text>") + user)
        << false << QStringList { QStringLiteral("99"), QString(), old, old, old, old }
        << QStringList { QStringLiteral("::getNamedNodeValue() - text is empty..."),
               QStringLiteral("Tweet::fromNode() - failed to find id") };
    QTest::newRow("no id") << userXml(
        QStringLiteral("status"), QStringLiteral("<text>Hi</text>") + user)
                           << false << QStringList { old, old, old, old, old, old }
                           << QStringList { QStringLiteral(
                                                "::getNamedNodeValue() - failed to find id"),
                                  QStringLiteral("Tweet::fromNode() - failed to find id") };
    QTest::newRow("no user")
        << userXml(QStringLiteral("status"), QStringLiteral("<id>99</id><text>Hi</text>")) << false
        << QStringList { QStringLiteral("99"), QStringLiteral("Hi"), old, old, old, old }
        << QStringList { QStringLiteral("::getNamedNodeValue() - failed to find ") };
    QTest::newRow("not xml")
        << QStringLiteral("<status>") << false << QStringList { old, old, old, old, old, old }
        << QStringList { QStringLiteral(
               "Tweet::consumeTweetResponse() - failed to load xml...<status>") };
    const QString deep = QStringLiteral("<s>").repeated(40) + QStringLiteral("</s>").repeated(40);
    QTest::newRow("too deep")
        << deep << false << QStringList { old, old, old, old, old, old }
        << QStringList { QStringLiteral("Tweet::consumeTweetResponse() - failed to load xml...")
               + deep };
}

void TestRecords::tweetResponse()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, lines);

    Tweet tweet;
    tweet.id = tweet.text = old;
    preset(tweet.user);
    expectLines(lines);
    QCOMPARE(tweet.consumeTweetResponse(text), ok);
    const User &u = tweet.user;
    QCOMPARE(
        (QStringList { tweet.id, tweet.text, u.id, u.name, u.screen_name, u.profile_image_url }),
        fields);
}

void TestRecords::badNode_data()
{
    QTest::addColumn<bool>("tweet");
    QTest::addColumn<int>("kind"); // 0 null, 1 text node, 2 comment
    QTest::addColumn<QString>("line");

    for (int kind = 0; kind < 3; ++kind) {
        QTest::addRow("user %d", kind)
            << false << kind << QStringLiteral("User::fromNode() - bad nodeIn");
        QTest::addRow("tweet %d", kind)
            << true << kind << QStringLiteral("Tweet::fromNode() - bad nodeIn");
    }
}

void TestRecords::badNode()
{
    QFETCH(bool, tweet);
    QFETCH(int, kind);
    QFETCH(QString, line);

    QDomDocument doc;
    QVERIFY(doc.setContent(QStringLiteral("<r>text<!--c--></r>")));
    const QDomNode node = kind == 0 ? QDomNode()
        : kind == 1                 ? doc.documentElement().firstChild()
                                    : doc.documentElement().lastChild();
    QCOMPARE(node.isNull(), kind == 0);

    QTest::ignoreMessage(QtCriticalMsg, qPrintable(line));
    if (tweet) {
        Tweet t;
        QVERIFY(!t.fromNode(node));
    } else {
        User u;
        QVERIFY(!u.fromNode(node));
    }
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
