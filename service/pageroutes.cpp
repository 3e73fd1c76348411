#include "pageroutes.h"

#include "servicestore.h"
#include "xmlreplies.h"

QString PageRoutes::page(const QString &title, const QString &content)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                          "<title>%1</title><style>body{font-family:sans-serif;max-width:40em;"
                          "margin:2em auto}li{margin:.8em 0}.meta{color:#666;font-size:.9em}"
                          "</style></head><body><h1>%1</h1>\n%2\n<p><a href=\"/home\">Home</a> "
                          "&middot; <a href=\"/signup\">Sign up</a></p></body></html>\n")
        .arg(title.toHtmlEscaped(), content);
}

PageRoutes::PageRoutes(const ServiceContext &context)
    : m_context(context)
{ }

std::optional<ServiceReply> PageRoutes::handle(const IncomingRequest &request) const
{
    if (request.method != "GET")
        return std::nullopt;
    if (request.path == QLatin1String("/") || request.path == QLatin1String("/home"))
        return home();
    if (request.path == QLatin1String("/signup"))
        return signup();
    return std::nullopt;
}

ServiceReply PageRoutes::home() const
{
    const QList<StoredStatus> statuses = m_context.store->latestStatuses(ListedStatuses);
    QString list;
    for (const StoredStatus &status : statuses) {
        list += QStringLiteral("<li><div>%1</div><div class=\"meta\"><b>%2</b> (@%3) &middot; "
                               "<time>%4</time> &middot; #%5</div></li>\n")
                    .arg(status.text.toHtmlEscaped(), status.user.name.toHtmlEscaped(),
                        status.user.screenName.toHtmlEscaped(),
                        twitterDate(status.createdAt).toHtmlEscaped(), QString::number(status.id));
    }
    if (list.isEmpty())
        list = QStringLiteral("<p>Nothing has been posted yet.</p>");
    else
        list = QStringLiteral("<ol>\n") + list + QStringLiteral("</ol>");
    return ServiceReply::html(page(QStringLiteral("Latest statuses"), list));
}

ServiceReply PageRoutes::signup() const
{
    return ServiceReply::html(page(QStringLiteral("Sign up"),
        QStringLiteral("<p>This local service has no sign-up form. Accounts are made when the "
                       "service starts: run it with <code>--user NAME:PASSWORD</code> (the "
                       "option may be given several times; an existing account gets the new "
                       "password).</p>")));
}
