#include "apiroutes.h"

#include "passwordhash.h"
#include "randomtext.h"
#include "servicestore.h"
#include "statusrules.h"
#include "xmlreplies.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

namespace {

const QString AccessTokenPath = QStringLiteral("/oauth/access_token");
const QString ShowUserPath = QStringLiteral("/1/users/show.xml");
const QString UpdatePath = QStringLiteral("/1/statuses/update.xml");

ServiceReply wrongMethod(const IncomingRequest &request)
{
    return ServiceReply::error(
        405, request.path, QStringLiteral("This method requires a different HTTP method."));
}

bool parseId(const QByteArray &text, qint64 *id)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    if (!digits.match(QString::fromLatin1(text)).hasMatch())
        return false;
    *id = text.toLongLong();
    return true;
}

} // namespace

ApiRoutes::ApiRoutes(const ServiceContext &context)
    : m_context(context)
{ }

std::optional<ServiceReply> ApiRoutes::handle(const IncomingRequest &request) const
{
    static const QRegularExpression showStatusPath(
        QStringLiteral("^/1/statuses/show/([^/]+)\\.xml$"));
    if (request.path == AccessTokenPath)
        return request.method == "POST" ? accessToken(request) : wrongMethod(request);
    if (request.path == ShowUserPath)
        return request.method == "GET" ? showUser(request) : wrongMethod(request);
    if (request.path == UpdatePath)
        return request.method == "POST" ? updateStatus(request) : wrongMethod(request);
    const auto match = showStatusPath.match(request.path);
    if (match.hasMatch())
        return request.method == "GET" ? showStatus(request, match.captured(1))
                                       : wrongMethod(request);
    return std::nullopt;
}

std::optional<ServiceReply> ApiRoutes::authenticate(
    const ServiceContext &context, const IncomingRequest &request, OAuthVerifier::Outcome *outcome)
{
    *outcome = context.verifier->verify(
        request.oauthRequest(), OAuthVerifier::Token::Required, QDateTime::currentSecsSinceEpoch());
    if (!outcome->ok)
        return ServiceReply::error(401, request.path, outcome->error);
    return std::nullopt;
}

ServiceReply ApiRoutes::accessToken(const IncomingRequest &request) const
{
    const auto outcome = m_context.verifier->verify(
        request.oauthRequest(), OAuthVerifier::Token::Optional, QDateTime::currentSecsSinceEpoch());
    if (!outcome.ok)
        return ServiceReply::error(401, request.path, outcome.error);
    if (formValue(request.form, "x_auth_mode") != QByteArray("client_auth"))
        return ServiceReply::error(400, request.path, QStringLiteral("Unsupported x_auth_mode"));
    const auto name = strictUtf8(formValue(request.form, "x_auth_username").value_or(QByteArray()));
    const auto password
        = strictUtf8(formValue(request.form, "x_auth_password").value_or(QByteArray()));
    if (!name || !password || name->isEmpty())
        return ServiceReply::error(
            401, request.path, QStringLiteral("Invalid user name or password"));
    return withPasswordChecked(m_context, *name, *password,
        [context = m_context, path = request.path](const std::optional<StoredUser> &user) {
            return user
                ? grantAccess(context, path, *user)
                : ServiceReply::error(401, path, QStringLiteral("Invalid user name or password"));
        });
}

ServiceReply ApiRoutes::withPasswordChecked(const ServiceContext &context, const QString &name,
    const QString &password, std::function<ServiceReply(const std::optional<StoredUser> &)> then)
{
    // As much work for a name without an account as for a wrong password, so
    // the answer's timing does not tell which names exist. Hashed on the pool:
    // it takes milliseconds, in which other clients are served.
    const auto found = context.store->credentials(name);
    static const QByteArray noSalt(16, '\0');
    auto hash = std::make_shared<QByteArray>();
    const QFuture<void> hashed
        = QtConcurrent::run(context.pool, [hash, password, salt = found ? found->salt : noSalt] {
              *hash = passwordHash(password, salt);
          });
    return ServiceReply::later(hashed, [found, hash, then = std::move(then)] {
        return then(found && samePasswordHash(*hash, found->passwordHash)
                ? std::optional<StoredUser>(found->user)
                : std::nullopt);
    });
}

