#ifndef SERVICESTORE_H
#define SERVICESTORE_H

#include "servicerecords.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <optional>

// The service's SQLite database: accounts, access tokens, seen nonces,
// statuses, short links and uploads.
class ServiceStore
{
public:
    // What a sign-in compares against.
    struct Credentials
    {
        StoredUser user;
        QByteArray salt;
        QByteArray passwordHash;
    };

    ServiceStore();
    ~ServiceStore();
    ServiceStore(const ServiceStore &) = delete;
    ServiceStore &operator=(const ServiceStore &) = delete;

    bool open(const QString &databasePath, QString *error);
    void close();

    // The writes between begin() and commit() are one transaction; a write
    // outside them is one of its own. A commit holding an account, token,
    // status, link or upload is on disk when commit() returns, as answers
    // acknowledge those; one holding only spent nonces is not (see open()).
    bool begin();
    bool commit();
    void rollback();

    bool setUser(const QString &screenName, const QString &password);
    std::optional<Credentials> credentials(const QString &screenName);
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
    enum class Kept { UntilSynced, Durably };

    // Prepared once per connection, bound and run again on every use.
    QSqlQuery &prepared(const QString &statement, const QVariantList &values);
    bool exec(const QString &statement, const QVariantList &values = {});
    bool wrote(Kept kept);
    bool syncLog();
    QList<StoredStatus> statuses(const QString &where, const QVariantList &values, int limit);

    QString m_connection;
    QHash<QString, QSqlQuery> m_statements;
    bool m_inTransaction = false;
    bool m_mustSync = false;
    bool m_walLog = false;
};

#endif
