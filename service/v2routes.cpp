#include "v2routes.h"

#include "servicestore.h"
#include "statusrules.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

const QString ProblemBase = QStringLiteral("https://api.x.com/2/problems/");
const QString TooLong = QStringLiteral("Your Tweet text is too long. For more information on how "
                                       "Twitter determines text length see "
                                       "https://github.com/twitter/twitter-text.");

ServiceReply json(int status, const QJsonObject &object)
{
    ServiceReply reply = ServiceReply::plain(QJsonDocument(object).toJson(QJsonDocument::Compact));
    reply.status = status;
    reply.contentType = "application/json; charset=utf-8";
    return reply;
}

ServiceReply problem(int status, const QString &title, const QString &detail,
    const QString &type = QStringLiteral("about:blank"), const QJsonArray &errors = {})
{
    QJsonObject object { { "title", title }, { "detail", detail }, { "type", type },
        { "status", status } };
    if (!errors.isEmpty())
        object.insert(QStringLiteral("errors"), errors);
    return json(status, object);
}

ServiceReply invalidRequest(const QString &message)
{
    return problem(400, QStringLiteral("Invalid Request"),
        QStringLiteral("One or more parameters to your request was invalid."),
        ProblemBase + QStringLiteral("invalid-request"),
        { QJsonObject { { "message", message } } });
}

// The comma-separated names of a fields or expansions parameter.
QStringList requested(const IncomingRequest &request, const QByteArray &parameter)
{
    const auto value = strictUtf8(formValue(request.query, parameter).value_or(QByteArray()));
    return value.value_or(QString()).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

QJsonObject userObject(const StoredUser &user, const QStringList &fields, const QString &baseUrl)
{
    QJsonObject object { { "id", QString::number(user.id) }, { "name", user.name },
        { "username", user.screenName } };
    const QList<QPair<QString, QJsonValue>> optional {
        { "description", QString() },
        { "location", QString() },
        { "profile_image_url", QString(baseUrl + QStringLiteral("/images/default_profile.png")) },
        { "protected", false },
        { "url", QString(baseUrl + QStringLiteral("/home")) },
    };
    for (const auto &[name, value] : optional) {
        if (fields.contains(name))
            object.insert(name, value);
    }
    return object;
}

std::optional<ServiceReply> checkText(const QString &text)
{
    if (!text.isValidUtf16() || hasForbiddenControl(text))
        return invalidRequest(QStringLiteral("Tweet text holds characters that are not allowed."));
    if (text.isEmpty())
        return invalidRequest(QStringLiteral("Tweet text is empty."));
    if (text.toUtf8().size() > MaxStatusBytes || weightedStatusLength(text) > MaxStatusLength)
        return invalidRequest(TooLong);
    return std::nullopt;
}

} // namespace

V2Routes::V2Routes(const ServiceContext &context, int rateLimit)
    : m_context(context)
    , m_limiter(rateLimit)
{ }

std::optional<ServiceReply> V2Routes::handle(const IncomingRequest &request)
{
    static const QRegularExpression tweetPath(QStringLiteral("^/2/tweets/([^/]+)$"));
    if (!request.path.startsWith(QLatin1String("/2/")))
        return std::nullopt;
    const auto match = tweetPath.match(request.path);
    QByteArray method = "GET";
    QString resource;
    if (request.path == QLatin1String("/2/users/me")) {
        resource = QStringLiteral("users/me");
    } else if (request.path == QLatin1String("/2/tweets")) {
        method = "POST";
        resource = QStringLiteral("tweets");
    } else if (match.hasMatch()) {
        resource = QStringLiteral("tweets/:id");
    } else {
        return problem(
            404, QStringLiteral("Not Found"), QStringLiteral("Sorry, that page does not exist."));
    }
    if (request.method != method)
        return problem(405, QStringLiteral("Method Not Allowed"),
            QStringLiteral("This resource takes %1 requests.").arg(QLatin1String(method)));

    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const auto outcome
        = m_context.verifier->verify(request.oauthRequest(), OAuthVerifier::Token::Required, now);
    if (!outcome.ok)
        return problem(401, QStringLiteral("Unauthorized"), outcome.error);
    const qint64 userId = outcome.token->userId;
    const RateLimiter::State limit = m_limiter.take(userId, resource, now);
    ServiceReply reply = !limit.allowed
        ? problem(429, QStringLiteral("Too Many Requests"), QStringLiteral("Too Many Requests"),
            QStringLiteral("about:blank"),
            { QJsonObject { { "code", 88 }, { "message", "Rate limit exceeded" } } })
        : resource == QLatin1String("users/me") ? me(request, userId)
        : resource == QLatin1String("tweets")   ? createTweet(request, userId)
                                                : showTweet(request, match.captured(1));
    reply.headers.append({ "x-rate-limit-limit", QByteArray::number(limit.limit) });
    reply.headers.append({ "x-rate-limit-remaining", QByteArray::number(limit.remaining) });
    reply.headers.append({ "x-rate-limit-reset", QByteArray::number(limit.reset) });
    return reply;
}

