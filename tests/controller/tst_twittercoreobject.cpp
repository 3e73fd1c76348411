// The controller inside a test host that calls it by signature names, as a
// gallery host does: the sign-in, share and close-down flows against the
// bundled service or scripted loopback servers, and the text forms of what
// it trades with the host and its wizard pages.
#include "badges/badgeimagesfixture.h"
#include "badges/badger.h"
#include "catalog/contentinfo.h"
#include "common/isolatedsettings.h"
#include "common/loopbackserver.h"
#include "controller/limitstatus.h"
#include "controller/twittercoreobject.h"
#include "mediafixtures.h"
#include "twitter/twitter_core.h"
#include "twitterservice.h"

#include <QMetaMethod>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString ownId = QStringLiteral("{BB23CC56-D53E-456e-BD39-5A8A8A394279}");
const QString uploadId = QStringLiteral("{D263A27F-C49A-4dd7-8C8B-A253CF319468}");
const QString trayId = QStringLiteral("{5E799358-947D-4c3b-9F93-E75A7ABAFC0F}");
const QString userName = QStringLiteral("gallery_user");
// Holds both separators of the record the sign-in page reports it in.
const QString password = QStringLiteral("pa||ss<>wörd");

} // namespace

// What the host and its pages heard, one "name arguments" line per call,
// with a test's paths, ids and service address put as short names.
struct Log
{
    QStringList lines;
    QList<QPair<QString, QString>> aliases;

    QString plain(QString text) const
    {
        for (const auto &alias : aliases)
            text.replace(alias.first, alias.second);
        return text.replace(QRegularExpression(QStringLiteral("\\$/s/\\w+")), "short");
    }
    // The other way round, for the words of a call; "-" is empty.
    QString full(const QString &word) const
    {
        for (const auto &alias : aliases)
            if (word.startsWith(alias.second))
                return alias.first + word.mid(alias.second.size());
        return word == "-" ? QString() : word;
    }
    // A slot is heard by its name less the "on".
    template<typename... Words>
    void note(QString name, const Words &...words)
    {
        if (name.startsWith(u"on"))
            name = name.at(2).toLower() + name.mid(3);
        const QStringList said { name, QVariant::fromValue(words).toString()... };
        lines.append(plain(said.join(u' ')).trimmed());
    }
    QString seen(const QStringList &names) const
    {
        const QRegularExpression named(QStringLiteral("^(%1)( |$)").arg(names.join(u'|')));
        return lines.filter(named).join(QStringLiteral(", "));
    }
} heard;

// The wizard host and the applet manager in one.
class TestHost : public QWidget
{
    Q_OBJECT
public:
    QStringList selection;

