#include "servicestore.h"

#include "passwordhash.h"
#include "randomtext.h"
#include "servicelogging.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>

#include <atomic>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

std::atomic<int> s_connections { 0 };

const char *const Schema[] = {
    "PRAGMA foreign_keys = ON",
    "CREATE TABLE IF NOT EXISTS users (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " screen_name TEXT NOT NULL UNIQUE, name TEXT NOT NULL, salt BLOB NOT NULL,"
    " password_hash BLOB NOT NULL)",
    "CREATE TABLE IF NOT EXISTS tokens (token TEXT PRIMARY KEY, secret TEXT NOT NULL,"
    " user_id INTEGER NOT NULL REFERENCES users(id))",
    "CREATE TABLE IF NOT EXISTS nonces (consumer_key TEXT NOT NULL, nonce TEXT NOT NULL,"
    " seen_at INTEGER NOT NULL, PRIMARY KEY (consumer_key, nonce))",
    "CREATE INDEX IF NOT EXISTS nonces_seen ON nonces (seen_at)",
    "CREATE TABLE IF NOT EXISTS statuses (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " user_id INTEGER NOT NULL REFERENCES users(id), text TEXT NOT NULL,"
    " created_at INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS statuses_user ON statuses (user_id, id)",
    "CREATE TABLE IF NOT EXISTS links (code TEXT PRIMARY KEY, url TEXT NOT NULL UNIQUE)",
    "CREATE TABLE IF NOT EXISTS uploads (id TEXT PRIMARY KEY, user_id INTEGER NOT NULL,"
    " file_name TEXT NOT NULL, mime_type TEXT NOT NULL, size INTEGER NOT NULL)",
};

// Made before SQLite opens it, so the token secrets are never readable by others.
bool makePrivateFile(const QString &path)
{
    const int fd = ::open(
        QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    struct stat info
    {
    };
    // Earlier versions left it readable by everyone.
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
        && (info.st_uid != ::geteuid() || ::fchmod(fd, 0600) == 0);
    ::close(fd);
    return ok;
}

} // namespace

qint64 ServiceStore::passwordDerivations()
{
    return passwordHashCount();
}

ServiceStore::ServiceStore()
    : m_connection(QStringLiteral("zpvtwitterd-%1").arg(s_connections.fetch_add(1)))
{ }

ServiceStore::~ServiceStore()
{
    close();
}

