// zpv-twitterd, in this process and as its own binary, driven over loopback
// with requests written byte for byte. Signatures come from Qt's OAuth 1
// class or python3-oauthlib: nothing is shared with the service's verifier.
#include "twitterservice.h"

#include <QDir>
#include <QDomDocument>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QOAuth1Signature>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>

#include <csignal>
#include <memory>

namespace {

using Params = QList<QPair<QString, QString>>;
const QByteArray Update = "POST /1/statuses/update.xml", SignIn = "POST /oauth/access_token";

// The plug-in's own consumer pair, written out: the service takes it by default.
struct Credentials
{
    QString key = "Xq7LmN2pRt5VwY8zKc3Hd", secret = "Pz4Kw9Lm2Nq7Rt1Vx6Yb3Hc8Jd5Fg0Sa2Ue7Ko4Wi9T";
    QString token, tokenSecret, userId, nonce; // nonce empty: a fresh one
    Params extra; // more oauth_ parameters for the header, e.g. oauth_verifier
    qint64 skew = 0;
};

struct Reply
{
    int status = 0;
    QByteArray head, body; // head: every line ends in CRLF

    // Text of an element below the root, e.g. "user/id".
    QString xml(const QString &path) const
    {
        QDomDocument doc;
        doc.setContent(body);
        QDomElement element = doc.documentElement();
        for (const QString &name : path.split(QLatin1Char('/')))
            element = element.firstChildElement(name);
        return element.text();
    }

    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }

    // A string in the JSON body, e.g. "data/id".
    QString field(const QString &path) const
    {
        QJsonValue value = json();
        for (const QString &name : path.split(QLatin1Char('/')))
            value = value.toObject().value(name);
        return value.toString();
    }

    // The refusal's text: the XML error, or the JSON error's message or detail.
    QString error() const
    {
        if (!head.contains("\r\nContent-Type: application/json"))
            return xml("error");
        const QJsonObject first = json().value("errors")[0].toObject();
        return first.value("message").toString(
            first.value("detail").toString(json().value("detail").toString()));
    }
};

QByteArray status(const QString &text)
{
    return "status=" + QUrl::toPercentEncoding(text);
}

QByteArray xAuth(const QString &user, const QString &password)
{
    return "x_auth_mode=client_auth&x_auth_password=" + QUrl::toPercentEncoding(password)
        + "&x_auth_username=" + QUrl::toPercentEncoding(user);
}

Params decode(const QByteArray &form)
{
    Params params;
    for (const QByteArray &pair : form.split('&')) {
        const QList<QByteArray> parts = pair.split('=');
        if (parts.size() == 2)
            params.append({ QString::fromUtf8(QByteArray::fromPercentEncoding(parts[0])),
                QString::fromUtf8(QByteArray::fromPercentEncoding(parts[1])) });
    }
    return params;
}

// The header line, over the method, the URL without its query and the decoded parameters.
QByteArray authorization(
    const QByteArray &method, const QUrl &url, const Params &params, const Credentials &who)
{
    QMultiMap<QString, QVariant> oauth { { "oauth_consumer_key", who.key },
        { "oauth_nonce", who.nonce.isEmpty() ? QUuid::createUuid().toString() : who.nonce },
        { "oauth_signature_method", "HMAC-SHA1" }, { "oauth_version", "1.0" },
        { "oauth_timestamp", QString::number(QDateTime::currentSecsSinceEpoch() + who.skew) } };
    if (!who.token.isEmpty())
        oauth.insert("oauth_token", who.token);
    for (const auto &[name, value] : who.extra)
        oauth.insert(name, value);
    QMultiMap<QString, QVariant> all = oauth;
    for (const auto &[name, value] : params)
        all.insert(name, value);
    const QOAuth1Signature signature(url, who.secret, who.tokenSecret,
        method == "GET" ? QOAuth1Signature::HttpRequestMethod::Get
                        : QOAuth1Signature::HttpRequestMethod::Post,
        all);
    oauth.insert("oauth_signature", QString::fromLatin1(signature.hmacSha1().toBase64()));
    QByteArray header = "Authorization: OAuth ";
    for (auto it = oauth.cbegin(); it != oauth.cend(); ++it)
        header += (it == oauth.cbegin() ? "" : ", ") + it.key().toLatin1() + "=\""
            + QUrl::toPercentEncoding(it.value().toString()) + '"';
    return header + "\r\n";
}

struct Client
{
    QUrl base;

    QUrl url(const QByteArray &path) const { return base.resolved(QUrl::fromEncoded(path)); }