    // What a host connects on its own, queued as the gallery host does.
    void attach(QObject *core)
    {
        for (const QByteArray &method : QByteArray(
                 "requestApp(QString,QString,ulong) "
                 "appRequest(QString,ulong) startMinimize(bool) youTubeStatus(ulong) "
                 "getLoggedInUserComplete(bool,QString) reviewApproval(bool,ulong) "
                 "displayLimitsErrorMsg(QString,ulong) uploadComplete(ulong) "
                 "verifyShutdown(QWidget*,bool,ulong) authorizeRequestApp(QString,bool,ulong)")
                                            .split(' ')) {
            const QByteArray signal = "2" + method;
            const QByteArray slot = "1on" + method.left(1).toUpper() + method.mid(1);
            const bool ours = method.startsWith("verify") || method.startsWith("authorize");
            connect(ours ? this : core, signal, this, slot, Qt::QueuedConnection);
        }
    }

Q_SIGNALS:
    void verifyShutdown(QWidget *widget, bool agree, ulong flags);
    void authorizeRequestApp(const QString &appid, bool authorized, ulong flags);
    void selectImageContent(const QString &path, const QImage &image, ulong flags);
    void requestSNAppReadyToClose(const QString &id, ulong flags);

public Q_SLOTS:
    void onShowMustUpload(ulong f) { heard.note(__func__, f); }
    void onShowError(ulong f) { heard.note(__func__, f); }
    void onPopupMessage(ulong f) { heard.note(__func__, f); }
    void onShowWelcome(ulong f) { heard.note(__func__, f); }
    void onStartUploadWizard(ulong f) { heard.note(__func__, f); }
    void onDoWizardNext(ulong f) { heard.note(__func__, f); }
    void onDoWizardBack(ulong f) { heard.note(__func__, f); }
    void onResumeWizard(ulong f) { heard.note(__func__, f); }
    void onRequestConfirmation(ulong f) { heard.note(__func__, f); }
    void onClearWizardPages(ulong f) { heard.note(__func__, f); }
    void onYouTubeStatus(ulong f) { heard.note(__func__, f); }
    void onUploadComplete(ulong f) { heard.note(__func__, f); }
    void onStartMinimize(bool on) { heard.note(__func__, on); }
    void onGetLoggedInUserComplete(bool ok, const QString &) { heard.note(__func__, ok); }
    void onReviewApproval(bool ok, ulong f) { heard.note(__func__, ok, f); }
    void onDisplayLimitsErrorMsg(QString text, ulong f) { heard.note(__func__, text, f); }
    void onAppRequest(QString id, ulong f) { heard.note(__func__, id, f); }
    void onAuthorizeRequestApp(QString id, bool ok, ulong f) { heard.note(__func__, id, ok, f); }
    void onSNAppReadyToClose(QString i, bool b, ulong f)
    {
        heard.note("snAppReadyToClose", i, b, f);
    }
    void onRegisterSNAppCore(QObject *, ulong) { }
    // Whether it names the host, then the answer.
    void onVerifyShutdown(QWidget *w, bool ok, ulong f) { heard.note(__func__, w == this, ok, f); }
    // The content info names the application and the paths.
    void onRequestApp(const QString &id, const QString &data, ulong f)
    {
        ContentInfo info;
        const bool read = xmlToContentInfo(data, info);
        const QString named = (QStringList { info.applicationId } + info.paths).join(u' ');
        heard.note(__func__, id, f, read ? named.trimmed() : "-");
    }
    void onRequestSelectContent(ulong)
    {
        for (const QString &path : std::as_const(selection))
            Q_EMIT selectImageContent(path, QImage(), 0);
    }
};

// A wizard page: logs what it is sent ("<name> <kind in hex> <text>") and
// answers a report-now with its reports.
class TestPage : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    QList<QPair<QString, ulong>> reports;

Q_SIGNALS:
    void backClicked(bool checked);
    void nextClicked(bool checked);
    void applyClicked(bool checked);
    void requestSendInfo(ulong flags);
    void reportInfo(const QString &text, ulong flags);

public Q_SLOTS:
    void onSendInfo(const QString &text, ulong flags) { got(text, flags); }
    void onSendInfo(const QString &text, const QImage &, ulong flags) { got(text, flags); }

private:
    void got(const QString &text, ulong flags)
    {
        // The pairs of a record come in no fixed order.
        QStringList pairs = text.split(QStringLiteral("<>"));
        pairs.sort();
        heard.note(objectName(), QString::number(flags, 16), pairs.join(u' '));
        if (!(flags & HostContract::InfoKind::ReportNow))
            return;
        for (const auto &report : std::as_const(reports))
            Q_EMIT reportInfo(report.first, report.second);
    }
};

class TestTwitterCoreObject : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void signIn_data();
    void signIn();
    void share_data();
    void share();
    void limitsText_data();
    void limitsText();
    void pathList_data();
    void pathList();

