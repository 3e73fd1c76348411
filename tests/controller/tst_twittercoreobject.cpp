// The controller driven through a test host: construction, content limits,
// page buttons, close-down and shutdown, and the info exchange.
#include "catalog/contentinfo.h"
#include "common/isolatedsettings.h"
#include "controller/limitstatus.h"
#include "controllerfixture.h"
#include "mediafixtures.h"

#include <QDomDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const QString ownId = QStringLiteral("{BB23CC56-D53E-456e-BD39-5A8A8A394279}");
const QString trayId = QStringLiteral("{5E799358-947D-4c3b-9F93-E75A7ABAFC0F}");

} // namespace

using Selection = QList<QPair<QString, QImage>>;

class TestTwitterCoreObject : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void hostContract_data();
    void hostContract();
    void construction();
    void limits_data();
    void limits();
    void limitRules_data();
    void limitRules();
    void limitsSurviveSignOut();
    void pageButtons_data();
    void pageButtons();

    void readyToClose_data();
    void readyToClose();
    void closeDownLater_data();
    void closeDownLater();
    void productCloseDownDelay();
    void shutdownAndAuthorize_data();
    void shutdownAndAuthorize();
    void resume_data();
    void resume();
    void trayClick();
    void cancel();

    void infoVariants();
    void refusedSelectionSendsNoItems();
    void requestedKinds_data();
    void requestedKinds();
    void pendingSignInStep_data();
    void pendingSignInStep();
    void noErrorReadsErrorCode_data();
    void noErrorReadsErrorCode();

private:
    Selection items(const QStringList &names) const;

    QTemporaryDir m_media;
    std::unique_ptr<IsolatedSettings> m_settings;
};

void TestTwitterCoreObject::initTestCase()
{
    QVERIFY(m_media.isValid());
    QVERIFY(MediaFixtures::makeClip(m_media.filePath(QStringLiteral("one.mp4")), 1.0));
    QVERIFY(MediaFixtures::makeClip(m_media.filePath(QStringLiteral("two.mp4")), 3.0));
    QVERIFY(MediaFixtures::makeStill(m_media.filePath(QStringLiteral("a.jpg"))));
    QVERIFY(MediaFixtures::makeStill(m_media.filePath(QStringLiteral("b.jpg"))));
}

void TestTwitterCoreObject::init()
{
    m_settings = std::make_unique<IsolatedSettings>();
    QVERIFY(m_settings->isValid());
    // Nothing listens there: a sign-in attempt ends at once without an answer.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    IsolatedSettings::set(
        TwitterSettings::apiUrlKey, QStringLiteral("http://127.0.0.1:%1").arg(port));
}

void TestTwitterCoreObject::cleanup()
{
    m_settings.reset();
}

Selection TestTwitterCoreObject::items(const QStringList &names) const
{
    Selection selection;
    for (const QString &name : names) {
        QImage thumbnail(4, 3, QImage::Format_RGB32);
        thumbnail.fill(Qt::red);
        selection.append({ m_media.filePath(name), thumbnail });
    }
    return selection;
}