    // "METHOD target" and head lines, written as given on a connection of its
    // own, with a Content-Length unless the lines say how long the body is.
    // The answer ends at its Content-Length, when the connection ends or fails, or after 10 s.
    Reply send(const QByteArray &line, QByteArray lines = {}, const QByteArray &body = {}) const
    {
        if (!lines.contains("Content-Length") && !lines.contains("Transfer-Encoding"))
            lines += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        QTcpSocket socket;
        Reply reply;
        QByteArray answer;
        QEventLoop loop;
        QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
            answer += socket.readAll();
            const qsizetype end = answer.indexOf("\r\n\r\n") + 2;
            reply = { answer.mid(9, 3).toInt(), answer.left(end), answer.mid(end + 2) };
            static const QRegularExpression length("\r\nContent-Length: (\\d+)\r\n");
            if (end > 1 && reply.body.size() >= length.match(reply.head).captured(1).toLongLong())
                loop.quit();
        });
        QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
        QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        socket.connectToHost(base.host(), quint16(base.port()));
        socket.write(line + " HTTP/1.1\r\nHost: " + base.authority().toLatin1()
            + "\r\nConnection: close\r\n" + lines + "\r\n" + body);
        loop.exec();
        return reply;
    }

    // Signed as the plug-in signs: over the query's and a form body's parameters.
    Reply call(const QByteArray &line, const QByteArray &body, const Credentials &who) const
    {
        const QList<QByteArray> target = line.split(' ')[1].split('?');
        return send(line,
            authorization(
                line.split(' ')[0], url(target[0]), decode(target.value(1)) + decode(body), who)
                + "Content-Type: application/x-www-form-urlencoded\r\n",
            body);
    }

    Credentials signIn(const QString &user, const QString &password) const
    {
        Credentials who;
        const Params fields = decode(call(SignIn, xAuth(user, password), who).body);
        who.token = fields.value(0).second;
        who.tokenSecret = fields.value(1).second;
        who.userId = fields.value(2).second;
        return who;
    }
};

// Starts the binary and reads its base URL from the first line of its output.
QUrl startBinary(QProcess *process, const QStringList &arguments)
{
    process->start(ZPV_TWITTERD, arguments);
    process->waitForReadyRead(20000);
    return QUrl(QString::fromUtf8(process->readLine().trimmed()));
}

} // namespace

class TestService : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;
    std::unique_ptr<TwitterService> m_service;
    Client m_client;
    Credentials m_alice;

    Reply tweet(const QString &text) const { return m_client.call(Update, status(text), m_alice); }