private:
    // Runs the row's steps ("; " between them), then compares what the host
    // and the pages heard of names with the row's events.
    void run(const QStringList &names);
    void step(const QString &what);
    // "[text|image|host] method words": calls a slot, or emits a signal, by
    // its name, of the controller unless a page or the host is named.
    void call(const QString &what);
    void make();

    QTemporaryDir m_media;
    QByteArray m_path;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<TwitterService> m_service;
    std::unique_ptr<LoopbackServer> m_api;
    std::unique_ptr<LoopbackServer> m_shortener;
    std::unique_ptr<TestHost> m_host;
    TwitterCoreObject *m_core = nullptr;
    TestPage *m_text = nullptr;
    TestPage *m_image = nullptr;
    QString m_base;
    QString m_clip;
    QStringList m_selected;
};

void TestTwitterCoreObject::initTestCase()
{
    m_path = qgetenv("PATH");
    QVERIFY(buildBadgeImages(uploadId));
    QVERIFY(MediaFixtures::makeClip(m_media.filePath(QStringLiteral("clip.mp4")), 2.0));
    QVERIFY(MediaFixtures::makeStill(m_media.filePath(QStringLiteral("photo.jpg"))));
}

void TestTwitterCoreObject::init()
{
    // Every connection by signature string, ours and the controller's, must hold.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^QObject::connect")));
    m_settings = std::make_unique<IsolatedSettings>();
    m_dir = std::make_unique<QTemporaryDir>();
    // A folder name no list split at commas or semicolons survives.
    m_clip = m_dir->filePath(QStringLiteral("Smith, J; Vidéos ビデオ/clip.mp4"));
    QVERIFY(m_settings->isValid() && QDir().mkpath(QFileInfo(m_clip).path()));
    QVERIFY(QFile::copy(m_media.filePath(QStringLiteral("clip.mp4")), m_clip));
    // Nothing listens there unless the flows that sign in need the service.
    m_base = QStringLiteral("http://127.0.0.1:%1").arg(LoopbackServer::unusedPort());
    if (QByteArray(QTest::currentTestFunction()).startsWith('s')) {
        ServiceOptions options;
        options.users.append({ userName, password });
        options.consumers.append(ServiceOptions::defaultConsumer());
        m_service = std::make_unique<TwitterService>(options);
        QString error;
        QVERIFY2(m_service->start(&error), qPrintable(error));
        m_base = m_service->baseUrl().toString();
    }
    IsolatedSettings::set(TwitterSettings::timeoutKey, 5000);
    for (const char *key : { TwitterSettings::apiUrlKey, TwitterSettings::webUrlKey,
             TwitterSettings::shortenerUrlKey })
        IsolatedSettings::set(key, m_base);
    heard = { {},
        { { m_clip, "clip" }, { m_media.filePath(QStringLiteral("photo.jpg")), "photo" },
            { m_base, "$" }, { ownId, "own" }, { uploadId, "upload" }, { trayId, "tray" } } };
    m_selected.clear();
}

void TestTwitterCoreObject::cleanup()
{
    m_host.reset();
    m_core = nullptr;
    m_api.reset();
    qputenv("PATH", m_path);
}

void TestTwitterCoreObject::run(const QStringList &names)
{
    QFETCH(QString, steps);
    QFETCH(QString, events);
    for (const QString &what : steps.split(QStringLiteral("; "))) {
        // Steps joined by " & " run with nothing let through in between.
        for (const QString &part : what.split(QStringLiteral(" & ")))
            step(part);
        if (QTest::currentTestFailed())
            return;
        // Until nothing new is heard for a while.
        for (qsizetype lines = -1; lines != heard.lines.size(); QTest::qWait(100))
            lines = heard.lines.size();
    }
    // What the user was told last, and the badge of the clip under our id.
    QString url;
    if (Badger badger; badger.initialize(m_clip) && badger.getUrl(ownId, url))
        heard.note("badge", url);
    if (m_core && !m_core->getUserErrorMsg().isEmpty())
        heard.note("error", m_core->getUserErrorMsg());
    QCOMPARE(heard.seen(names + QStringList { "badge", "error" }), events);
}

