#include "videouploadapplet.h"

#include "hostlogging.h"

#include "badges/badger.h"
#include "catalog/contentinfo.h"
#include "controller/hostcontract.h"
#include "twitter/httptransport.h"
#include "twitter/signature.h"
#include "twitter/signedrequest.h"
#include "twitter/twittersettings.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QNetworkReply>
#include <QTimer>

using namespace HostContract;

namespace {
const QString uploadPath = QStringLiteral("/upload");
// The answer is one link; anything longer is not one.
constexpr qint64 maxAnswerSize = 4096;
// Progress reports to the plug-in, at most one per step of this many percent.
constexpr int reportStepPercent = 10;
} // namespace

VideoUploadApplet::VideoUploadApplet(QObject *parent)
    : QObject(parent)
    , m_transport(new HttpTransport(this))
{ }

VideoUploadApplet::~VideoUploadApplet()
{
    if (m_reply)
        m_reply->abort();
}

void VideoUploadApplet::start(const QString &data)
{
    ContentInfo info;
    if (!xmlToContentInfo(data, info) || info.paths.isEmpty()) {
        // Reported from the event loop, as every other outcome.
        QTimer::singleShot(0, this, [this] { fail(tr("The upload request names no video.")); });
        return;
    }
    m_path = info.paths.first();
    Q_EMIT started(m_path);

    // Sent from the file as the upload goes, never held in memory whole.
    auto *file = new QFile(m_path, this);
    if (!file->open(QIODevice::ReadOnly)) {
        const QString reason = file->errorString();
        delete file;
        QTimer::singleShot(
            0, this, [this, reason] { fail(tr("The video cannot be read: %1").arg(reason)); });
        return;
    }
    Signature signer;
    if (!startTokenSignature(signer)) {
        delete file;
        QTimer::singleShot(
            0, this, [this] { fail(tr("Nobody is signed in to upload the video.")); });
        return;
    }
    // An x flavour token belongs to the application's own consumer pair.
    if (TwitterSettings::xFlavor()) {
        signer.oauth_consumer_key = TwitterSettings::consumerKey();
        signer.oauth_consumer_secret = TwitterSettings::consumerSecret();
        signer.setupOAuthParams();
    }
    const QUrl url = TwitterSettings::endpoint(TwitterSettings::apiUrl(), uploadPath);
    signer.http_method = QStringLiteral("POST");
    signer.urlString = url.toString(QUrl::FullyEncoded);
    if (!signer.createSignature(0)) {
        delete file;
        QTimer::singleShot(0, this, [this] { fail(tr("The upload request cannot be signed.")); });
        return;
    }
    const QString fileName = QFileInfo(m_path).fileName();
    HttpTransport::Request request;
    request.url = url;
    request.contentType
        = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name().toUtf8();
    request.bodyDevice = file;
    request.headers.append({ QByteArrayLiteral("X-File-Name"), QUrl::toPercentEncoding(fileName) });
    m_reply = sendSigned(*m_transport, signer, request);
    file->setParent(m_reply);
    connect(m_reply, &QNetworkReply::uploadProgress, this, &VideoUploadApplet::onUploadProgress);
    connect(m_reply, &QNetworkReply::finished, this, &VideoUploadApplet::onReplyFinished,
        Qt::QueuedConnection);
}

void VideoUploadApplet::close()
{
    if (m_reply && !m_over)
        m_reply->abort();
}

void VideoUploadApplet::onUploadProgress(qint64 sent, qint64 total)
{
    if (m_over || total <= 0)
        return;
    Q_EMIT progress(sent, total);
    const int step = int(sent * 100 / total) / reportStepPercent;
    if (step == m_reportedStep)
        return;
    m_reportedStep = step;
    Q_EMIT uploadStatus(videoUploadAppId(), true, m_path, QString(), OnUploadStatus::UnderWay);
}

void VideoUploadApplet::onReplyFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply || m_over)
        return;
    reply->deleteLater();
    const int status = HttpTransport::answeredStatus(reply);
    if (status == 0) {
        fail(tr("The upload did not get through: %1").arg(HttpTransport::failureReason(reply)));
        return;
    }
    const QByteArray answer = HttpTransport::body(reply);
    if (status != 200) {
        fail(tr("The service refused the upload (HTTP %1).").arg(status));
        return;
    }
    const QUrl link(QString::fromUtf8(answer).trimmed(), QUrl::StrictMode);
    if (answer.size() > maxAnswerSize || !link.isValid()
        || (link.scheme() != QLatin1String("http") && link.scheme() != QLatin1String("https"))) {
        fail(tr("The service answered the upload with no link."));
        return;
    }
    const QString linkText = link.toString(QUrl::FullyEncoded);
    Badger badger;
    if (!badger.badgeContent(videoUploadAppId(), linkText, m_path, 0)) {
        fail(tr("The video's link could not be recorded with the file."));
        return;
    }
    m_over = true;
    qCDebug(lcHost, "VideoUploadApplet::onReplyFinished() - uploaded %s", qUtf8Printable(m_path));
    const qint64 size = QFileInfo(m_path).size();
    Q_EMIT progress(size, size);
    Q_EMIT finished(linkText);
    Q_EMIT uploadStatus(videoUploadAppId(), true, m_path, linkText, OnUploadStatus::Finished);
    Q_EMIT closed(videoUploadAppId(), OnAppClosed::WithResult | OnAppClosed::InHandOver);
}

void VideoUploadApplet::fail(const QString &reason)
{
    if (m_over)
        return;
    m_over = true;
    qCWarning(lcHost, "VideoUploadApplet::fail() - %s", qUtf8Printable(reason));
    Q_EMIT failed(reason);
    Q_EMIT uploadStatus(videoUploadAppId(), false, m_path, QString(), 0);
    Q_EMIT closed(videoUploadAppId(), OnAppClosed::InHandOver);
}
