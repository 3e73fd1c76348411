#include "servicestore.h"

#include "passwordhash.h"
#include "randomtext.h"
#include "servicelogging.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> s_connections { 0 };

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
}

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
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool ServiceStore::exec(const QString &statement, const QVariantList &values)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    if (!query.prepare(statement)) {
        qCCritical(
            lcService, "ServiceStore::exec() - %s", qUtf8Printable(query.lastError().text()));
        return false;
    }
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        qCCritical(
            lcService, "ServiceStore::exec() - %s", qUtf8Printable(query.lastError().text()));
        return false;
    }
    return true;
}

bool ServiceStore::setUser(const QString &screenName, const QString &password)
{
    QByteArray salt(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()), 4);
    return exec(QStringLiteral("INSERT INTO users (screen_name, name, salt, password_hash)"
                               " VALUES (?, ?, ?, ?) ON CONFLICT (screen_name) DO UPDATE"
                               " SET salt = excluded.salt, password_hash = excluded.password_hash"),
        { screenName, screenName, salt, passwordHash(password, salt) });
}

std::optional<StoredUser> ServiceStore::checkPassword(
    const QString &screenName, const QString &password)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral(
        "SELECT id, screen_name, name, salt, password_hash FROM users WHERE screen_name = ?"));
    query.addBindValue(screenName);
    if (!query.exec() || !query.next()) {
        static const QByteArray noSalt(16, '\0');
        passwordHash(password, noSalt);
        return std::nullopt;
    }
    if (!sameBytes(
            passwordHash(password, query.value(3).toByteArray()), query.value(4).toByteArray()))
        return std::nullopt;
    return StoredUser { query.value(0).toLongLong(), query.value(1).toString(),
        query.value(2).toString() };
}

std::optional<StoredUser> ServiceStore::user(qint64 id)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT id, screen_name, name FROM users WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return StoredUser { query.value(0).toLongLong(), query.value(1).toString(),
        query.value(2).toString() };
}

bool ServiceStore::addToken(const StoredToken &token)
{
    return exec(QStringLiteral("INSERT INTO tokens (token, secret, user_id) VALUES (?, ?, ?)"),
        { token.token, token.secret, token.userId });
}

std::optional<StoredToken> ServiceStore::token(const QString &token)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT token, secret, user_id FROM tokens WHERE token = ?"));
    query.addBindValue(token);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return StoredToken { query.value(0).toString(), query.value(1).toString(),
        query.value(2).toLongLong() };
}

bool ServiceStore::useNonce(
    const QString &consumerKey, const QString &nonce, qint64 now, qint64 expireBefore)
{
    exec(QStringLiteral("DELETE FROM nonces WHERE seen_at < ?"), { expireBefore });
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral(
        "INSERT OR IGNORE INTO nonces (consumer_key, nonce, seen_at) VALUES (?, ?, ?)"));
    query.addBindValue(consumerKey);
    query.addBindValue(nonce);
    query.addBindValue(now);
    return query.exec() && query.numRowsAffected() == 1;
}

std::optional<StoredStatus> ServiceStore::addStatus(qint64 userId, const QString &text)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(
        QStringLiteral("INSERT INTO statuses (user_id, text, created_at) VALUES (?, ?, ?)"));
    query.addBindValue(userId);
    query.addBindValue(text);
    query.addBindValue(now);
    if (!query.exec())
        return std::nullopt;
    return status(query.lastInsertId().toLongLong());
}

QList<StoredStatus> ServiceStore::statuses(
    const QString &where, const QVariantList &values, int limit)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT s.id, s.text, s.created_at, u.id, u.screen_name, u.name"
                                 " FROM statuses s JOIN users u ON u.id = s.user_id WHERE ")
        + where + QStringLiteral(" ORDER BY s.id DESC LIMIT ?"));
    for (const QVariant &value : values)
        query.addBindValue(value);
    query.addBindValue(limit);
    QList<StoredStatus> out;
    if (!query.exec())
        return out;
    while (query.next()) {
        out.append(StoredStatus { query.value(0).toLongLong(), query.value(1).toString(),
            QDateTime::fromSecsSinceEpoch(query.value(2).toLongLong(), Qt::UTC),
            StoredUser { query.value(3).toLongLong(), query.value(4).toString(),
                query.value(5).toString() } });
    }
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
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT url FROM links WHERE code = ?"));
    query.addBindValue(code);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toString();
}

std::optional<QString> ServiceStore::shortCode(const QString &url)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT code FROM links WHERE url = ?"));
    query.addBindValue(url);
    if (query.exec() && query.next())
        return query.value(0).toString();
    for (int attempt = 0; attempt < 8; ++attempt) {
        // No look-alike letters: people copy these by hand.
        const QString code
            = randomText(7, "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789");
        QSqlQuery insert(QSqlDatabase::database(m_connection));
        insert.prepare(QStringLiteral("INSERT OR IGNORE INTO links (code, url) VALUES (?, ?)"));
        insert.addBindValue(code);
        insert.addBindValue(url);
        if (insert.exec() && insert.numRowsAffected() == 1)
            return code;
    }
    return std::nullopt;
}

bool ServiceStore::addUpload(const StoredUpload &upload, qint64 userId)
{
    return exec(QStringLiteral("INSERT INTO uploads (id, user_id, file_name, mime_type, size)"
                               " VALUES (?, ?, ?, ?, ?)"),
        { upload.id, userId, upload.fileName, upload.mimeType, upload.size });
}

std::optional<StoredUpload> ServiceStore::upload(const QString &id)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(
        QStringLiteral("SELECT id, file_name, mime_type, size FROM uploads WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return StoredUpload { query.value(0).toString(), query.value(1).toString(),
        query.value(2).toString(), query.value(3).toLongLong() };
}