void TestTwitterCoreObject::make()
{
    m_host = std::make_unique<TestHost>();
    m_host->selection = m_selected;
    m_core = new TwitterCoreObject(m_host.get(), quintptr(m_host.get()));
    m_host->attach(m_core);
    m_text = new TestPage(m_host.get());
    m_image = new TestPage(m_host.get());
    m_text->setObjectName(QStringLiteral("text"));
    m_image->setObjectName(QStringLiteral("image"));
    QVERIFY(m_core->registerWizardPage(m_text, 0ul) && m_core->registerWizardPage(m_image, 1, 1));
    QVERIFY(m_core->registerForInfoRequest(m_text, 0x400)
        && m_core->registerForInfoRequest(m_image, 0x600));
    m_text->reports
        = { { "author||" + userName + "<>password||" + password + "<>remember||1", 0x1000 },
              { "description||My holiday", 0x8000 } };
    m_image->reports = { { pathListText({ m_clip }), 0x40 } };
}

void TestTwitterCoreObject::call(const QString &what)
{
    if (!m_core)
        make();
    QStringList words = what.split(u' ');
    QObject *target
        = words.first() == "host" ? m_host.get() : m_host->findChild<QObject *>(words.first());
    target ? words.removeFirst() : void(target = m_core);
    const QByteArray name = words.takeFirst().toLatin1();
    const QMetaObject *meta = target->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.name() != name || method.parameterCount() != words.size())
            continue;
        const QList<QByteArray> types = method.parameterTypes();
        QVariant values[6];
        QGenericArgument args[6];
        for (int k = 0; k < words.size(); ++k) {
            values[k] = heard.full(words.at(k));
            QVERIFY2(values[k].convert(method.parameterMetaType(k)), qPrintable(what));
            args[k] = QGenericArgument(types.at(k).constData(), values[k].constData());
        }
        QVERIFY2(method.invoke(target, Qt::DirectConnection, args[0], args[1], args[2], args[3],
                     args[4], args[5]),
            qPrintable(what));
        return;
    }
    QFAIL(qPrintable("no such method: " + what));
}

