#ifndef SERVICESTORE_H
#define SERVICESTORE_H

#include "servicerecords.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>

// The service's SQLite database: accounts, access tokens, seen nonces,
// statuses, short links and uploads. Every write is committed before the
// caller answers its request.
class ServiceStore
{
public:
    ServiceStore();
    ~ServiceStore();
    ServiceStore(const ServiceStore &) = delete;
    ServiceStore &operator=(const ServiceStore &) = delete;

    bool open(const QString &databasePath, QString *error);
    void close();

    bool setUser(const QString &screenName, const QString &password);
    // As much work for a name without an account as for a wrong password, so
    // the answer's timing does not tell which names exist.
    std::optional<StoredUser> checkPassword(const QString &screenName, const QString &password);
    // Password hashes computed by this process so far.
    static qint64 passwordDerivations();
    std::optional<StoredUser> user(qint64 id);

    bool addToken(const StoredToken &token);
    std::optional<StoredToken> token(const QString &token);

    // Records the nonce; false when the consumer used it before (a replay).
    // Nonces seen before expireBefore are forgotten first.
    bool useNonce(
        const QString &consumerKey, const QString &nonce, qint64 now, qint64 expireBefore);

    std::optional<StoredStatus> addStatus(qint64 userId, const QString &text);
    std::optional<StoredStatus> status(qint64 id);
    std::optional<StoredStatus> lastStatusOf(qint64 userId);
    QList<StoredStatus> latestStatuses(int limit);

    // The code of the link, made on first use.
    std::optional<QString> shortCode(const QString &url);
    std::optional<QString> link(const QString &code);

    bool addUpload(const StoredUpload &upload, qint64 userId);
    std::optional<StoredUpload> upload(const QString &id);

private:
    QList<StoredStatus> statuses(const QString &where, const QVariantList &values, int limit);
    bool exec(const QString &statement, const QVariantList &values = {});

    QString m_connection;
};

#endif