void TestTwitterCoreObject::hostContract_data()
{
    QTest::addColumn<bool>("base");
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("signatures");

    QTest::newRow("base signals") << true << int(QMetaMethod::Signal)
                                  << QStringList { "setReviewSelected(QStringList,ulong)",
                                         "displayLimitsErrorMsg(QString,ulong)",
                                         "reviewApproval(bool,ulong)" };
    QTest::newRow("base slots") << true << int(QMetaMethod::Slot)
                                << QStringList { "onSubmitForApproval(QStringList,ulong)" };
    QTest::newRow("signals")
        << false << int(QMetaMethod::Signal)
        << QStringList { "showMustUpload(ulong)", "requestSelectContent(ulong)",
               "showWelcome(ulong)", "showError(ulong)", "sendInfo(QString,ulong)",
               "sendInfo(QString,QImage,ulong)", "popupMessage(ulong)", "startUploadWizard(ulong)",
               "doWizardNext(ulong)", "doWizardBack(ulong)", "requestConfirmation(ulong)",
               "cancelAllThreads(ulong)", "clearWizardPages(ulong)",
               "registerSNAppCore(QObject*,ulong)", "snAppReadyToClose(QString,bool,ulong)",
               "loginComplete(bool,QString)", "getLoggedInUserComplete(bool,QString)",
               "resumeWizard(ulong)", "verifyShutdown(QWidget*,bool,ulong)",
               "authorizeRequestApp(QString,bool,ulong)", "startMinimize(bool)",
               "setExternalProgressRange(int,int)", "setExternalProgressValue(int)",
               "cancelSNApp(ulong)", "uploadComplete(ulong)", "requestApp(QString,QString,ulong)",
               "appRequest(QString,ulong)", "youTubeStatus(ulong)", "assertValid()" };
    // Private ones carry a leading "-".
    QTest::newRow("slots")
        << false << int(QMetaMethod::Slot)
        << QStringList { "onUploadWizardAgain(ulong)", "onResume(ulong)",
               "onRequestSendInfo(ulong)", "onWizardBackBtn(bool)", "onWizardNextBtn(bool)",
               "onWizardApplyBtn(bool)", "onWizardUploadBackBtn(bool)", "onWizardUploadBtn(bool)",
               "onReportInfo(QString,ulong)", "onCancel(bool)", "onConfirm(int,ulong)",
               "onThreadCancelled(long,ulong)", "onUploadComplete(long,ulong)",
               "onRequestSNAppReadyToClose(QString,ulong)", "onLoginNext(bool)",
               "onCreateAccount()", "onGetLoggedInUserComplete(bool,ulong)",
               "onRequestShutdown(ulong)", "onRequestAuthorizeRequestApp(ulong)",
               "confirmShutdown(int,ulong)", "confirmAuthorize(int,ulong)", "onMinimize()",
               "onLogout(bool)", "onLogin(ulong)", "onNextMustUploadClicked(bool)",
               "onBackMustUploadClicked(bool)", "onReviewNextBtn(bool)",
               "onSubmitForApproval(QStringList,ulong)", "onAppClosed(QString,ulong)",
               "onUploadStatus(QString,bool,QString,QString,ulong)",
               "onUploadStatusError(QString,bool,QString,QString,ulong)",
               "onShortUrlInPlace(ulong)", "onShowEvent(ulong)", "onHideEvent(ulong)",
               "-onStartCoreObject(ulong)", "-onSelectContent(QString,QImage,ulong)",
               "-onLoginComplete(bool,ulong)",
               "-onFileUploadComplete(bool,QString,QString,ulong,int,QString)",
               "-onTweetResult(bool,QString,QString,QString,ulong)",
               "-onGetShortUrlResult(bool,QString,QString,QString,ulong)",
               "-onCloseDownLaterTimer()" };
}

void TestTwitterCoreObject::hostContract()
{
    QFETCH(bool, base);
    QFETCH(int, type);
    QFETCH(QStringList, signatures);

    // The host connects by these strings, in this order of declaration.
    const QMetaObject &meta
        = base ? SNAppCoreObject::staticMetaObject : TwitterCoreObject::staticMetaObject;
    QStringList declared;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() != type)
            continue;
        const QString prefix
            = method.access() == QMetaMethod::Private ? QStringLiteral("-") : QString();
        declared.append(prefix + QString::fromLatin1(method.methodSignature()));
    }
    QCOMPARE(declared, signatures);
}