void TestTwitterCoreObject::step(const QString &what)
{
    const auto done = [] {
        return heard.seen({ "getLoggedInUserComplete", "showError" });
    };
    const QString before = done();
    const QString verb = what.section(u' ', 0, 0);
    const QString rest = what.section(u' ', 1);
    if (what == "clip" || what == "photo") {
        m_selected.append(heard.full(what));
    } else if (verb == "badge") {
        QVERIFY(Badger().badgeContent(uploadId, heard.full(rest), m_clip, 0));
    } else if (verb == "stored") {
        // "stored N": the first N keys of a stored sign-in, made up.
        int keys = rest.toInt();
        for (const char *key : { "OAuth/oauth_token", "OAuth/oauth_token_secret", "OAuth/user_id",
                 "OAuth/screen_name" })
            IsolatedSettings::set(key, keys-- > 0 ? QVariant("bogus") : QVariant());
    } else if (verb == "api" || verb == "shortener") {
        // "silent": the head at once, the body never, so its requests stay out
        // while a row runs; "slow": the whole answer in a while; "500".
        auto &server = verb == "api" ? m_api : m_shortener;
        const auto answer = LoopbackServer::Script::answer(rest == "500" ? 500 : 200,
            rest == "silent" ? QByteArray(64, ' ') : "http://127.0.0.1/s/slow");
        server = std::make_unique<LoopbackServer>();
        QVERIFY(server->listen({ rest == "500"
                ? answer
                : LoopbackServer::Script::drip(answer.raw, rest == "silent" ? 600000 : 20) }));
        IsolatedSettings::set(
            verb == "api" ? TwitterSettings::apiUrlKey : TwitterSettings::shortenerUrlKey,
            server->url().toString());
        IsolatedSettings::set(TwitterSettings::timeoutKey, 60000);
    } else if (verb == "requests") {
        // "requests api|shortener N": what reached that server.
        const auto &server = rest.startsWith("api") ? m_api : m_shortener;
        QTRY_COMPARE(server->requests().size(), rest.section(u' ', 1).toInt());
    } else if (what == "no service") {
        m_service->stop();
    } else if (what == "no browser") {
        qputenv("PATH", QFile::encodeName(m_dir->filePath(QStringLiteral("no-bin"))));
    } else if (verb == "limits") {
        // "limits bytes seconds", before the start.
        make();
        m_core->setMaxSize(rest.section(u' ', 0, 0).toULong());
        m_core->setMaxDuration(rest.section(u' ', 1).toULong());
    } else if (what == "start" || what == "restart") {
        if (what == "restart" || !m_core)
            make();
        call("onStartCoreObject 0");
        // The stored sign-in is checked with the service first, unless the api is silent.
        QTRY_VERIFY(m_api || done() != before);
    } else if (verb == "password") {
        if (rest == "forget")
            m_text->reports[0].first.replace("remember||1", "remember||0");
        if (rest == "wrong")
            m_text->reports[0].first.replace(password, "pa||ss");
        m_core->onLoginNext(true);
        QTRY_VERIFY(m_api || done() != before);
    } else if (what == "remove clip") {
        QVERIFY(QFile::remove(m_clip));
    } else if (verb == "tweet") {
        // Pressed, the tweet page reports this text.
        m_text->reports[1].first = "description||" + (rest == "long" ? QString(281, u'x') : rest);
        Q_EMIT m_image->nextClicked(true);
    } else if (what == "timer") {
        // Once is enough to see the delay; then it runs out at once.
        auto *timer = m_core->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
        if (timer && timer->isActive() && timer->interval() == 20000)
            timer->setInterval(1);
    } else {
        call(what);
    }
}
void TestTwitterCoreObject::signIn_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("events");

    const QString fresh = "startUploadWizard 32, getLoggedInUserComplete false";
    const QString stored = "startUploadWizard 16, getLoggedInUserComplete ";
    const QString user = "text 1 gallery_user, text 1000 author||gallery_user "
                         "password||********** remember||";
    const QString signedIn = ", getLoggedInUserComplete true, doWizardNext 0, " + user;
    QTest::newRow("password, kept for the next run, until the sign-out")
        << "start; password; restart; text applyClicked true"
        << fresh + signedIn + "1, " + stored + "true, " + user + "1, " + fresh;
    QTest::newRow("password, forgotten after this run")
        << "start; password forget; restart" << fresh + signedIn + "0, " + fresh;
    QTest::newRow("password once the video is up")
        << "clip; start; onUploadStatus upload true clip $/v/new 2; password"
        << fresh + ", appRequest upload 4, requestApp own 0 -, getLoggedInUserComplete true, "
            + "resumeWizard 72, " + user + "1";
    QTest::newRow("wrong password")
        << "start; password wrong" << fresh + ", showError 2, error Invalid user name or password";
    QTest::newRow("no answer") << "no service; start; password"
                               << fresh + ", showError 1024, error Connection refused";
    QTest::newRow("stored sign-in refused")
        << "stored 4; start" << stored + "false, showError 8, error Invalid user_id";
    const QString incomplete = "The stored Twitter sign-in is incomplete; please sign in again.";
    QTest::newRow("stored sign-in incomplete")
        << "stored 1; start" << stored + "false, showError 8, error " + incomplete;
    QTest::newRow("sign-out wins over a late sign-in reply")
        << "api silent; start; password; text applyClicked true; onLoginComplete true 0"
        << fresh + ", " + fresh;
    QTest::newRow("no browser for a new account")
        << "no browser; start; onCreateAccount"
        << fresh + ", showError 4, error No web browser could open $/signup.";
    const QString ready = "; host requestSNAppReadyToClose own 0";
    const QString closed = ", snAppReadyToClose own true ";
    const QString tweeted = "onTweetResult true x 7 1 0";
    QTest::newRow("minimised by the user")
        << "onMinimize; host requestSNAppReadyToClose tray 0; host requestSNAppReadyToClose "
            + ownId.toUpper() + " 0" + ready + ready
        << "startMinimize true" + closed + "14" + closed + "0";
    QTest::newRow("closes itself after the tweet")
        << tweeted + ready + "; timer"
        << "startMinimize true" + closed + "6, appRequest own 4";
    QTest::newRow("shown again in time") << tweeted + "; onShowEvent 0; timer"
                                         << "startMinimize true";
    const QString shutdown = "; onRequestShutdown 16; confirmShutdown ";
    const QString asked = ", verifyShutdown true true 16, verifyShutdown true ";
    QTest::newRow("shutdown refused, agreed, agreed closing later")
        << shutdown.mid(2) + "3 0" + shutdown + "2 0" + ready + shutdown + "1 0" + ready
        << asked.mid(2) + "false 16" + asked + "true 16" + closed + "0" + asked + "true 22" + closed
            + "6";
    const QString authorize = "; onRequestAuthorizeRequestApp 16; confirmAuthorize ";
    const QString authorized = ", authorizeRequestApp own true 18, authorizeRequestApp own true ";
    QTest::newRow("authorisation refused, then agreed in the hand-over, closing later")
        << authorize.mid(2) + "0 0; onNextMustUploadClicked true" + authorize + "2 0" + ready
            + authorize + "1 0"
        << "authorizeRequestApp own true 16, authorizeRequestApp own false 16, startMinimize true"
            + authorized + "18" + closed + "2" + authorized + "22";
    QTest::newRow("resumed")
        << "onResume 2048; onResume 2050; onResume 0; onBackMustUploadClicked "
           "true; onUploadWizardAgain 0; onLogin 0"
        << "resumeWizard 64, resumeWizard 32, startUploadWizard 0, "
           "getLoggedInUserComplete false, resumeWizard 16, resumeWizard 16, resumeWizard 0";
    QTest::newRow("page buttons")
        << "text backClicked true; text nextClicked true; image backClicked true"
        << "doWizardBack 0, doWizardNext 0, clearWizardPages 0, doWizardBack 0";
}

