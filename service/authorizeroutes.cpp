#include "authorizeroutes.h"

#include "apiroutes.h"
#include "authorizationheader.h"
#include "pageroutes.h"
#include "servicestore.h"

#include <QDateTime>

namespace {

const QString RequestTokenPath = QStringLiteral("/oauth/request_token");
const QString AuthorizePath = QStringLiteral("/oauth/authorize");
const QString AccessTokenPath = QStringLiteral("/oauth/access_token");

// A signed parameter: from the Authorization header, else the query or form.
std::optional<QByteArray> oauthParam(const IncomingRequest &request, const QByteArray &name)
{
    const auto header = parseAuthorizationHeader(request.header("authorization"));
    if (const auto value = formValue(header.value_or(FormParams()), name))
        return value;
    return formValue(request.query + request.form, name);
}

// Pages holding a password form: never framed by another site, never cached.
ServiceReply htmlPage(int status, const QString &title, const QString &content)
{
    ServiceReply reply = ServiceReply::html(PageRoutes::page(title, content));
    reply.status = status;
    reply.headers = { { "X-Frame-Options", "DENY" },
        { "Content-Security-Policy", "frame-ancestors 'none'" }, { "Cache-Control", "no-store" } };
    return reply;
}

ServiceReply stalePage()
{
    return htmlPage(404, QStringLiteral("Sign-in request not found"),
        QStringLiteral("<p>This sign-in request is unknown, was already used or has expired. "
                       "Start the sign-in again from the application.</p>"));
}

ServiceReply pinPage(const QString &pin)
{
    return htmlPage(200, QStringLiteral("Application authorized"),
        QStringLiteral("<p>Go back to the application and enter this PIN to complete the "
                       "sign-in:</p>\n<div id=\"oauth_pin\"><kbd><code>%1</code></kbd></div>\n"
                       "<p class=\"meta\">The PIN works once, for %2 minutes.</p>")
            .arg(pin.toHtmlEscaped())
            .arg(RequestTokens::Lifetime / 60));
}

ServiceReply formPage(int status, const QString &token, const QString &name, const QString &notice)
{
    const QString warning = notice.isEmpty()
        ? QString()
        : QStringLiteral("<p><strong>%1</strong></p>\n").arg(notice.toHtmlEscaped());
    return htmlPage(status, QStringLiteral("Authorize the application"),
        warning
            + QStringLiteral(
                "<p>An application asks to use your account on this service: to read your "
                "profile and post statuses in your name.</p>\n"
                "<form method=\"post\" action=\"/oauth/authorize\">"
                "<input type=\"hidden\" name=\"oauth_token\" value=\"%1\">\n"
                "<p><label>User name <input name=\"username\" value=\"%2\" "
                "autocomplete=\"username\" required></label></p>\n"
                "<p><label>Password <input type=\"password\" name=\"password\" "
                "autocomplete=\"current-password\" required></label></p>\n"
                "<p><button type=\"submit\" name=\"authorize\" value=\"1\">Authorize app</button> "
                "<button type=\"submit\" name=\"cancel\" value=\"1\" formnovalidate>Cancel</button>"
                "</p></form>")
                  .arg(token.toHtmlEscaped(), name.toHtmlEscaped()));
}

} // namespace

AuthorizeRoutes::AuthorizeRoutes(const ServiceContext &context)
    : m_context(context)
{ }

std::optional<ServiceReply> AuthorizeRoutes::handle(const IncomingRequest &request)
{
    if (request.path == RequestTokenPath) {
        if (request.method == "POST")
            return requestToken(request);
        return ServiceReply::error(
            405, request.path, QStringLiteral("This method requires a different HTTP method."));
    }
    if (request.path == AuthorizePath && request.method == "GET")
        return authorizePage(request);
    if (request.path == AuthorizePath && request.method == "POST")
        return approve(request);
    // Without a verifier it is the xAuth exchange.
    if (request.path == AccessTokenPath && request.method == "POST") {
        if (const auto verifier = oauthParam(request, "oauth_verifier"))
            return accessToken(request, *verifier);
    }
    return std::nullopt;
}