void TestTwitterCoreObject::construction()
{
    ControllerFixture fixture(items({ QStringLiteral("one.mp4") }));
    // The selection pair is direct: answered inside the constructor; the
    // registration is queued.
    QCOMPARE(fixture.manager->firstArguments("onRequestSelectContent"), ulongs({ 0 }));
    QVERIFY(fixture.manager->calls("onRegisterSNAppCore").isEmpty());
    QCOMPARE(fixture.controller->parent(), fixture.host.get());

    fixture.start();
    // startUploadWizard is direct, so it has arrived before the event loop ran.
    QCOMPARE(fixture.host->names(), QStringList { QStringLiteral("onStartUploadWizard") });
    QCOMPARE(fixture.host->firstArguments("onStartUploadWizard"), ulongs({ 32 }));

    fixture.settle();
    const QList<QVariantList> registered = fixture.manager->calls("onRegisterSNAppCore");
    QCOMPARE(registered.size(), 1);
    QCOMPARE(registered.at(0).at(0).value<void *>(), static_cast<void *>(fixture.controller));
    QCOMPARE(registered.at(0).at(1).value<unsigned long>(), 0ul);
    QCOMPARE(fixture.host->calls("onGetLoggedInUserComplete"),
        QList<QVariantList> { QVariantList({ false, QString() }) });
    QCOMPARE(fixture.host->calls("onReviewApproval"),
        QList<QVariantList> { QVariantList({ true, QVariant::fromValue(0ul) }) });
    // No item carries a link from the video upload applet yet.
    QCOMPARE(fixture.host->firstArguments("onShowMustUpload"), ulongs({ 8 }));
    QCOMPARE(fixture.controller->getMaxCount(), 1ul);
}

void TestTwitterCoreObject::limits_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("approved");
    QTest::addColumn<unsigned long>("bits");
    QTest::addColumn<quint32>("countStatus");
    QTest::addColumn<QStringList>("wrongKind");

    QTest::newRow("one video") << QStringList { QStringLiteral("one.mp4") } << true << 0ul
                               << quint32(0) << QStringList {};
    QTest::newRow("one photo") << QStringList { QStringLiteral("a.jpg") } << false << 0x20ul
                               << quint32(0) << QStringList { QStringLiteral("a.jpg") };
    QTest::newRow("two videos") << QStringList { QStringLiteral("one.mp4"),
        QStringLiteral("two.mp4") }
                                << false << 0x10ul << quint32(0x10) << QStringList {};
    QTest::newRow("two photos") << QStringList { QStringLiteral("a.jpg"), QStringLiteral("b.jpg") }
                                << false << 0x30ul << quint32(0x10)
                                << QStringList { QStringLiteral("a.jpg"), QStringLiteral("b.jpg") };
    QTest::newRow("missing file") << QStringList { QStringLiteral("gone.mp4") } << false << 0x20ul
                                  << quint32(0) << QStringList { QStringLiteral("gone.mp4") };
    QTest::newRow("nothing selected")
        << QStringList {} << true << 0ul << quint32(0) << QStringList {};
}

void TestTwitterCoreObject::limits()
{
    QFETCH(QStringList, names);
    QFETCH(bool, approved);
    QFETCH(unsigned long, bits);
    QFETCH(quint32, countStatus);
    QFETCH(QStringList, wrongKind);

    ControllerFixture fixture(items(names));
    fixture.start();
    fixture.settle();
    QCOMPARE(fixture.host->calls("onReviewApproval"),
        QList<QVariantList> { QVariantList({ approved, QVariant::fromValue(bits) }) });

    const QList<QVariantList> messages = fixture.host->calls("onDisplayLimitsErrorMsg");
    QCOMPARE(messages.size(), approved ? 0 : 1);
    if (approved)
        return;
    const QString text = messages.at(0).at(0).toString();
    QCOMPARE(messages.at(0).at(1).value<unsigned long>(), 0ul);
    if (names.size() == 1 && bits == 0x20)
        QCOMPARE(text,
            QStringLiteral("0(!)0(!)1(!)0(!)") + m_media.filePath(names.first())
                + QStringLiteral("[!]32"));

    LimitStatus expected(0, 0, 1);
    expected.countStatus = countStatus;
    for (const QString &name : wrongKind)
        expected.statusByPath.insert(m_media.filePath(name), 0x20);
    LimitStatus read;
    QVERIFY(read.fromString(text));
    QVERIFY(read == expected);
}

