#include "linkroutes.h"

#include "apiroutes.h"
#include "randomtext.h"
#include "servicestore.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

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

// The only types uploads are taken as and served back as: whatever a client
// declares, a browser is never handed a page or a script from this origin.
struct VideoType
{
    const char *suffix;
    const char *mimeType;
};
constexpr VideoType VideoTypes[] = {
    { "mp4", "video/mp4" },
    { "m4v", "video/mp4" },
    { "mov", "video/quicktime" },
    { "avi", "video/x-msvideo" },
    { "wmv", "video/x-ms-wmv" },
    { "asf", "video/x-ms-asf" },
    { "webm", "video/webm" },
    { "mkv", "video/x-matroska" },
    { "mpg", "video/mpeg" },
    { "mpeg", "video/mpeg" },
    { "3gp", "video/3gpp" },
};

// The table's own text for a type, empty when it is not one of them.
QByteArray acceptedType(const QByteArray &contentType)
{
    const QByteArray given = contentType.split(';').first().trimmed();
    for (const VideoType &type : VideoTypes) {
        if (given.compare(type.mimeType, Qt::CaseInsensitive) == 0)
            return type.mimeType;
    }
    return QByteArray();
}

QByteArray uploadType(const IncomingRequest &request, const QString &fileName)
{
    const QByteArray declared = acceptedType(request.header("content-type"));
    if (!declared.isEmpty())
        return declared;
    const QString suffix = QFileInfo(fileName).suffix();
    for (const VideoType &type : VideoTypes) {
        if (suffix.compare(QLatin1String(type.suffix), Qt::CaseInsensitive) == 0)
            return type.mimeType;
    }
    return QByteArray();
}

QString uploadFileName(const IncomingRequest &request)
{
    const auto name = strictUtf8(QByteArray::fromPercentEncoding(request.header("x-file-name")));
    return name ? QFileInfo(*name).fileName() : QString();
}

QByteArray profileImage()
{
    QFile file(QStringLiteral(":/zpvtwitterd/profile.png"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    if (request.path == ProfileImagePath && get) {
        static const QByteArray image = profileImage();
        ServiceReply reply = ServiceReply::plain(image);
        reply.contentType = "image/png";
        return reply;
    }
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

bool LinkRoutes::isUpload(const IncomingRequest &request)
{
    return request.path == UploadPath && request.method == "POST";
}

std::optional<ServiceReply> LinkRoutes::beginUpload(IncomingRequest &request) const
{
    OAuthVerifier::Outcome outcome;
    if (auto refused = ApiRoutes::authenticate(m_context, request, &outcome))
        return refused;
    request.token = outcome.token;
    const QString fileName = uploadFileName(request);
    if (fileName.isEmpty())
        return ServiceReply::error(400, request.path, QStringLiteral("Missing X-File-Name"));
    if (uploadType(request, fileName).isEmpty())
        return ServiceReply::error(
            415, request.path, QStringLiteral("Only video files can be uploaded"));
    return std::nullopt;
}

ServiceReply LinkRoutes::finishUpload(IncomingRequest &request) const
{
    if (request.bodySize == 0 || request.bodyFile.isEmpty() || !request.token)
        return ServiceReply::error(400, request.path, QStringLiteral("Empty upload"));
    const QString fileName = uploadFileName(request);
    const StoredUpload stored { randomText(16, AlphanumericAlphabet), fileName,
        QString::fromLatin1(uploadType(request, fileName)), request.bodySize };
    const QString target = m_context.uploadDir + QLatin1Char('/') + stored.id;
    // Into place before it is recorded: a crash in between leaves a file
    // without a row, which the next start removes.
    if (::renameat2(AT_FDCWD, QFile::encodeName(request.bodyFile).constData(), AT_FDCWD,
            QFile::encodeName(target).constData(), RENAME_NOREPLACE)
        != 0)
        return ServiceReply::error(500, request.path, QStringLiteral("Could not store the upload"));
    request.bodyFile.clear();
    const int folder = ::open(
        QFile::encodeName(m_context.uploadDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool durable = folder >= 0 && ::fsync(folder) == 0;
    if (folder >= 0)
        ::close(folder);
    if (!durable || !m_context.store->addUpload(stored, request.token->userId)) {
        QFile::remove(target);
        return ServiceReply::error(500, request.path, QStringLiteral("Could not store the upload"));
    }
    return ServiceReply::plain((m_context.baseUrl + QStringLiteral("/v/") + stored.id).toUtf8());
}

ServiceReply LinkRoutes::video(const IncomingRequest &request, const QString &id) const
{
    const auto stored = m_context.store->upload(id);
    if (!stored)
        return notFound(request);
    // Rows of earlier versions may hold any type a client declared.
    const QByteArray type = acceptedType(stored->mimeType.toUtf8());
    ServiceReply reply = ServiceReply::file(m_context.uploadDir + QLatin1Char('/') + stored->id,
        type.isEmpty() ? QByteArray("application/octet-stream") : type);
    reply.headers.append({ "Content-Disposition",
        "attachment; filename*=UTF-8''" + QUrl::toPercentEncoding(stored->fileName) });
    return reply;
}