ServiceReply V2Routes::me(const IncomingRequest &request, qint64 userId) const
{
    const auto user = m_context.store->user(userId);
    if (!user)
        return problem(401, QStringLiteral("Unauthorized"), QStringLiteral("Unknown user"));
    return json(200,
        { { "data", userObject(*user, requested(request, "user.fields"), m_context.baseUrl) } });
}

ServiceReply V2Routes::createTweet(const IncomingRequest &request, qint64 userId) const
{
    // The body is not form-encoded, so it is not part of the signature.
    const QByteArray type = request.header("content-type").split(';').first().trimmed().toLower();
    if (type != "application/json")
        return invalidRequest(QStringLiteral("The request body must be application/json."));
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return invalidRequest(QStringLiteral("The request body is not a valid JSON object."));
    const QJsonObject body = document.object();
    for (auto it = body.begin(); it != body.end(); ++it) {
        // Accepting and dropping a field would post something other than asked for.
        if (it.key() != QLatin1String("text"))
            return invalidRequest(
                QStringLiteral("The field [%1] is not supported by this service.").arg(it.key()));
    }
    if (!body.value(QLatin1String("text")).isString())
        return invalidRequest(QStringLiteral("The field [text] is required and must be a string."));
    const QString text = body.value(QLatin1String("text")).toString().trimmed();
    if (const auto refused = checkText(text))
        return *refused;
    const auto previous = m_context.store->lastStatusOf(userId);
    if (previous && previous->text == text)
        return problem(403, QStringLiteral("Forbidden"),
            QStringLiteral("You are not allowed to create a Tweet with duplicate content."));
    const auto status = m_context.store->addStatus(userId, text);
    if (!status)
        return problem(500, QStringLiteral("Internal Server Error"),
            QStringLiteral("Could not store the Tweet."));
    return json(201,
        { { "data", QJsonObject { { "id", QString::number(status->id) }, { "text", text } } } });
}

ServiceReply V2Routes::showTweet(const IncomingRequest &request, const QString &id) const
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    if (!digits.match(id).hasMatch())
        return invalidRequest(
            QStringLiteral("The `id` query parameter value [%1] is not valid")
                .arg(QString::fromUtf8(QByteArray::fromPercentEncoding(id.toUtf8()))));
    const auto status = m_context.store->status(id.toLongLong());
    // A tweet that is not there is a partial error of a good request.
    if (!status)
        return json(200,
            { { "errors",
                QJsonArray { QJsonObject { { "value", id },
                    { "detail", QStringLiteral("Could not find tweet with id: [%1].").arg(id) },
                    { "title", "Not Found Error" }, { "resource_type", "tweet" },
                    { "parameter", "id" }, { "resource_id", id },
                    { "type",
                        QString(ProblemBase + QStringLiteral("resource-not-found")) } } } } });
    const QStringList fields = requested(request, "tweet.fields");
    QJsonObject tweet { { "id", id }, { "text", status->text },
        { "edit_history_tweet_ids", QJsonArray { id } } };
    if (fields.contains(QLatin1String("author_id")))
        tweet.insert(QStringLiteral("author_id"), QString::number(status->user.id));
    if (fields.contains(QLatin1String("created_at")))
        tweet.insert(
            QStringLiteral("created_at"), status->createdAt.toUTC().toString(Qt::ISODateWithMs));
    QJsonObject document { { "data", tweet } };
    if (requested(request, "expansions").contains(QLatin1String("author_id")))
        document.insert(QStringLiteral("includes"),
            QJsonObject { { "users",
                QJsonArray { userObject(
                    status->user, requested(request, "user.fields"), m_context.baseUrl) } } });
    return json(200, document);
}
