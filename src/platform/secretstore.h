#ifndef SECRETSTORE_H
#define SECRETSTORE_H

#include <QByteArray>
#include <QString>

// Secrets of one service in the desktop's keyring (the Secret Service here),
// one entry per key.
//
// The keyring's jobs are asynchronous, but callers need the answer at once
// (a stored sign-in is looked up while the plug-in starts), so every call
// runs a local event loop until its job finishes, at most timeoutMs. Calls
// belong to the application's thread, like the rest of the plug-in.
//
// A keyring that failed to answer once (no session bus, no Secret Service,
// locked and the prompt dismissed, too slow) is not asked again in this
// process: a job that timed out would hold up every later one, and the
// caller keeps its secrets elsewhere. Entries read or written are kept in
// memory, so repeated reads cost no round trip.
class SecretStore
{
public:
    enum Result { Done, NotFound, Unavailable };

    static constexpr int timeoutMs = 5000;

    explicit SecretStore(const QString &service);

    Result read(const QString &key, QByteArray &data);
    Result write(const QString &key, const QByteArray &data);
    Result remove(const QString &key);

    // Why the keyring is not asked any more; empty while it answers.
    static QString unavailableReason();

private:
    QString m_service;
};

#endif
