#ifndef AUTHORIZEROUTES_H
#define AUTHORIZEROUTES_H

#include "incomingrequest.h"
#include "requesttokens.h"
#include "servicecontext.h"
#include "servicereply.h"

#include <optional>

// The three-legged sign-in with an out-of-band PIN: request_token, the
// authorize page where a local user approves, and access_token with
// oauth_verifier. The xAuth exchange on access_token is ApiRoutes'.
class AuthorizeRoutes
{
public:
    explicit AuthorizeRoutes(const ServiceContext &context);

    // Set: the authorize page approves every request at once as this account.
    void setAutoApprover(const std::optional<StoredUser> &user) { m_autoApprover = user; }

    // nullopt when the request is none of these.
    std::optional<ServiceReply> handle(const IncomingRequest &request);

private:
    ServiceReply requestToken(const IncomingRequest &request);
    ServiceReply authorizePage(const IncomingRequest &request);
    ServiceReply approve(const IncomingRequest &request);
    ServiceReply accessToken(const IncomingRequest &request, const QByteArray &verifier);

    const ServiceContext &m_context;
    RequestTokens m_tokens;
    std::optional<StoredUser> m_autoApprover;
};

#endif