void TestTwitterCoreObject::limitRules_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<unsigned long>("maxSize");
    QTest::addColumn<unsigned long>("maxDuration");
    QTest::addColumn<unsigned long>("constraints");
    QTest::addColumn<unsigned long>("bits");

    QTest::newRow("too large") << QStringLiteral("a.jpg") << 10ul << 0ul << 0ul << 0x4ul;
    QTest::newRow("too large and not a movie: kind wins")
        << QStringLiteral("a.jpg") << 10ul << 0ul << 0x4ul << 0x20ul;
    QTest::newRow("large enough") << QStringLiteral("a.jpg") << 100000000ul << 0ul << 0ul << 0ul;
    QTest::newRow("missing file is never too large")
        << QStringLiteral("gone.jpg") << 1ul << 0ul << 0ul << 0ul;
    QTest::newRow("too long") << QStringLiteral("two.mp4") << 0ul << 2ul << 0x4ul << 0x8ul;
    QTest::newRow("long enough") << QStringLiteral("two.mp4") << 0ul << 5ul << 0x4ul << 0ul;
    QTest::newRow("too large and too long")
        << QStringLiteral("two.mp4") << 10ul << 2ul << 0x4ul << 0x8ul;
    QTest::newRow("unreadable duration breaks nothing")
        << QStringLiteral("a.jpg") << 0ul << 1ul << 0ul << 0ul;
}

void TestTwitterCoreObject::limitRules()
{
    QFETCH(QString, name);
    QFETCH(unsigned long, maxSize);
    QFETCH(unsigned long, maxDuration);
    QFETCH(unsigned long, constraints);
    QFETCH(unsigned long, bits);

    SNAppCoreObject core(nullptr, 0);
    core.setMaxSize(maxSize);
    core.setMaxDuration(maxDuration);
    core.setConstraintFlags(constraints);
    QSignalSpy approval(&core, &SNAppCoreObject::reviewApproval);
    QSignalSpy message(&core, &SNAppCoreObject::displayLimitsErrorMsg);
    core.onSubmitForApproval({ m_media.filePath(name) }, 0);
    QCOMPARE(approval.count(), 1);
    QCOMPARE(approval.at(0).at(0).toBool(), bits == 0);
    QCOMPARE(approval.at(0).at(1).value<unsigned long>(), bits);
    // Without flag 0x2 the host is not asked to show the limits.
    QCOMPARE(message.count(), 0);
}

void TestTwitterCoreObject::limitsSurviveSignOut()
{
    ControllerFixture fixture(items({ QStringLiteral("a.jpg"), QStringLiteral("b.jpg") }));
    WizardPage *page = fixture.addPage(0);
    fixture.start();
    fixture.settle();
    Q_EMIT page->applyClicked(true);
    fixture.settle();

    QCOMPARE(fixture.manager->firstArguments("onRequestSelectContent"), ulongs({ 0, 0 }));
    const QVariantList refused { false, QVariant::fromValue(0x30ul) };
    QCOMPARE(fixture.host->calls("onReviewApproval"), (QList<QVariantList> { refused, refused }));
    QCOMPARE(fixture.host->calls("onDisplayLimitsErrorMsg").size(), 2);
    QCOMPARE(fixture.controller->getMaxCount(), 1ul);
}

void TestTwitterCoreObject::pageButtons_data()
{
    QTest::addColumn<bool>("boolForm");
    QTest::addColumn<unsigned long>("flags");
    QTest::addColumn<QStringList>("back");
    QTest::addColumn<QStringList>("next");

    const QStringList plainBack { QStringLiteral("onDoWizardBack") };
    const QStringList uploadBack { QStringLiteral("onClearWizardPages"),
        QStringLiteral("onDoWizardBack") };
    const QStringList plainNext { QStringLiteral("onDoWizardNext") };
    // The upload page's Next asks the pages for their reports (tweet step).
    const QStringList tweetNext { QStringLiteral("report now") };
    QTest::newRow("0") << false << 0ul << plainBack << plainNext;
    QTest::newRow("upload next") << false << 0x1ul << plainBack << tweetNext;
    QTest::newRow("upload back") << false << 0x2ul << uploadBack << plainNext;
    QTest::newRow("no next") << false << 0x4ul << plainBack << QStringList {};
    QTest::newRow("no next but upload next") << false << 0x5ul << plainBack << tweetNext;
    QTest::newRow("both upload") << false << 0x3ul << uploadBack << tweetNext;
    QTest::newRow("bool form, next") << true << 0x1ul << plainBack << tweetNext;
    QTest::newRow("bool form, back") << true << 0x2ul << uploadBack << plainNext;
}

