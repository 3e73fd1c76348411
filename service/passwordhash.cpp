#include "passwordhash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <atomic>

namespace {

constexpr int HashIterations = 20000;
constexpr int HashBytes = 32;

std::atomic<qint64> s_hashes { 0 };

} // namespace

QByteArray passwordHash(const QString &password, const QByteArray &salt)
{
    ++s_hashes;
    const QByteArray utf8 = password.toUtf8();
    QByteArray hash(HashBytes, Qt::Uninitialized);
    if (PKCS5_PBKDF2_HMAC(utf8.constData(), int(utf8.size()),
            reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()),
            HashIterations, EVP_sha256(), HashBytes, reinterpret_cast<unsigned char *>(hash.data()))
        != 1)
        return QByteArray();
    return hash;
}

bool samePasswordHash(const QByteArray &computed, const QByteArray &stored)
{
    return !computed.isEmpty() && computed.size() == stored.size()
        && CRYPTO_memcmp(computed.constData(), stored.constData(), size_t(computed.size())) == 0;
}

qint64 passwordHashCount()
{
    return s_hashes;
}