void TestTwitterCoreObject::signIn()
{
    run({ "startUploadWizard", "getLoggedInUserComplete", "doWizardNext", "resumeWizard",
        "showError", "text 1", "text 1000", "startMinimize", "appRequest", "requestApp",
        "snAppReadyToClose", "verifyShutdown", "authorizeRequestApp", "doWizardBack",
        "clearWizardPages" });
}

void TestTwitterCoreObject::share_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("events");

    const QString linked = "clip; badge $/v/earlier; start; password";
    const QString started = "reviewApproval true 0, image 140 clip, image 2140";
    const QString handOver = "clip; start; password; onReviewNextBtn true; "
                             "onNextMustUploadClicked true; onAppClosed own 4";
    const QString handedOver = "reviewApproval true 0, showMustUpload 8, image 140 clip, "
                               "image 2140, showMustUpload 0, startMinimize true, "
                               "requestApp upload 40 clip";
    const QString upload = "; onUploadStatus upload true clip - 1; badge $/v/new; "
                           "onUploadStatus upload true clip $/v/new 2; onAppClosed upload 6";
    const QString uploaded
        = ", appRequest upload 3, youTubeStatus 1, appRequest upload 4, youTubeStatus 0";
    const QString refused = "reviewApproval false 32, "
                            "displayLimitsErrorMsg 0(!)0(!)1(!)0(!)photo[!]32 0";
    QTest::newRow("photo refused, after a sign-out too")
        << "photo; start; password; text applyClicked true" << refused + ", " + refused;
    // A later rule's verdict replaces that of an earlier one.
    QTest::newRow("limits: a clip too large") << "clip; limits 1000 0; start"
                                              << "reviewApproval false 4, displayLimitsErrorMsg "
                                                 "1000(!)0(!)1(!)0(!)clip[!]4 0";
    QTest::newRow("limits: a clip too large and too long")
        << "clip; limits 1000 1; start"
        << "reviewApproval false 8, displayLimitsErrorMsg 1000(!)1(!)1(!)0(!)clip[!]8 0";
    QTest::newRow("limits: two items, one a photo")
        << "clip; photo; start"
        << "reviewApproval false 48, displayLimitsErrorMsg 0(!)0(!)1(!)16(!)photo[!]32 0";
    QTest::newRow("must upload, uploaded")
        << handOver + upload << handedOver + uploaded + ", requestApp own 0 -, text 10 short";
    QTest::newRow("must upload, applet closed with its result")
        << handOver + "; onAppClosed upload 6"
        << handedOver + ", requestApp own 0 -, resumeWizard 72, youTubeStatus 0";
    QTest::newRow("must upload, upload failed")
        << handOver + "; onUploadStatus upload false clip - 0"
        << handedOver + ", youTubeStatus 0, appRequest own 4";
    QTest::newRow("must upload, applet closed without a result")
        << handOver + "; onAppClosed upload 4" << handedOver + ", appRequest own 4";
    QTest::newRow("tweet asked for during the hand-over")
        << handOver + "; tweet My holiday" + upload + "; onShortUrlInPlace 0; onShortUrlInPlace 0"
        << handedOver + ", startMinimize true" + uploaded
            + ", text 10 short, startMinimize true, showWelcome 16, badge $/home";
    QTest::newRow("uploaded before: short link, tweet")
        << linked + "; onReviewNextBtn true; text requestSendInfo 8; tweet My holiday"
        << started + ", text 10 short, startMinimize true, showWelcome 16, badge $/home";
    QTest::newRow("tweet refused by the service") << linked
            + "; tweet long" << started + ", showError 2048, error Status is over 280 characters.";
    QTest::newRow("empty tweet") << linked + "; tweet"
                                 << started
            + ", showError 2048, error The tweet could not be sent: its text is empty.";
    // One update reaches the service; the second press waits for its result.
    QTest::newRow("pressed twice while posting")
        << linked
            + "; api silent; tweet My holiday; requests api 1; image nextClicked true; "
              "onTweetResult true x 7 1 0; requests api 1"
        << started + ", startMinimize true, showWelcome 16, badge $/home";
    QTest::newRow("cancelled while posting") << linked
            + "; api silent; tweet My holiday; requests api 1; onCancel true; "
              "onTweetResult true x 7 1 0" << started + ", showWelcome 8, clearWizardPages 0";
    QTest::newRow("cancelled before the reports")
        << linked + "; onWizardUploadBtn true & onCancel true"
        << started + ", showWelcome 8, clearWizardPages 0";
    QTest::newRow("failing shortener: the long link") << "shortener 500; " + linked
            + "; text requestSendInfo 8" << started + ", text 10 $/v/earlier";
    QTest::newRow("empty link recorded")
        << "clip; badge -; start; password; text requestSendInfo 8"
        << started + ", showError 32, error The link recorded for clip is empty.";
    QTest::newRow("media file gone")
        << linked + "; remove clip; text requestSendInfo 8"
        << started + ", showError 32, error The record of clip could not be read.";
    QTest::newRow("no link of the upload applet yet")
        << "clip; start; password; text requestSendInfo 8"
        << "reviewApproval true 0, showMustUpload 8, image 140 clip, image 2140";
    // The client asks the shortener once; both requests get their answer. The
    // clip shared again in the same process needs no request at all.
    QTest::newRow("short link asked for while the upload's is out, then shared again")
        << "shortener slow; " + handOver + upload
            + "; text requestSendInfo 8; requests shortener 1; restart; text requestSendInfo 8; "
              "requests shortener 1"
        << handedOver + uploaded
            + ", requestApp own 0 -, text 10 http://127.0.0.1/s/slow, "
              "text 10 http://127.0.0.1/s/slow, "
            + started + ", text 10 http://127.0.0.1/s/slow";
    const QString batch = "reviewApproval true 0, showMustUpload 8, uploadComplete 0, ";
    const QString failed = "clip; start; onFileUploadComplete false clip - 0 500 refused; ";
    QTest::newRow("batch with a failure")
        << failed + "onUploadComplete 1 0"
        << batch + "showError 2048, clearWizardPages 0, error clip: refused";
    QTest::newRow("batch with a failure retried")
        << failed + "onFileUploadComplete true clip $/v/1 0 0 done; onUploadComplete 1 0"
        << batch + "showWelcome 24, clearWizardPages 0, badge $/v/1";
}

