#ifndef APIROUTES_H
#define APIROUTES_H

#include "incomingrequest.h"
#include "servicecontext.h"
#include "servicereply.h"

#include <functional>
#include <optional>

// The signed resources: xAuth sign-in, the user check, status update and fetch.
class ApiRoutes
{
public:
    explicit ApiRoutes(const ServiceContext &context);

    // nullopt when the path is none of these resources.
    std::optional<ServiceReply> handle(const IncomingRequest &request) const;

    // The token's account, or the 401 reply explaining why not.
    static std::optional<ServiceReply> authenticate(const ServiceContext &context,
        const IncomingRequest &request, OAuthVerifier::Outcome *outcome);
    // A new access token for the user, answered as the sign-in answers.
    static ServiceReply grantAccess(
        const ServiceContext &context, const QString &path, const StoredUser &user);
    // Checks the password on the pool and answers with then(the account, if it matched).
    static ServiceReply withPasswordChecked(const ServiceContext &context, const QString &name,
        const QString &password,
        std::function<ServiceReply(const std::optional<StoredUser> &)> then);

private:
    ServiceReply accessToken(const IncomingRequest &request) const;
    ServiceReply showUser(const IncomingRequest &request) const;
    ServiceReply updateStatus(const IncomingRequest &request) const;
    ServiceReply showStatus(const IncomingRequest &request, const QString &id) const;

    const ServiceContext &m_context;
};

#endif
