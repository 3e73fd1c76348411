// The keyring of a fuzz build against a static QtCore: there is none (the
// keyring library links the system's shared Qt), so every call answers as a
// keyring that is not there, which callers handle already.

#include "platform/secretstore.h"

SecretStore::SecretStore(const QString &service)
    : m_service(service)
{
}

SecretStore::Result SecretStore::read(const QString &, QByteArray &)
{
    return Unavailable;
}

SecretStore::Result SecretStore::write(const QString &, const QByteArray &)
{
    return Unavailable;
}

SecretStore::Result SecretStore::remove(const QString &)
{
    return Unavailable;
}

QString SecretStore::unavailableReason()
{
    return QStringLiteral("no keyring in this build");
}