ServiceReply AuthorizeRoutes::requestToken(const IncomingRequest &request)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const auto outcome
        = m_context.verifier->verify(request.oauthRequest(), OAuthVerifier::Token::Optional, now);
    if (!outcome.ok)
        return ServiceReply::error(401, request.path, outcome.error);
    if (outcome.token)
        return ServiceReply::error(
            401, request.path, QStringLiteral("Request tokens are asked for without a token"));
    const auto callback = oauthParam(request, "oauth_callback");
    if (!callback)
        return ServiceReply::error(400, request.path, QStringLiteral("Missing oauth_callback"));
    // No callback addresses are registered here, so there is nowhere else to send the user.
    if (*callback != "oob")
        return ServiceReply::error(401, request.path,
            QStringLiteral("Desktop applications only support the oauth_callback value 'oob'"));
    const auto consumer = oauthParam(request, "oauth_consumer_key").value_or(QByteArray());
    const RequestTokens::Entry entry = m_tokens.issue(QString::fromUtf8(consumer), now);
    ServiceReply reply = ServiceReply::plain(formEncode({
        { "oauth_token", entry.token.toUtf8() },
        { "oauth_token_secret", entry.secret.toUtf8() },
        { "oauth_callback_confirmed", "true" },
    }));
    reply.contentType = "application/x-www-form-urlencoded";
    return reply;
}

ServiceReply AuthorizeRoutes::authorizePage(const IncomingRequest &request)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString token = QString::fromUtf8(formValue(request.query, "oauth_token").value_or(""));
    if (!m_tokens.find(token, now))
        return stalePage();
    if (m_autoApprover) {
        const auto pin = m_tokens.approve(token, m_autoApprover->id, now);
        return pin ? pinPage(*pin) : stalePage();
    }
    const auto name = strictUtf8(formValue(request.query, "screen_name").value_or(""));
    return formPage(200, token, name.value_or(QString()), QString());
}

ServiceReply AuthorizeRoutes::approve(const IncomingRequest &request)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString token = QString::fromUtf8(formValue(request.form, "oauth_token").value_or(""));
    if (!m_tokens.find(token, now))
        return stalePage();
    if (formValue(request.form, "cancel")) {
        m_tokens.remove(token);
        return htmlPage(200, QStringLiteral("Application not authorized"),
            QStringLiteral("<p>You did not authorize the application. You may close this "
                           "page.</p>"));
    }
    const auto name = strictUtf8(formValue(request.form, "username").value_or(""));
    const auto password = strictUtf8(formValue(request.form, "password").value_or(""));
    if (!name || !password || name->isEmpty())
        return formPage(
            401, token, name.value_or(QString()), QStringLiteral("Invalid user name or password"));
    return ApiRoutes::withPasswordChecked(m_context, *name, *password,
        [this, token, name = *name](const std::optional<StoredUser> &user) {
            if (!user)
                return formPage(401, token, name, QStringLiteral("Invalid user name or password"));
            const auto pin = m_tokens.approve(token, user->id, QDateTime::currentSecsSinceEpoch());
            return pin ? pinPage(*pin) : stalePage();
        });
}

ServiceReply AuthorizeRoutes::accessToken(
    const IncomingRequest &request, const QByteArray &verifier)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString consumer
        = QString::fromUtf8(oauthParam(request, "oauth_consumer_key").value_or(QByteArray()));
    const auto outcome
        = m_context.verifier->verify(request.oauthRequest(), OAuthVerifier::Token::Request, now,
            [&](const QString &token) -> std::optional<StoredToken> {
                const auto entry = m_tokens.find(token, now);
                if (!entry || entry->consumerKey != consumer)
                    return std::nullopt;
                return StoredToken { entry->token, entry->secret, entry->userId };
            });
    if (!outcome.ok)
        return ServiceReply::error(401, request.path, outcome.error);
    const auto userId = m_tokens.redeem(outcome.token->token, QString::fromUtf8(verifier), now);
    const auto user = userId ? m_context.store->user(*userId) : std::nullopt;
    if (!user)
        return ServiceReply::error(
            401, request.path, QStringLiteral("Invalid oauth_verifier parameter"));
    return ApiRoutes::grantAccess(m_context, request.path, *user);
}
