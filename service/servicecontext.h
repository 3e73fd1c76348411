#ifndef SERVICECONTEXT_H
#define SERVICECONTEXT_H

#include <QString>

class OAuthVerifier;
class QThreadPool;
class ServiceStore;

// What the route groups share; owned by the server.
struct ServiceContext
{
    ServiceStore *store = nullptr;
    OAuthVerifier *verifier = nullptr;
    QString baseUrl;
    QString uploadDir;
    // Work that would hold up every other connection, such as password hashing.
    QThreadPool *pool = nullptr;
};

#endif
