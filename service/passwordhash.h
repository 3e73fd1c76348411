#ifndef PASSWORDHASH_H
#define PASSWORDHASH_H

#include <QByteArray>
#include <QString>

// How account passwords are stored: PBKDF2-HMAC-SHA256 of the UTF-8 password,
// 20,000 rounds, 32 bytes. Existing databases hold hashes of exactly this form.
QByteArray passwordHash(const QString &password, const QByteArray &salt);

// Hashes computed by this process so far, on any thread.
qint64 passwordHashCount();

#endif