void TestTwitterCoreObject::pageButtons()
{
    QFETCH(bool, boolForm);
    QFETCH(unsigned long, flags);
    QFETCH(QStringList, back);
    QFETCH(QStringList, next);

    ControllerFixture fixture;
    auto *page = new WizardPage;
    page->setParent(fixture.host.get());
    const bool registered = boolForm
        ? fixture.controller->registerWizardPage(page, bool(flags & 1), bool(flags & 2))
        : fixture.controller->registerWizardPage(page, flags);
    QVERIFY(registered);
    QVERIFY(fixture.controller->registerForInfoRequest(page, 0));

    Q_EMIT page->backClicked(true);
    fixture.settle();
    QCOMPARE(fixture.host->names(), back);

    fixture.host->reset();
    Q_EMIT page->nextClicked(true);
    fixture.settle();
    QStringList seen = fixture.host->names();
    if (page->texts(0x200).size() == 1)
        seen.append(QStringLiteral("report now"));
    QCOMPARE(seen, next);

    // Apply signs out, which restarts the wizard without a token.
    fixture.host->reset();
    Q_EMIT page->applyClicked(true);
    fixture.settle();
    QCOMPARE(fixture.host->firstArguments("onStartUploadWizard"), ulongs({ 32 }));
}

void TestTwitterCoreObject::readyToClose_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QVariantList>("states");

    QTest::newRow("untouched") << QString() << ownId << ulongs({ 0, 0 });
    QTest::newRow("minimised") << QStringLiteral("minimise") << ownId << ulongs({ 14, 0 });
    QTest::newRow("close later") << QStringLiteral("close later") << ownId << ulongs({ 6, 0 });
    QTest::newRow("shutdown confirmed")
        << QStringLiteral("confirm shutdown") << ownId << ulongs({ 6, 0 });
    QTest::newRow("another applet") << QStringLiteral("minimise") << trayId << QVariantList {};
    QTest::newRow("own id in other case")
        << QStringLiteral("minimise") << ownId.toUpper() << QVariantList {};
}

void TestTwitterCoreObject::readyToClose()
{
    QFETCH(QString, action);
    QFETCH(QString, id);
    QFETCH(QVariantList, states);

    ControllerFixture fixture;
    if (action == QLatin1String("minimise"))
        QVERIFY(QMetaObject::invokeMethod(fixture.controller, "onMinimize"));
    else if (action == QLatin1String("close later"))
        fixture.controller->startCloseDownLater(0);
    else if (action == QLatin1String("confirm shutdown"))
        fixture.controller->confirmShutdown(1, 0);

    Q_EMIT fixture.manager->requestSNAppReadyToClose(id, 0);
    Q_EMIT fixture.manager->requestSNAppReadyToClose(id, 0);
    fixture.settle();
    const QList<QVariantList> answers = fixture.manager->calls("onSNAppReadyToClose");
    QCOMPARE(answers.size(), states.size());
    for (int i = 0; i < answers.size(); ++i)
        QCOMPARE(answers.at(i), QVariantList({ ownId, true, states.at(i) }));
}

void TestTwitterCoreObject::closeDownLater_data()
{
    QTest::addColumn<bool>("shownAgain");
    QTest::newRow("left alone") << false;
    QTest::newRow("shown again") << true;
}

void TestTwitterCoreObject::closeDownLater()
{
    QFETCH(bool, shownAgain);

    ControllerFixture fixture;
    fixture.controller->setCloseDownDelay(50);
    fixture.controller->startCloseDownLater(0);
    if (shownAgain)
        QVERIFY(
            QMetaObject::invokeMethod(fixture.controller, "onShowEvent", Q_ARG(unsigned long, 0)));
    if (shownAgain) {
        QTest::qWait(400);
        QVERIFY(fixture.host->calls("onAppRequest").isEmpty());
    } else {
        QTRY_COMPARE(fixture.host->calls("onAppRequest").size(), 1);
        // Several times the delay: a timer that fired again would show.
        QTest::qWait(200);
        QCOMPARE(fixture.host->calls("onAppRequest"),
            QList<QVariantList> { QVariantList({ ownId, QVariant::fromValue(4ul) }) });
    }
    QCOMPARE(fixture.host->calls("onStartMinimize"), QList<QVariantList> { QVariantList { true } });
    if (shownAgain)
        return;
    Q_EMIT fixture.manager->requestSNAppReadyToClose(ownId, 0);
    fixture.settle();
    QCOMPARE(
        fixture.manager->calls("onSNAppReadyToClose").value(0).value(2), QVariant::fromValue(0ul));
}