bool ServiceStore::open(const QString &databasePath, QString *error)
{
    if (!makePrivateFile(databasePath)) {
        *error = QStringLiteral("cannot make the database %1").arg(databasePath);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(databasePath);
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    // A commit is one append to the write-ahead log. With synchronous=NORMAL
    // SQLite does not sync the log at commit (a kill loses nothing, a power
    // cut the commits since the last sync), so syncLog() syncs it after each
    // commit an answer acknowledges: one fdatasync per status update, where
    // the rollback journal's two commits (nonce, status) took eight. Commits
    // left unsynced hold only nonces of requests already answered, which were
    // refused or only read, so replaying them stores nothing. Where the log
    // cannot be used, the rollback journal with synchronous=FULL syncs every
    // commit itself.
    QSqlQuery mode(db);
    m_walLog = mode.exec(QStringLiteral("PRAGMA journal_mode = WAL")) && mode.next()
        && mode.value(0).toString() == QLatin1String("wal");
    mode.finish();
    if (!exec(QLatin1String(
            m_walLog ? "PRAGMA synchronous = NORMAL" : "PRAGMA synchronous = FULL"))) {
        *error = QStringLiteral("cannot set up the database");
        return false;
    }
    for (const char *statement : Schema) {
        if (!exec(QString::fromLatin1(statement))) {
            *error = QStringLiteral("cannot set up the database");
            return false;
        }
    }
    return true;
}

void ServiceStore::close()
{
    m_statements.clear();
    m_inTransaction = m_mustSync = false;
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlQuery &ServiceStore::prepared(const QString &statement, const QVariantList &values)
{
    auto query = m_statements.find(statement);
    if (query == m_statements.end()) {
        query = m_statements.insert(statement, QSqlQuery(QSqlDatabase::database(m_connection)));
        if (!query->prepare(statement))
            qCCritical(
                lcService, "ServiceStore::exec() - %s", qUtf8Printable(query->lastError().text()));
    }
    for (int i = 0; i < values.size(); ++i)
        query->bindValue(i, values.at(i));
    return *query;
}

bool ServiceStore::exec(const QString &statement, const QVariantList &values)
{
    QSqlQuery &query = prepared(statement, values);
    const bool ok = query.exec();
    if (!ok)
        qCCritical(
            lcService, "ServiceStore::exec() - %s", qUtf8Printable(query.lastError().text()));
    query.finish();
    return ok;
}

bool ServiceStore::begin()
{
    if (m_inTransaction || !exec(QStringLiteral("BEGIN")))
        return false;
    m_inTransaction = true;
    return true;
}

bool ServiceStore::commit()
{
    if (!m_inTransaction)
        return false;
    if (!exec(QStringLiteral("COMMIT"))) {
        rollback();
        return false;
    }
    m_inTransaction = false;
    return !std::exchange(m_mustSync, false) || syncLog();
}

void ServiceStore::rollback()
{
    if (m_inTransaction)
        exec(QStringLiteral("ROLLBACK"));
    m_inTransaction = m_mustSync = false;
}

// After a write: a durable one outside a transaction was committed on its own
// and is synced now; inside one, at commit().
bool ServiceStore::wrote(Kept kept)
{
    m_mustSync = m_mustSync || kept == Kept::Durably;
    return m_inTransaction || !std::exchange(m_mustSync, false) || syncLog();
}

// SQLite's own sync of the log file, which also syncs the folder the first
// time after the log was made. The handle is of the system SQLite linked here,
// the one Debian's Qt driver runs on.
bool ServiceStore::syncLog()
{
    if (!m_walLog)
        return true;
    const QVariant handle = QSqlDatabase::database(m_connection).driver()->handle();
    sqlite3 *db = qstrcmp(handle.typeName(), "sqlite3*") == 0
        ? *static_cast<sqlite3 *const *>(handle.constData())
        : nullptr;
    sqlite3_file *log = nullptr;
    const bool synced = db
        && sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) == SQLITE_OK && log
        && log->pMethods && log->pMethods->xSync(log, SQLITE_SYNC_NORMAL) == SQLITE_OK;
    if (!synced)
        qCCritical(lcService, "ServiceStore::syncLog() - the log could not be synced");
    return synced;
}

bool ServiceStore::setUser(const QString &screenName, const QString &password)
{
    QByteArray salt(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()), 4);
    const QByteArray hash = passwordHash(password, salt);
    return !hash.isEmpty()
        && exec(QStringLiteral("INSERT INTO users (screen_name, name, salt, password_hash)"
                               " VALUES (?, ?, ?, ?) ON CONFLICT (screen_name) DO UPDATE"
                               " SET salt = excluded.salt, password_hash = excluded.password_hash"),
            { screenName, screenName, salt, hash })
        && wrote(Kept::Durably);
}

std::optional<ServiceStore::Credentials> ServiceStore::credentials(const QString &screenName)
{
    QSqlQuery &query = prepared(
        QStringLiteral(
            "SELECT id, screen_name, name, salt, password_hash FROM users WHERE screen_name = ?"),
        { screenName });
    std::optional<Credentials> found;
    if (query.exec() && query.next())
        found = Credentials { StoredUser { query.value(0).toLongLong(), query.value(1).toString(),
                                  query.value(2).toString() },
            query.value(3).toByteArray(), query.value(4).toByteArray() };
    query.finish();
    return found;
}

std::optional<StoredUser> ServiceStore::user(qint64 id)
{
    QSqlQuery &query
        = prepared(QStringLiteral("SELECT id, screen_name, name FROM users WHERE id = ?"), { id });
    std::optional<StoredUser> found;
    if (query.exec() && query.next())
        found = StoredUser { query.value(0).toLongLong(), query.value(1).toString(),
            query.value(2).toString() };
    query.finish();
    return found;
}

bool ServiceStore::addToken(const StoredToken &token)
{
    return exec(QStringLiteral("INSERT INTO tokens (token, secret, user_id) VALUES (?, ?, ?)"),
               { token.token, token.secret, token.userId })
        && wrote(Kept::Durably);
}

std::optional<StoredToken> ServiceStore::token(const QString &token)
{
    QSqlQuery &query = prepared(
        QStringLiteral("SELECT token, secret, user_id FROM tokens WHERE token = ?"), { token });
    std::optional<StoredToken> found;
    if (query.exec() && query.next())
        found = StoredToken { query.value(0).toString(), query.value(1).toString(),
            query.value(2).toLongLong() };
    query.finish();
    return found;
}