void TestTwitterCoreObject::share()
{
    run({ "reviewApproval", "displayLimitsErrorMsg", "showMustUpload", "startMinimize",
        "requestApp", "appRequest", "youTubeStatus", "resumeWizard", "showWelcome", "showError",
        "uploadComplete", "clearWizardPages", "image 140", "image 2140", "text 10" });
}

void TestTwitterCoreObject::limitsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("read"); // the words, then each path and its bits

    QTest::newRow("comma, semicolon and non-ASCII in a path")
        << "0(!)0(!)1(!)0(!)/m/große, x;y.jpg[!]32" << true << "0 0 1 0 /m/große, x;y.jpg 32";
    QTest::newRow("empty entries dropped")
        << "4294967295(!)20(!)1(!)16(!)<!>/a[!]4<!><!>/a[!]8" << true << "4294967295 20 1 16 /a 8";
    QTest::newRow("four parts") << "0(!)0(!)1(!)0" << false << "7 7 7 7";
    // Read as 0, it would mean "no limit".
    QTest::newRow("word not a number") << "0(!)-1(!)1(!)0(!)" << false << "7 7 7 7";
    QTest::newRow("entry without bits keeps the entries before")
        << "0(!)0(!)1(!)0(!)/a[!]4<!>/b" << false << "0 0 1 0 /a 4";
    QTest::newRow("entry bits not a number") << "0(!)0(!)1(!)0(!)/a[!]x" << false << "0 0 1 0";
}