void TestTwitterCoreObject::productCloseDownDelay()
{
    ControllerFixture fixture;
    fixture.controller->startCloseDownLater(0);
    const QList<QTimer *> timers
        = fixture.controller->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QVERIFY(timers.first()->isActive());
    QCOMPARE(timers.first()->interval(), 20000);
}

void TestTwitterCoreObject::shutdownAndAuthorize_data()
{
    QTest::addColumn<bool>("authorize");
    QTest::addColumn<bool>("handingOver");
    QTest::addColumn<int>("response");
    QTest::addColumn<unsigned long>("askedFlags");
    QTest::addColumn<bool>("agree");
    QTest::addColumn<unsigned long>("answerFlags");

    for (bool authorize : { false, true }) {
        const char *kind = authorize ? "authorize" : "shutdown";
        QTest::addRow("%s, response 1", kind)
            << authorize << false << 1 << 0x10ul << true << 0x16ul;
        QTest::addRow("%s, response 2", kind)
            << authorize << false << 2 << 0x10ul << true << 0x10ul;
        QTest::addRow("%s, response 3", kind)
            << authorize << false << 3 << 0x10ul << false << 0x10ul;
        QTest::addRow("%s, response 0", kind)
            << authorize << false << 0 << 0x10ul << false << 0x10ul;
        QTest::addRow("%s during hand-over, response 1", kind)
            << authorize << true << 1 << 0x12ul << true << 0x16ul;
        QTest::addRow("%s during hand-over, response 2", kind)
            << authorize << true << 2 << 0x12ul << true << 0x12ul;
    }
}

void TestTwitterCoreObject::shutdownAndAuthorize()
{
    QFETCH(bool, authorize);
    QFETCH(bool, handingOver);
    QFETCH(int, response);
    QFETCH(unsigned long, askedFlags);
    QFETCH(bool, agree);
    QFETCH(unsigned long, answerFlags);

    ControllerFixture fixture;
    if (handingOver)
        fixture.controller->onNextMustUploadClicked(true);
    if (authorize) {
        fixture.controller->onRequestAuthorizeRequestApp(0x10);
        fixture.controller->confirmAuthorize(response, 0);
    } else {
        fixture.controller->onRequestShutdown(0x10);
        fixture.controller->confirmShutdown(response, 0);
    }
    fixture.settle();

    QList<QVariantList> expected;
    if (authorize) {
        expected = { { ownId, true, QVariant::fromValue(askedFlags) },
            { ownId, agree, QVariant::fromValue(answerFlags) } };
        QCOMPARE(fixture.host->calls("onAuthorizeRequestApp"), expected);
        QVERIFY(fixture.host->calls("onVerifyShutdown").isEmpty());
    } else {
        const QVariant widget = QVariant::fromValue(static_cast<void *>(fixture.host.get()));
        expected = { { widget, true, QVariant::fromValue(askedFlags) },
            { widget, agree, QVariant::fromValue(answerFlags) } };
        QCOMPARE(fixture.host->calls("onVerifyShutdown"), expected);
        QVERIFY(fixture.host->calls("onAuthorizeRequestApp").isEmpty());
    }
}

void TestTwitterCoreObject::resume_data()
{
    QTest::addColumn<unsigned long>("flags");
    QTest::addColumn<QVariantList>("resumed");
    QTest::addColumn<QVariantList>("restarted");

    for (unsigned long flag : { 0x2ul, 0x4ul, 0x8ul, 0x400ul })
        QTest::addRow("0x%lx", flag) << flag << ulongs({ 32 }) << QVariantList {};
    QTest::newRow("0x800") << 0x800ul << ulongs({ 64 }) << QVariantList {};
    QTest::newRow("0x802") << 0x802ul << ulongs({ 32 }) << QVariantList {};
    QTest::newRow("0x1") << 0x1ul << QVariantList {} << ulongs({ 0 });
    QTest::newRow("0") << 0ul << QVariantList {} << ulongs({ 0 });
}