bool ServiceStore::useNonce(
    const QString &consumerKey, const QString &nonce, qint64 now, qint64 expireBefore)
{
    exec(QStringLiteral("DELETE FROM nonces WHERE seen_at < ?"), { expireBefore });
    QSqlQuery &query = prepared(
        QStringLiteral(
            "INSERT OR IGNORE INTO nonces (consumer_key, nonce, seen_at) VALUES (?, ?, ?)"),
        { consumerKey, nonce, now });
    const bool fresh = query.exec() && query.numRowsAffected() == 1;
    query.finish();
    return fresh && wrote(Kept::UntilSynced);
}

std::optional<StoredStatus> ServiceStore::addStatus(qint64 userId, const QString &text)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QSqlQuery &query = prepared(
        QStringLiteral("INSERT INTO statuses (user_id, text, created_at) VALUES (?, ?, ?)"),
        { userId, text, now });
    const bool added = query.exec();
    const qint64 id = query.lastInsertId().toLongLong();
    query.finish();
    if (!added || !wrote(Kept::Durably))
        return std::nullopt;
    return status(id);
}

QList<StoredStatus> ServiceStore::statuses(
    const QString &where, const QVariantList &values, int limit)
{
    QSqlQuery &query
        = prepared(QStringLiteral("SELECT s.id, s.text, s.created_at, u.id, u.screen_name, u.name"
                                  " FROM statuses s JOIN users u ON u.id = s.user_id WHERE ")
                + where + QStringLiteral(" ORDER BY s.id DESC LIMIT ?"),
            values + QVariantList { limit });
    QList<StoredStatus> out;
    if (query.exec()) {
        while (query.next()) {
            out.append(StoredStatus { query.value(0).toLongLong(), query.value(1).toString(),
                QDateTime::fromSecsSinceEpoch(query.value(2).toLongLong(), Qt::UTC),
                StoredUser { query.value(3).toLongLong(), query.value(4).toString(),
                    query.value(5).toString() } });
        }
    }
    query.finish();
    return out;
}

std::optional<StoredStatus> ServiceStore::status(qint64 id)
{
    const auto found = statuses(QStringLiteral("s.id = ?"), { id }, 1);
    return found.isEmpty() ? std::nullopt : std::optional<StoredStatus>(found.first());
}

std::optional<StoredStatus> ServiceStore::lastStatusOf(qint64 userId)
{
    const auto found = statuses(QStringLiteral("s.user_id = ?"), { userId }, 1);
    return found.isEmpty() ? std::nullopt : std::optional<StoredStatus>(found.first());
}

QList<StoredStatus> ServiceStore::latestStatuses(int limit)
{
    return statuses(QStringLiteral("1 = 1"), {}, limit);
}

std::optional<QString> ServiceStore::link(const QString &code)
{
    QSqlQuery &query = prepared(QStringLiteral("SELECT url FROM links WHERE code = ?"), { code });
    std::optional<QString> found;
    if (query.exec() && query.next())
        found = query.value(0).toString();
    query.finish();
    return found;
}

std::optional<QString> ServiceStore::shortCode(const QString &url)
{
    QSqlQuery &query = prepared(QStringLiteral("SELECT code FROM links WHERE url = ?"), { url });
    std::optional<QString> found;
    if (query.exec() && query.next())
        found = query.value(0).toString();
    query.finish();
    if (found)
        return found;
    for (int attempt = 0; attempt < 8; ++attempt) {
        // No look-alike letters: people copy these by hand.
        const QString code
            = randomText(7, "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789");
        QSqlQuery &insert = prepared(
            QStringLiteral("INSERT OR IGNORE INTO links (code, url) VALUES (?, ?)"), { code, url });
        const bool made = insert.exec() && insert.numRowsAffected() == 1;
        insert.finish();
        if (made)
            return wrote(Kept::Durably) ? std::optional<QString>(code) : std::nullopt;
    }
    return std::nullopt;
}

bool ServiceStore::addUpload(const StoredUpload &upload, qint64 userId)
{
    return exec(QStringLiteral("INSERT INTO uploads (id, user_id, file_name, mime_type, size)"
                               " VALUES (?, ?, ?, ?, ?)"),
               { upload.id, userId, upload.fileName, upload.mimeType, upload.size })
        && wrote(Kept::Durably);
}

std::optional<StoredUpload> ServiceStore::upload(const QString &id)
{
    QSqlQuery &query = prepared(
        QStringLiteral("SELECT id, file_name, mime_type, size FROM uploads WHERE id = ?"), { id });
    std::optional<StoredUpload> found;
    if (query.exec() && query.next())
        found = StoredUpload { query.value(0).toString(), query.value(1).toString(),
            query.value(2).toString(), query.value(3).toLongLong() };
    query.finish();
    return found;
}