void TestTwitterCoreObject::limitsText()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, read);

    LimitStatus status(7, 7, 7);
    status.countStatus = 7;
    QCOMPARE(status.fromString(text), ok);
    QString words = QStringLiteral("%1 %2 %3 %4").arg(status.maxSize).arg(status.maxDuration);
    words = words.arg(status.maxCount).arg(status.countStatus);
    for (auto it = status.statusByPath.cbegin(); it != status.statusByPath.cend(); ++it)
        words += u' ' + it.key() + u' ' + QString::number(it.value());
    QCOMPARE(words, read);
    LimitStatus again;
    QVERIFY(again.fromString(status.toString()) && again == status);
}

void TestTwitterCoreObject::pathList_data()
{
    QTest::addColumn<QString>("text"); // null: the list form of paths
    QTest::addColumn<QStringList>("paths");

    QTest::newRow("whatever a name may hold")
        << QString()
        << QStringList { "/m/a%41 #?\r\n\t\x01<>\"'&|\\+/", "/file:/x,y.mp4", "/m/東京 😀.mov" };
    // Another host's older form still reads as before.
    QTest::newRow("older form") << "/m/a.mp4,/m/b.mp4" << QStringList { "/m/a.mp4", "/m/b.mp4" };
    QTest::newRow("older form keeps empty parts")
        << "/m/a.mp4,," << QStringList { "/m/a.mp4", "", "" };
}

void TestTwitterCoreObject::pathList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, paths);
    QCOMPARE(pathListFromText(text.isNull() ? pathListText(paths) : text), paths);
}

QTEST_MAIN(TestTwitterCoreObject)
#include "tst_twittercoreobject.moc"