void TestTwitterCoreObject::resume()
{
    QFETCH(unsigned long, flags);
    QFETCH(QVariantList, resumed);
    QFETCH(QVariantList, restarted);

    ControllerFixture fixture;
    if (!restarted.isEmpty())
        QTest::ignoreMessage(QtCriticalMsg, "Twitter_core::isLoggedIn() - no credentials");
    QVERIFY(QMetaObject::invokeMethod(fixture.controller, "onResume", Q_ARG(unsigned long, flags)));
    fixture.settle();
    QCOMPARE(fixture.host->firstArguments("onResumeWizard"), resumed);
    QCOMPARE(fixture.host->firstArguments("onStartUploadWizard"), restarted);
    // Without a token nobody was signing in: a failed check stays silent.
    QVERIFY(fixture.host->calls("onShowError").isEmpty());
}

void TestTwitterCoreObject::trayClick()
{
    ControllerFixture fixture;
    fixture.controller->sysTrayClicked(false);
    fixture.settle();
    QVERIFY(fixture.host->calls("onRequestApp").isEmpty());

    fixture.controller->sysTrayClicked(true);
    fixture.settle();
    const QList<QVariantList> requests = fixture.host->calls("onRequestApp");
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.at(0).at(0).toString(), trayId);
    QCOMPARE(requests.at(0).at(2).value<unsigned long>(), 64ul);
    ContentInfo info;
    QVERIFY(xmlToContentInfo(requests.at(0).at(1).toString(), info));
    QCOMPARE(info.applicationId, ownId);
    QVERIFY(info.paths.isEmpty());
}

void TestTwitterCoreObject::cancel()
{
    ControllerFixture fixture;
    QVERIFY(QMetaObject::invokeMethod(fixture.controller, "onCancel", Q_ARG(bool, true)));
    fixture.settle();
    QCOMPARE(fixture.host->names(),
        QStringList({ QStringLiteral("onShowWelcome"), QStringLiteral("onClearWizardPages") }));
    QCOMPARE(fixture.host->firstArguments("onShowWelcome"), ulongs({ 8 }));
}

void TestTwitterCoreObject::infoVariants()
{
    const Selection selection = items({ QStringLiteral("one.mp4") });
    ControllerFixture fixture(selection);
    WizardPage *textPage = fixture.addPage(0);
    WizardPage *imagePage = fixture.addPage(0x200);
    fixture.start();
    Q_EMIT textPage->requestSendInfo(0x9041);
    fixture.settle();

    QCOMPARE(textPage->calls("onSendInfo"),
        (QList<QVariantList> { { QString(), QVariant::fromValue(0x1ul) },
            { QString(), QVariant::fromValue(0x8000ul) },
            { QStringLiteral("remember||0"), QVariant::fromValue(0x1000ul) } }));
    QVERIFY(textPage->calls("onSendInfoImage").isEmpty());

    QVERIFY(imagePage->calls("onSendInfo").isEmpty());
    const QList<QVariantList> images = imagePage->calls("onSendInfoImage");
    QCOMPARE(images.size(), 2);
    QCOMPARE(images.at(0).at(0).toString(), selection.first().first);
    QCOMPARE(images.at(0).at(1).value<QImage>(), selection.first().second);
    QCOMPARE(images.at(0).at(2).value<unsigned long>(), 0x140ul);
    QCOMPARE(images.at(1).at(0).toString(), QString());
    QVERIFY(images.at(1).at(1).value<QImage>().isNull());
    QCOMPARE(images.at(1).at(2).value<unsigned long>(), 0x2140ul);
}