private Q_SLOTS:
    void initTestCase()
    {
        ServiceOptions options;
        QString error;
        QVERIFY(options.parse(
            { "zpv-twitterd", "--user", "alice:correct horse", "--user",
                "carol:p@ss w%rd&=+\u00fc:x", "--consumer", "SecondKey:Second%Secret&" },
            &error));
        options.consumers.prepend(ServiceOptions::defaultConsumer());
        // An account as earlier versions stored it, hashed by Python's hashlib, in a
        // database left in rollback-journal mode.
        {
            QSqlDatabase legacy = QSqlDatabase::addDatabase("QSQLITE", "legacy");
            legacy.setDatabaseName(m_data.filePath("zpv-twitterd.sqlite"));
            QVERIFY(legacy.open());
            QSqlQuery query(legacy);
            QVERIFY(query.exec("CREATE TABLE users (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                               "screen_name TEXT NOT NULL UNIQUE, name TEXT NOT NULL, "
                               "salt BLOB NOT NULL, password_hash BLOB NOT NULL)"));
            QVERIFY(query.exec("INSERT INTO users VALUES (7, 'dave', 'dave', "
                               "X'5a1e7c0ffee0ddba11ad5eed0b0e1234', X'bf719fc590d9d20f2dba7b45"
                               "80a07cd900fad734c63f2d2f739403c0d84082c2')"));
        }
        QSqlDatabase::removeDatabase("legacy");
        options.dataDir = m_data.path();
        m_service = std::make_unique<TwitterService>(options);
        QVERIFY2(m_service->start(&error), qPrintable(error));
        m_client.base = m_service->baseUrl();
        m_alice = m_client.signIn("alice", "correct horse");
        QVERIFY(!m_alice.token.isEmpty());
    }

    void requests_data()
    {
        QTest::addColumn<QByteArray>("request"); // "METHOD target", then any more head lines
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        // Empty also where the HTTP library answers (or hangs up) itself.
        QTest::addColumn<QString>("error");
        // How the request is signed: by alice (sign-ins without a token), or changed:
        // "+N"/"-N" seconds off, "nonceN" a nonce of N characters, "token", "no token",
        // "token secret", "consumer KEY:SECRET", "query" or "body" left out, "none" at all,
        // "oauth_NAME=VALUE" one more header parameter. A row's
        // own Authorization line replaces the signature.
        QTest::addColumn<QString>("signer");
        // Password hashes computed: an unknown name costs what a wrong password does.
        QTest::addColumn<int>("hashes");
        const auto row
            = [](const char *name, const QByteArray &request, const QByteArray &body, int status,
                  const QString &error, const QString &signer = {}, int hashes = 0) {
                  QTest::newRow(name) << request << body << status << error << signer << hashes;
              };
        const QByteArray show = "GET /1/users/show.xml?user_id=" + m_alice.userId.toLatin1();
        const QByteArray alice = xAuth("alice", "correct horse"), big(5 << 20, 'x');
        const QByteArray upload = "POST /upload\r\nContent-Type: video/mp4\r\n";
        const QByteArray post = Update + "\r\n", shorten = "GET /api-create.php?url=";
        const QString wrong = "Invalid user name or password", forged = "Invalid signature";
        const QString stale = "Timestamp out of bounds", required = "Authorization required";
        const QString notOAuth = "Invalid OAuth Authorization header";
        const QString over = "Status is over 280 characters.", emoji = "\U0001F600";
        const QString bad = "Status holds characters that are not allowed.";
        const QString link = "https://example.com/" + QString(80, 'p'),
                      tooLong = "Status is too long.";
        const QString badForm = "Malformed form body", noStatus = "No status found with that ID.";
        const QString framing = "Malformed request framing", tooLarge = "Request body too large";
        const QString notVideo = "Only video files can be uploaded", noName = "Missing X-File-Name";
        const QString notWeb = "The url is not an absolute http or https link", none = "Not found";
        row("password to encode", SignIn, xAuth("carol", "p@ss w%rd&=+\u00fc:x"), 200, "", "", 1);
        row("secret to encode", SignIn, alice, 200, "", "consumer SecondKey:Second%Secret&", 1);
        row("wrong password", SignIn, xAuth("alice", "Correct horse"), 401, wrong, "", 1);
        row("stored by an earlier version", SignIn, xAuth("dave", "d\u00e4ve's old p@ss"), 200, "",
            "", 1);
        row("unknown user", SignIn, xAuth("mallory", "correct horse"), 401, wrong, "", 1);
        row("unknown consumer", SignIn, alice, 401, "Invalid consumer key", "consumer K:x");
        row("bad consumer secret", SignIn, alice, 401, forged,
            "consumer " + Credentials().key + ":x");
        row("as signed", show, {}, 200, "");
        row("timestamp 301 s old", show, {}, 401, stale, "-301");
        row("timestamp 301 s ahead", show, {}, 401, stale, "+301");
        row("wrong token secret", show, {}, 401, forged, "token secret");
        row("query left out of the signature", show, {}, 401, forged, "query");
        row("unknown token", show, {}, 401, "Invalid or expired token", "token");
        row("no token", show, {}, 401, "Missing oauth_token", "no token");
        row("missing Authorization", show, {}, 401, required, "none");
        row("not OAuth", show + "\r\nAuthorization: Basic YTpi\r\n", {}, 401, notOAuth);
        row("bad percent", show + "\r\nAuthorization: OAuth a=\"%G\"\r\n", {}, 401, notOAuth);
        row("64-character nonce", show, {}, 200, "", "nonce64");
        row("65-character nonce", show, {}, 401, "Nonce is too long", "nonce65");
        row("no status", Update, {}, 403, "Missing status.");
        row("blanks only", Update, status("  \n "), 403, "Status is empty.");
        row("280 astral characters", Update, status(emoji.repeated(280)), 200, "");
        row("281 astral characters", Update, status(emoji.repeated(281)), 403, over);
        row("long link counts 23", Update, status(QString(256, 'c') + " " + link), 200, "");
        row("long link, one over", Update, status(QString(257, 'd') + " " + link), 403, over);
        row("control character", Update, status("bell\u0007"), 400, bad);
        row("NUL, correctly signed", Update, status("nul" + QString(QChar(0))), 400, bad);
        // A link counts 23 whatever its length.
        row("past the byte cap", Update, status(link + QString(4100, 'p')), 403, tooLong);
        row("malformed percent in body", Update, "status=%ZZ", 400, badForm);
        row("truncated percent in body", Update, "status=ab%4", 400, badForm);
        row("non-UTF-8 status", Update, "status=%FF%FEab", 400, "Status is not valid UTF-8.");
        row("bad query", "GET /1/users/show.xml?user_id=%G1", {}, 400, "Malformed query string");
        row("missing user_id", "GET /1/users/show.xml", {}, 400, "Missing user_id");
        row("body over the limit", Update, "status=" + big, 413, tooLarge);
        // Answered from the head: nothing waits for a body that never comes.
        row("declared body too large", post + "Content-Length: 524288000\r\n", {}, 413, tooLarge);
        row("declared upload too large", upload + "Content-Length: 2147483649\r\n", {}, 413,
            tooLarge);
        row("chunked body over the limit", post + "Transfer-Encoding: chunked\r\n",
            QByteArray::number(big.size(), 16) + "\r\n" + big + "\r\n0\r\n\r\n", 0, "");
        row("two lengths", post + "Content-Length: 6\r\nContent-Length: 8\r\n", "status=x", 400,
            framing);
        row("length and chunked", post + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n",
            "0\r\n\r\n", 400, framing);
        row("not chunked", post + "Transfer-Encoding: gzip\r\n", "0\r\n\r\n", 400, framing);
        row("negative length", post + "Content-Length: -1\r\n", {}, 400, "");
        row("big head", "GET /\r\nX-Padding: " + QByteArray(64 << 10, 'z') + "\r\n", {}, 431, "");
        const QByteArray json = "POST /2/tweets\r\nContent-Type: application/json\r\n";
        const QString invalid = "Tweet text holds characters that are not allowed.", cjk = "\u65e5";
        const QString tooLongV2 = "Your Tweet text is too long. For more information on how "
                                  "Twitter determines text length see "
                                  "https://github.com/twitter/twitter-text.";
        const auto text = [](const QString &t) {
            return QJsonDocument(QJsonObject { { "text", t } }).toJson(QJsonDocument::Compact);
        };
        const QString family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
        const QString flag = "\U0001F1E9\U0001F1EA";
        row("JSON tweet", json, text("hello /2/"), 201, "");
        row("JSON body left out of the signature", json, text("a=b"), 201, "", "body");
        row("JSON body signed as a form", json, text("a=b&c"), 401, forged);
        row("JSON sent as text", "POST /2/tweets\r\nContent-Type: text/plain\r\n", text("x"), 400,
            "The request body must be application/json.");
        row("JSON not an object", json, "[\"text\"]", 400,
            "The request body is not a valid JSON object.");
        row("JSON not UTF-8", json, "{\"text\":\"\xff\"}", 400,
            "The request body is not a valid JSON object.");
        row("JSON field not supported", json, "{\"text\":\"a\",\"reply\":{}}", 400,
            "The field [reply] is not supported by this service.");
        row("JSON without text", json, "{}", 400,
            "The field [text] is required and must be a string.");
        row("JSON empty text", json, text(" "), 400, "Tweet text is empty.");
        row("JSON escaped NUL", json, "{\"text\":\"a\\u0000\"}", 400, invalid);
        row("JSON lone surrogate", json, "{\"text\":\"a\\ud800\"}", 400, invalid);
        row("140 CJK characters", json, text(cjk.repeated(140)), 201, "");
        row("141 CJK characters", json, text(cjk.repeated(141)), 400, tooLongV2);
        row("140 emoji sequences", json, text(family.repeated(140)), 201, "");
        row("70 flags after sequences", json, text(QString(family + flag).repeated(70)), 201, "");
        row("280 Latin, link 23", json, text(QString(256, 'e') + " " + link), 201, "");
        row("281 Latin, link 23", json, text(QString(257, 'f') + " " + link), 400, tooLongV2);
        row("v2 unsigned", "GET /2/users/me", {}, 401, required, "none");
        row("v2 unknown token", "GET /2/users/me", {}, 401, "Invalid or expired token", "token");
        row("v2 unknown path", "GET /2/nothing", {}, 404, "Sorry, that page does not exist.");
        row("v2 wrong method", "GET /2/tweets", {}, 405, "This resource takes POST requests.");
        row("tweet id not a number", "GET /2/tweets/1x", {}, 400,
            "The `id` query parameter value [1x] is not valid");
        row("unknown tweet", "GET /2/tweets/987654321", {}, 200,
            "Could not find tweet with id: [987654321].");
        row("request token without callback", "POST /oauth/request_token", {}, 400,
            "Missing oauth_callback");
        row("callback other than oob", "POST /oauth/request_token", {}, 401,
            "Desktop applications only support the oauth_callback value 'oob'",
            "oauth_callback=http://127.0.0.1/cb");
        row("access token as request token", SignIn, {}, 401, "Invalid or expired token",
            "oauth_verifier=1234567");
        row("unknown path", "GET /1/nothing.xml", {}, 404, none);
        row("wrong method", "GET /1/statuses/update.xml", {}, 405,
            "This method requires a different HTTP method.");
        row("status id not a number", "GET /1/statuses/show/abc.xml", {}, 404, noStatus);
        row("unknown short link", "GET /s/zzzzzzz", {}, 404, none);
        row("unknown video", "GET /v/zzzz", {}, 404, none);
        row("link not UTF-8", shorten + "http%3A%2F%2Fe.com%2F%FF", {}, 400, "Missing url");
        row("script link", shorten + "javascript%3Aalert(1)", {}, 400, notWeb);
        row("link without host", shorten + "http%3A%2F%2F", {}, 400, notWeb);
        row("link too long", shorten + "http://e.com/" + QByteArray(4096, 'l'), {}, 400, notWeb);
        row("unsigned upload", upload + "X-File-Name: a.mp4\r\n", "v", 401, required, "none");
        row("upload without a name", upload, "v", 400, noName);
        row("upload named only a folder", upload + "X-File-Name: ../\r\n", "v", 400, noName);
        row("empty upload", upload + "X-File-Name: a.mp4\r\n", {}, 400, "Empty upload");
        row("a page", upload + "X-File-Name: a.html\r\nContent-Type: text/html\r\n", "<b>", 415,
            notVideo);
    }

    void requests()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, error);
        QFETCH(QString, signer);
        QFETCH(int, hashes);
        const QByteArray line = request.split('\r')[0], lines = request.mid(line.size() + 2);
        const QList<QByteArray> target = line.split(' ')[1].split('?');
        // Signing in goes without a token, the PIN exchange with one.
        Credentials who = line.startsWith("POST /oauth/") && !signer.startsWith("oauth_verifier")
            ? Credentials()
            : m_alice;
        if (signer.startsWith('-') || signer.startsWith('+'))
            who.skew = signer.toLongLong();
        else if (signer.startsWith("nonce"))
            who.nonce = QString(signer.mid(5).toInt(), 'n');
        else if (signer == "token")
            who.token.replace(0, 8, "00000000");
        else if (signer == "no token")
            who.token.clear();
        else if (signer == "token secret")
            who.tokenSecret += 'x';
        if (signer.startsWith("oauth_"))
            who.extra.append({ signer.section('=', 0, 0), signer.section('=', 1) });
        else if (signer.startsWith("consumer ")) {
            who.key = signer.mid(9).section(':', 0, 0);
            who.secret = signer.section(':', 1);
        }
        QByteArray signature = authorization(line.split(' ')[0], m_client.url(target[0]),
            signer == "query"
                ? Params()
                : decode(target.value(1)) + (signer == "body" ? Params() : decode(body)),
            who);
        if (signer == "none" || lines.contains("Authorization"))
            signature.clear();
        const qint64 hashedBefore = ServiceStore::passwordDerivations();
        // A row's own Content-Type comes later, and the service takes the last.
        const Reply reply = m_client.send(
            line, signature + "Content-Type: application/x-www-form-urlencoded\r\n" + lines, body);
        QCOMPARE(reply.status, status);
        QCOMPARE(reply.error(), error);
        // The /2/ refusals: a problem object for the status given.
        if (reply.status >= 400 && reply.head.contains("application/json")) {
            QCOMPARE(reply.json().value("status").toInt(), status);
            QVERIFY(!reply.json().value("title").toString().isEmpty());
            QVERIFY(!reply.json().value("type").toString().isEmpty());
        }
        QCOMPARE(ServiceStore::passwordDerivations() - hashedBefore, qint64(hashes));
        // Refused or cut off, an upload leaves nothing behind.
        QVERIFY(QDir(m_service->dataDir() + "/uploads")
                    .entryList({ ".upload-*" }, QDir::Files | QDir::Hidden)
                    .isEmpty());
    }

    void pinSignIn_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::newRow("approved in the form") << false;
        QTest::newRow("approved at once") << true;
    }

    // Request token, the page with its PIN, access token, then the /2/ resources.
    void pinSignIn()
    {
        QFETCH(bool, automatic);
        ServiceOptions options;
        options.users = { { "dave", "pw 1&" } };
        options.consumers = { ServiceOptions::defaultConsumer() };
        options.autoApprove = automatic;
        options.rateLimit = 2;
        TwitterService service(options);
        QString error;
        QVERIFY2(service.start(&error), qPrintable(error));
        const Client client { service.baseUrl() };
        Credentials app;
        app.extra = { { "oauth_callback", "oob" } };
        const Params issued = decode(client.call("POST /oauth/request_token", {}, app).body);
        QCOMPARE(issued.value(2), qMakePair(QString("oauth_callback_confirmed"), QString("true")));
        app.token = issued.value(0).second;
        app.tokenSecret = issued.value(1).second;
        // Not an access token.
        QCOMPARE(client.call("GET /2/users/me", {}, app).status, 401);

        const QByteArray authorize = "GET /oauth/authorize?oauth_token=" + app.token.toLatin1();
        Reply page = client.send(authorize + "&screen_name=%3Cb%3E");
        if (!automatic) {
            QVERIFY(page.body.contains("value=\"&lt;b&gt;\"") && !page.body.contains("<b>"));
            const QByteArray form
                = "oauth_token=" + app.token.toLatin1() + "&username=dave&password=";
            const QByteArray type = "Content-Type: application/x-www-form-urlencoded\r\n";
            QCOMPARE(client.send("POST /oauth/authorize", type, form + "pw+1").status, 401);
            page = client.send("POST /oauth/authorize", type, form + "pw+1%26");
        }
        QVERIFY(page.head.contains("\r\nX-Frame-Options: DENY\r\n"));
        const QString pin
            = QRegularExpression("<code>([0-9]{7})</code>").match(page.body).captured(1);
        QVERIFY2(!pin.isEmpty(), page.body.constData());
        app.extra = { { "oauth_verifier", pin } };
        Credentials dave = app;
        const Params granted = decode(client.call(SignIn, {}, app).body);
        QCOMPARE(granted.value(3).second, "dave");
        // Spent once used.
        QCOMPARE(client.call(SignIn, {}, app).status, 401);
        QCOMPARE(client.send(authorize).status, 404);

        dave.token = granted.value(0).second;
        dave.tokenSecret = granted.value(1).second;
        dave.extra.clear();
        const Reply posted = client.send("POST /2/tweets",
            authorization("POST", client.url("/2/tweets"), {}, dave)
                + "Content-Type: application/json\r\n",
            "{\"text\":\"caf\u00e9 &=?\"}");
        QCOMPARE(posted.status, 201);
        const QString id = posted.field("data/id");
        const Reply fetched
            = client.call("GET /2/tweets/" + id.toLatin1() + "?tweet.fields=author_id", {}, dave);
        QCOMPARE(fetched.field("data/text"), "caf\u00e9 &=?");
        QCOMPARE(fetched.field("data/author_id"), granted.value(2).second);
        for (int remaining : { 1, 0, -1 }) {
            const Reply me = client.call("GET /2/users/me", {}, dave);
            QCOMPARE(me.status, remaining < 0 ? 429 : 200);
            QCOMPARE(me.field("data/username"), remaining < 0 ? "" : "dave");
            QVERIFY(me.head.contains("\r\nx-rate-limit-limit: 2\r\n"));
            QVERIFY(me.head.contains(QByteArray(
                "\r\nx-rate-limit-remaining: " + QByteArray::number(qMax(remaining, 0)) + "\r\n")));
            const qint64 reset = QRegularExpression("x-rate-limit-reset: ([0-9]+)")
                                     .match(me.head)
                                     .captured(1)
                                     .toLongLong();
            QVERIFY(qAbs(reset - QDateTime::currentSecsSinceEpoch() - 900) < 60);
        }
        QCOMPARE(client.call("GET /2/users/me", {}, dave).error(), "Rate limit exceeded");
    }

    void requestTokens_data()
    {
        QTest::addColumn<bool>("approved");
        QTest::addColumn<QString>("verifier"); // "PIN": the one shown
        QTest::addColumn<qint64>("later"); // seconds after the token was issued
        QTest::addColumn<bool>("granted");
        QTest::newRow("PIN in time") << true << "PIN" << qint64(599) << true;
        QTest::newRow("PIN too late") << true << "PIN" << qint64(600) << false;
        QTest::newRow("wrong PIN") << true << "0000000" << qint64(0) << false;
        QTest::newRow("empty PIN") << true << "" << qint64(0) << false;
        QTest::newRow("never approved") << false << "" << qint64(0) << false;
    }

    void requestTokens()
    {
        QFETCH(bool, approved);
        QFETCH(QString, verifier);
        QFETCH(qint64, later);
        QFETCH(bool, granted);
        RequestTokens tokens;
        const QString token = tokens.issue("key", 1000).token;
        const QString pin = approved ? tokens.approve(token, 7, 1000).value_or("") : QString();
        QCOMPARE(pin.size(), approved ? 7 : 0);
        // Another user cannot approve it over the first.
        QCOMPARE(tokens.approve(token, 8, 1000).has_value(), !approved);
        const auto user = tokens.redeem(token, verifier == "PIN" ? pin : verifier, 1000 + later);
        QCOMPARE(user.value_or(0), granted ? 7 : 0);
        // Spent, whatever the outcome.
        QVERIFY(!tokens.redeem(token, pin, 1000) && !tokens.find(token, 1000));
    }

    void nonceSpentOnlyByGoodRequests()
    {
        const QByteArray show = "GET /1/users/show.xml?user_id=" + m_alice.userId.toLatin1();
        Credentials who = m_alice, wrong = m_alice;
        who.nonce = wrong.nonce = QUuid::createUuid().toString();
        wrong.tokenSecret += 'x';
        QCOMPARE(m_client.call(show, {}, wrong).xml("error"), "Invalid signature");
        QCOMPARE(m_client.call(show, {}, who).xml("screen_name"), "alice");
        QCOMPARE(m_client.call(show, {}, who).xml("error"), "Nonce has already been used");
    }

    void statusRoundTrip()
    {
        const QString text = "<script>alert('x')</script> \"q\" & 100% caf\u00e9 \U0001F600 a+b=c";
        const Reply posted = tweet(text);
        QCOMPARE(posted.xml("text"), text);
        QCOMPARE(posted.xml("user/id"), m_alice.userId);
        QDateTime created
            = QLocale::c().toDateTime(posted.xml("created_at"), "ddd MMM dd HH:mm:ss +0000 yyyy");
        created.setTimeSpec(Qt::UTC);
        QVERIFY(qAbs(created.secsTo(QDateTime::currentDateTimeUtc())) < 120);
        const Reply fetched = m_client.call(
            "GET /1/statuses/show/" + posted.xml("id").toLatin1() + ".xml", {}, m_alice);
        QCOMPARE(fetched.xml("text"), text);
        QCOMPARE(fetched.xml("user/id"), m_alice.userId);
        QCOMPARE(tweet(text).xml("error"), "Status is a duplicate.");

        const QUrl image(posted.xml("user/profile_image_url"));
        QCOMPARE(image.authority(), m_client.base.authority());
        QVERIFY(m_client.send("GET " + image.path().toUtf8()).body.startsWith("\x89PNG"));
        for (const char *path : { "GET /", "GET /home" }) {
            const Reply page = m_client.send(path);
            QVERIFY(page.head.contains("\r\nContent-Type: text/html"));
            QVERIFY(!page.body.contains("<script>"));
            QVERIFY2(page.body.contains("&lt;script&gt;alert('x')&lt;/script&gt; &quot;q&quot; "
                                        "&amp; 100% caf\u00e9 \U0001F600 a+b=c"),
                page.body.constData());
        }
    }

    void shortLinks()
    {
        const QString longLink = "http://example.com/watch?v=1&t=%C3%A9#x";
        const auto shorten = [this](const QString &link) {
            return m_client.send("GET /api-create.php?url=" + QUrl::toPercentEncoding(link)).body;
        };
        const QByteArray code = shorten(longLink);
        QVERIFY(code.startsWith(QByteArray(m_client.base.toEncoded() + "/s/")));
        QCOMPARE(shorten(longLink), code);
        QVERIFY(shorten(longLink + "2") != code);
        const Reply redirect
            = m_client.send("GET " + QUrl(QString::fromUtf8(code)).path().toUtf8());
        QCOMPARE(redirect.status, 301);
        QVERIFY(redirect.head.contains(
            QByteArray("\r\nLocation: " + QUrl(longLink).toEncoded() + "\r\n")));
    }

    void uploads_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QByteArray>("served");
        QTest::newRow("type from the name, declared one never echoed")
            << QByteArray("X-File-Name: my%20clip.mov\r\nContent-Type: video/x-anything\r\n")
            << QByteArray("video/quicktime");
        QTest::newRow("page name, declared video")
            << QByteArray("X-File-Name: page.html\r\nContent-Type: video/webm\r\n")
            << QByteArray("video/webm");
    }

    void uploads()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QByteArray, served);
        QByteArray video(300 * 1024, '\0');
        for (qsizetype i = 0; i < video.size(); ++i)
            video[i] = char((i * 7919) >> 3);
        lines += authorization("POST", m_client.url("/upload"), {}, m_alice);
        const QUrl watch(QString::fromUtf8(m_client.send("POST /upload", lines, video).body));
        QCOMPARE(watch.authority(), m_client.base.authority());
        const Reply download = m_client.send("GET " + watch.path().toUtf8());
        QVERIFY(download.head.contains(QByteArray("\r\nContent-Type: " + served + "\r\n")));
        QVERIFY(download.head.contains("\r\nX-Content-Type-Options: nosniff\r\n"));
        QVERIFY(download.head.contains("\r\nContent-Disposition: attachment"));
        QVERIFY(download.body == video);
        // Nothing for group or others: uploads may be private videos.
        const QString stored = m_service->dataDir() + "/uploads" + watch.path().mid(2);
        QCOMPARE(int(QFile::permissions(stored)) & 0x77, 0);
    }

    void silentConnectionsClosed()
    {
        ServiceOptions options;
        options.idleTimeout = 1;
        options.maxConnections = 3;
        TwitterService service(options);
        QString error;
        QVERIFY2(service.start(&error), qPrintable(error));
        // Silent, half a head, half a body: each holds a place until it times out.
        QTcpSocket silent[3];
        for (QTcpSocket &socket : silent) {
            socket.connectToHost(service.baseUrl().host(), quint16(service.baseUrl().port()));
            QVERIFY(socket.waitForConnected(5000));
        }
        silent[1].write("GET /signup HTTP/1.1\r\nHost: x\r\n");
        silent[2].write("POST /1/statuses/update.xml HTTP/1.1\r\nContent-Length: 9\r\n\r\nstat");
        // Served once they are gone, not before, and not never.
        QCOMPARE(Client { service.baseUrl() }.send("GET /signup").status, 200);
        for (QTcpSocket &socket : silent)
            QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 500);
    }

    void killedServiceKeepsAnsweredUpdates()
    {
        QTemporaryDir data;
        Credentials bob;
        QList<Reply> answered;
        for (int round = 0; round < 8; ++round) {
            QProcess service;
            const Client client { startBinary(&service,
                QStringList { "--data", data.path() }
                    + (round ? QStringList() : QStringList { "--user", "bob:pw" })) };
            if (round == 0)
                bob = client.signIn("bob", "pw");
            // Killed at varied moments while updates come one after another.
            bool killed = false;
            QTimer::singleShot(10 + round * 7, &service, [&] {
                const qint64 pid = service.processId(); // 0 would be this process group
                killed = pid <= 0 || ::kill(pid_t(pid), SIGKILL) == 0;
            });
            for (int i = 0; !killed; ++i) {
                const Reply reply
                    = client.call(Update, status(QString("round %1, %2").arg(round).arg(i)), bob);
                if (reply.status == 200)
                    answered.append(reply);
            }
            service.waitForFinished(20000);
            QCOMPARE(service.exitStatus(), QProcess::CrashExit);
        }
        QVERIFY(!answered.isEmpty());
        QProcess service;
        const Client again { startBinary(&service, { "--data", data.path() }) };
        for (const Reply &posted : std::as_const(answered))
            QCOMPARE(
                again.call("GET /1/statuses/show/" + posted.xml("id").toLatin1() + ".xml", {}, bob)
                    .xml("text"),
                posted.xml("text"));
        service.terminate();
        QVERIFY(service.waitForFinished(20000));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("unknown option") << QStringList { "--verbose" } << 2;
        QTest::newRow("certificate missing")
            << QStringList { "--tls-cert", "/none/c.pem", "--tls-key", "/none/k.pem" } << 1;
        QTest::newRow("port taken") << QStringList { "--listen", m_client.base.authority() } << 1;
        QTest::newRow("approving without an account") << QStringList { "--auto-approve" } << 2;
        QTest::newRow("no requests allowed") << QStringList { "--rate-limit", "0" } << 2;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QProcess process;
        process.start(ZPV_TWITTERD, arguments);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), exitCode);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(process.readAllStandardError().contains("zpv-twitterd: "));
    }

    void restartKeepsData()
    {
        QTemporaryDir parent;
        const QString data = parent.filePath("service"), uploads = data + "/uploads/";
        const QString password = "Pw-never-logged-7";
        QProcess first;
        // Every library's debug output on: none of it may show a request's headers.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_LOGGING_RULES", "*.debug=true");
        first.setProcessEnvironment(environment);
        const Client client { startBinary(
            &first, { "--data", data, "--user", "bob:" + password }) };
        const Credentials bob = client.signIn("bob", password);

        // Signed by another library: form-encoding's own characters, non-ASCII, an astral
        // character.
        static const char script[] = R"(
import sys, urllib.parse
from oauthlib.oauth1 import Client
url, ck, cs, tk, ts = sys.argv[1:]
body = urllib.parse.urlencode({'status': sys.stdin.buffer.read().decode()})
_, headers, body = Client(ck, client_secret=cs, resource_owner_key=tk, resource_owner_secret=ts).sign(
    url, http_method='POST', body=body, headers={'Content-Type': 'application/x-www-form-urlencoded'})
sys.stdout.write(headers['Authorization'] + '\n' + body)
)";
        const QString text = "a+b=c&d %41 ~*'()!/?#[] gr\u00fc\u00dfe \u65e5\u672c \U0001F3A5";
        QProcess python; // Debian's interpreter, where python3-oauthlib is installed
        python.start("/usr/bin/python3",
            { "-c", script, client.url("/1/statuses/update.xml").toString(), bob.key, bob.secret,
                bob.token, bob.tokenSecret });
        python.write(text.toUtf8());
        python.closeWriteChannel();
        QVERIFY(python.waitForFinished(30000));
        const QList<QByteArray> oauthlib = python.readAllStandardOutput().split('\n');
        const Reply posted = client.send(Update,
            "Authorization: " + oauthlib.value(0)
                + "\r\nContent-Type: application/x-www-form-urlencoded\r\n",
            oauthlib.value(1));
        QCOMPARE(posted.xml("text"), text);
        const Reply uploaded = client.send("POST /upload",
            authorization("POST", client.url("/upload"), {}, bob)
                + "Content-Type: video/mp4\r\nX-File-Name: kept.mp4\r\n",
            "video");
        QCOMPARE(uploaded.status, 200);
        // Token secrets and private videos: for the owner's eyes only.
        for (const QString &path : { data, uploads, QString(data + "/zpv-twitterd.sqlite") })
            QCOMPARE(int(QFile::permissions(path)) & 0x77, 0);

        QCOMPARE(::kill(pid_t(first.processId()), SIGTERM), 0);
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        const QByteArray log = first.readAllStandardError();
        QVERIFY(log.contains("POST /1/statuses/update.xml 200"));
        for (const QString &secret :
            { password, bob.token, bob.tokenSecret, QString("oauth_signature") })
            QVERIFY2(!log.contains(secret.toUtf8()), "a secret reached the log");

        // Files a crash left without their rows go; a recorded upload and
        // anything not named like ours stay.
        for (const char *name : { "A1b2C3d4E5f6G7h8", ".upload-x1Y2z3", "notes.txt" })
            QVERIFY(QFile(uploads + name).open(QIODevice::WriteOnly));
        // Same folder, no --user: the account, its token, the status and the upload were kept.
        QProcess second;
        const Client again { startBinary(&second, { "--data", data }) };
        QStringList kept { "notes.txt", QUrl(QString::fromUtf8(uploaded.body)).path().mid(3) };
        QStringList left = QDir(uploads).entryList(QDir::Files | QDir::Hidden);
        kept.sort();
        left.sort();
        QCOMPARE(left, kept);
        QCOMPARE(again.call("GET /1/statuses/show/" + posted.xml("id").toLatin1() + ".xml", {}, bob)
                     .xml("text"),
            text);
        QVERIFY(!again.signIn("bob", password).token.isEmpty());
        second.terminate();
        QVERIFY(second.waitForFinished(20000));
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
