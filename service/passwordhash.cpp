#include "passwordhash.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>

#include <atomic>

namespace {

constexpr int HashIterations = 20000;

std::atomic<qint64> s_hashes { 0 };

} // namespace

QByteArray passwordHash(const QString &password, const QByteArray &salt)
{
    ++s_hashes;
    return QPasswordDigestor::deriveKeyPbkdf2(
        QCryptographicHash::Sha256, password.toUtf8(), salt, HashIterations, 32);
}

qint64 passwordHashCount()
{
    return s_hashes;
}
