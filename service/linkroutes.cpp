#include "linkroutes.h"

#include "apiroutes.h"
#include "randomtext.h"
#include "servicestore.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

namespace {

const QString ShortenPath = QStringLiteral("/api-create.php");
const QString UploadPath = QStringLiteral("/upload");
const QString ProfileImagePath = QStringLiteral("/images/default_profile.png");
constexpr qsizetype MaxLinkLength = 4096;

ServiceReply notFound(const IncomingRequest &request)
{
    return ServiceReply::error(404, request.path, QStringLiteral("Not found"));
}

bool isWebLink(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}

QByteArray uploadType(const IncomingRequest &request, const QString &fileName)
{
    const QByteArray given = request.header("content-type").split(';').first().trimmed();
    if (given.startsWith("video/"))
        return given;
    return QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name().toUtf8();
}

} // namespace

LinkRoutes::LinkRoutes(const ServiceContext &context)
    : m_context(context)
{ }

std::optional<ServiceReply> LinkRoutes::handle(const IncomingRequest &request) const
{
    static const QRegularExpression shortPath(QStringLiteral("^/s/([A-Za-z0-9]{1,32})$"));
    static const QRegularExpression videoPath(QStringLiteral("^/v/([A-Za-z0-9]{1,32})$"));
    const bool get = request.method == "GET";
    if (request.path == ShortenPath && get)
        return shorten(request);
    if (request.path == UploadPath && request.method == "POST")
        return upload(request);
    if (request.path == ProfileImagePath && get)
        return ServiceReply::file(QStringLiteral(":/zpvtwitterd/profile.png"), "image/png");
    if (const auto match = shortPath.match(request.path); match.hasMatch() && get)
        return expand(request, match.captured(1));
    if (const auto match = videoPath.match(request.path); match.hasMatch() && get)
        return video(request, match.captured(1));
    return std::nullopt;
}

ServiceReply LinkRoutes::shorten(const IncomingRequest &request) const
{
    const auto link = strictUtf8(formValue(request.query, "url").value_or(QByteArray()));
    if (!link || link->isEmpty())
        return ServiceReply::error(400, request.path, QStringLiteral("Missing url"));
    if (link->size() > MaxLinkLength || !isWebLink(*link))
        return ServiceReply::error(
            400, request.path, QStringLiteral("The url is not an absolute http or https link"));
    const auto code = m_context.store->shortCode(*link);
    if (!code)
        return ServiceReply::error(500, request.path, QStringLiteral("Could not store the link"));
    return ServiceReply::plain((m_context.baseUrl + QStringLiteral("/s/") + *code).toUtf8());
}

ServiceReply LinkRoutes::expand(const IncomingRequest &request, const QString &code) const
{
    const auto link = m_context.store->link(code);
    if (!link)
        return notFound(request);
    // Encoded form: no raw CR or LF can reach the header.
    return ServiceReply::redirect(QUrl(*link, QUrl::StrictMode).toEncoded());
}

ServiceReply LinkRoutes::upload(const IncomingRequest &request) const
{
    OAuthVerifier::Outcome outcome;
    if (auto refused = ApiRoutes::authenticate(m_context, request, &outcome))
        return *refused;
    const auto name = strictUtf8(QByteArray::fromPercentEncoding(request.header("x-file-name")));
    const QString fileName = name ? QFileInfo(*name).fileName() : QString();
    if (fileName.isEmpty())
        return ServiceReply::error(400, request.path, QStringLiteral("Missing X-File-Name"));
    if (request.body.isEmpty())
        return ServiceReply::error(400, request.path, QStringLiteral("Empty upload"));
    if (request.body.size() > MaxUploadSize)
        return ServiceReply::error(413, request.path, QStringLiteral("Upload too large"));
    const StoredUpload stored { randomText(16, AlphanumericAlphabet), fileName,
        QString::fromUtf8(uploadType(request, fileName)), request.body.size() };
    QSaveFile file(m_context.uploadDir + QLatin1Char('/') + stored.id);
    if (!file.open(QIODevice::WriteOnly) || file.write(request.body) != request.body.size()
        || !file.commit() || !m_context.store->addUpload(stored, outcome.token->userId))
        return ServiceReply::error(500, request.path, QStringLiteral("Could not store the upload"));
    return ServiceReply::plain((m_context.baseUrl + QStringLiteral("/v/") + stored.id).toUtf8());
}

ServiceReply LinkRoutes::video(const IncomingRequest &request, const QString &id) const
{
    const auto stored = m_context.store->upload(id);
    if (!stored)
        return notFound(request);
    return ServiceReply::file(
        m_context.uploadDir + QLatin1Char('/') + stored->id, stored->mimeType.toUtf8());
}