ServiceReply ApiRoutes::grantAccess(
    const ServiceContext &context, const QString &path, const StoredUser &user)
{
    const StoredToken token { randomText(8, DigitAlphabet) + QLatin1Char('-')
            + randomText(41, AlphanumericAlphabet),
        randomText(42, AlphanumericAlphabet), user.id };
    if (!context.store->addToken(token))
        return ServiceReply::error(500, path, QStringLiteral("Could not store the token"));
    ServiceReply reply = ServiceReply::plain(formEncode({
        { "oauth_token", token.token.toUtf8() },
        { "oauth_token_secret", token.secret.toUtf8() },
        { "user_id", QByteArray::number(user.id) },
        { "screen_name", user.screenName.toUtf8() },
    }));
    reply.contentType = "application/x-www-form-urlencoded";
    return reply;
}

ServiceReply ApiRoutes::showUser(const IncomingRequest &request) const
{
    const auto idText = formValue(request.query, "user_id");
    qint64 id = 0;
    if (!idText)
        return ServiceReply::error(400, request.path, QStringLiteral("Missing user_id"));
    if (!parseId(*idText, &id))
        return ServiceReply::error(400, request.path, QStringLiteral("Invalid user_id"));
    OAuthVerifier::Outcome outcome;
    if (auto refused = authenticate(m_context, request, &outcome))
        return *refused;
    const auto user = m_context.store->user(id);
    if (!user)
        return ServiceReply::error(404, request.path, QStringLiteral("User not found"));
    return ServiceReply::xml(userDocument(*user, m_context.baseUrl));
}

ServiceReply ApiRoutes::updateStatus(const IncomingRequest &request) const
{
    // Undecodable text is refused before anything else looks at it.
    const auto raw = formValue(request.form, "status");
    const auto decoded = strictUtf8(raw.value_or(QByteArray()));
    if (!decoded)
        return ServiceReply::error(400, request.path, QStringLiteral("Status is not valid UTF-8."));
    OAuthVerifier::Outcome outcome;
    if (auto refused = authenticate(m_context, request, &outcome))
        return *refused;
    if (!raw)
        return ServiceReply::error(403, request.path, QStringLiteral("Missing status."));
    const QString text = decoded->trimmed();
    if (hasForbiddenControl(text))
        return ServiceReply::error(
            400, request.path, QStringLiteral("Status holds characters that are not allowed."));
    if (text.isEmpty())
        return ServiceReply::error(403, request.path, QStringLiteral("Status is empty."));
    if (text.toUtf8().size() > MaxStatusBytes)
        return ServiceReply::error(403, request.path, QStringLiteral("Status is too long."));
    if (statusLength(text) > MaxStatusLength)
        return ServiceReply::error(
            403, request.path, QStringLiteral("Status is over 280 characters."));
    const qint64 userId = outcome.token->userId;
    const auto previous = m_context.store->lastStatusOf(userId);
    if (previous && previous->text == text)
        return ServiceReply::error(403, request.path, QStringLiteral("Status is a duplicate."));
    const auto status = m_context.store->addStatus(userId, text);
    if (!status)
        return ServiceReply::error(500, request.path, QStringLiteral("Could not store the status"));
    return ServiceReply::xml(statusDocument(*status, m_context.baseUrl));
}

ServiceReply ApiRoutes::showStatus(const IncomingRequest &request, const QString &idText) const
{
    OAuthVerifier::Outcome outcome;
    if (auto refused = authenticate(m_context, request, &outcome))
        return *refused;
    qint64 id = 0;
    const auto status
        = parseId(idText.toLatin1(), &id) ? m_context.store->status(id) : std::nullopt;
    if (!status)
        return ServiceReply::error(
            404, request.path, QStringLiteral("No status found with that ID."));
    return ServiceReply::xml(statusDocument(*status, m_context.baseUrl));
}
