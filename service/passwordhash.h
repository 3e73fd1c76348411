#ifndef PASSWORDHASH_H
#define PASSWORDHASH_H

#include <QByteArray>
#include <QString>

// How account passwords are stored: PBKDF2-HMAC-SHA256 of the UTF-8 password,
// 20,000 rounds, 32 bytes. Existing databases hold hashes of exactly this form.
// Empty if it could not be computed. Safe on any thread.
QByteArray passwordHash(const QString &password, const QByteArray &salt);

// Whether a computed hash is the stored one, in time independent of where they differ.
bool samePasswordHash(const QByteArray &computed, const QByteArray &stored);

// Hashes computed by this process so far, on any thread.
qint64 passwordHashCount();

#endif
