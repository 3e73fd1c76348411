#ifndef SERVICECONTEXT_H
#define SERVICECONTEXT_H

#include <QString>

class OAuthVerifier;
class ServiceStore;

// What the route groups share; owned by the server.
struct ServiceContext
{
    ServiceStore *store = nullptr;
    OAuthVerifier *verifier = nullptr;
    QString baseUrl;
    QString uploadDir;
};

#endif