void TestTwitterCoreObject::refusedSelectionSendsNoItems()
{
    ControllerFixture fixture(items({ QStringLiteral("a.jpg") }));
    WizardPage *textPage = fixture.addPage(0);
    WizardPage *imagePage = fixture.addPage(0x200);
    fixture.start();
    Q_EMIT textPage->requestSendInfo(0x40);
    fixture.settle();
    QVERIFY(textPage->names().isEmpty());
    QVERIFY(imagePage->names().isEmpty());
}

void TestTwitterCoreObject::requestedKinds_data()
{
    QTest::addColumn<bool>("handingOver");
    QTest::addColumn<unsigned long>("kinds");
    QTest::addColumn<int>("reportNowOnImages");

    QTest::newRow("short link asked") << false << 0x8ul << 1;
    QTest::newRow("short link asked during hand-over") << true << 0x8ul << 0;
    QTest::newRow("no short link known") << false << 0x10ul << 0;
}

void TestTwitterCoreObject::requestedKinds()
{
    QFETCH(bool, handingOver);
    QFETCH(unsigned long, kinds);
    QFETCH(int, reportNowOnImages);

    ControllerFixture fixture;
    WizardPage *textPage = fixture.addPage(0);
    WizardPage *imagePage = fixture.addPage(0x200);
    if (handingOver)
        fixture.controller->onNextMustUploadClicked(true);
    Q_EMIT textPage->requestSendInfo(kinds);
    fixture.settle();
    QVERIFY(textPage->names().isEmpty());
    QCOMPARE(imagePage->names().size(), reportNowOnImages);
    QCOMPARE(imagePage->texts(0x200).size(), reportNowOnImages);
}

void TestTwitterCoreObject::pendingSignInStep_data()
{
    QTest::addColumn<unsigned long>("pageFlags");
    QTest::addColumn<unsigned long>("reportKinds");
    QTest::addColumn<bool>("signInRuns");

    QTest::newRow("sign-in record") << 0x400ul << 0x1000ul << true;
    QTest::newRow("sign-in record with other kinds") << 0x400ul << 0x9040ul << true;
    QTest::newRow("other kinds only") << 0x400ul << 0x8040ul << false;
    QTest::newRow("page does not report") << 0x0ul << 0x1000ul << false;
    // Report now goes out on the text variant only.
    QTest::newRow("image page") << 0x600ul << 0x1000ul << false;
}

void TestTwitterCoreObject::pendingSignInStep()
{
    QFETCH(unsigned long, pageFlags);
    QFETCH(unsigned long, reportKinds);
    QFETCH(bool, signInRuns);

    ControllerFixture fixture;
    WizardPage *page = fixture.addPage(pageFlags);
    page->reports = { { QStringLiteral("author||me<>password||pw<>remember||0"), reportKinds } };
    QVERIFY(QMetaObject::invokeMethod(fixture.controller, "onLoginNext", Q_ARG(bool, true)));
    if (signInRuns) {
        // Nothing listens at the service address: the attempt ends without an answer.
        QTRY_COMPARE(fixture.host->firstArguments("onShowError"), ulongs({ 1024 }));
        QVERIFY(!fixture.controller->getUserErrorMsg().isEmpty());
    } else {
        QTest::qWait(300);
        QVERIFY(fixture.host->calls("onShowError").isEmpty());
    }
}

void TestTwitterCoreObject::noErrorReadsErrorCode_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("noError");

    QTest::newRow("no code") << QStringLiteral("<r><x>1</x></r>") << true;
    QTest::newRow("empty code") << QStringLiteral("<r><error_code/><error_msg>m</error_msg></r>")
                                << true;
    QTest::newRow("code") << QStringLiteral("<r><error_code>17</error_code></r>") << false;
    QTest::newRow("code deeper down")
        << QStringLiteral("<r><a><error_code>17</error_code></a></r>") << true;
}

void TestTwitterCoreObject::noErrorReadsErrorCode()
{
    QFETCH(QString, xml);
    QFETCH(bool, noError);

    ControllerFixture fixture;
    QDomDocument document;
    QVERIFY(document.setContent(xml));
    QCOMPARE(fixture.controller->NoError(document), noError);
}

QTEST_MAIN(TestTwitterCoreObject)
#include "tst_twittercoreobject.moc"
