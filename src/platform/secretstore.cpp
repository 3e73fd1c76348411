#include "platform/secretstore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QThread>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <functional>

namespace {

struct State
{
    QString unavailableReason;
    QHash<QString, QByteArray> entries; // by service and key
};

State &state()
{
    static State s;
    return s;
}

QString cacheKey(const QString &service, const QString &key)
{
    return service + u'\n' + key;
}

// Starts job and waits for it. The job deletes itself once it has finished,
// also when the wait here ends first: deleting it earlier would leave the
// keyring's late callback a dangling job.
QKeychain::Error runJob(QKeychain::Job *job, const std::function<void()> &onDone)
{
    const QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        state().unavailableReason = QStringLiteral("not called on the application's thread");
        delete job;
        return QKeychain::OtherError;
    }
    QEventLoop loop;
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        error = job->error();
        if (error == QKeychain::NoError)
            onDone();
        else if (error != QKeychain::EntryNotFound)
            state().unavailableReason = job->errorString();
        loop.quit();
    });
    QTimer::singleShot(SecretStore::timeoutMs, &loop, &QEventLoop::quit);
    job->setAutoDelete(true);
    job->start();
    // No clicks while waiting: the user's next step needs this answer.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished) {
        state().unavailableReason
            = QStringLiteral("no answer within %1 ms").arg(SecretStore::timeoutMs);
        return QKeychain::OtherError;
    }
    return error;
}

SecretStore::Result resultOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return SecretStore::Done;
    case QKeychain::EntryNotFound:
        return SecretStore::NotFound;
    default:
        if (state().unavailableReason.isEmpty())
            state().unavailableReason = QStringLiteral("keyring error %1").arg(int(error));
        return SecretStore::Unavailable;
    }
}

} // namespace

SecretStore::SecretStore(const QString &service)
    : m_service(service)
{ }

SecretStore::Result SecretStore::read(const QString &key, QByteArray &data)
{
    data.clear();
    const QString cached = cacheKey(m_service, key);
    if (state().entries.contains(cached)) {
        data = state().entries.value(cached);
        return Done;
    }
    if (!unavailableReason().isEmpty())
        return Unavailable;
    auto *job = new QKeychain::ReadPasswordJob(m_service);
    job->setKey(key);
    const Result result = resultOf(runJob(job, [&] { data = job->binaryData(); }));
    if (result == Done)
        state().entries.insert(cached, data);
    return result;
}

SecretStore::Result SecretStore::write(const QString &key, const QByteArray &data)
{
    if (!unavailableReason().isEmpty())
        return Unavailable;
    auto *job = new QKeychain::WritePasswordJob(m_service);
    job->setKey(key);
    job->setBinaryData(data);
    const Result result = resultOf(runJob(job, [] {}));
    if (result == Done)
        state().entries.insert(cacheKey(m_service, key), data);
    return result == NotFound ? Unavailable : result;
}

SecretStore::Result SecretStore::remove(const QString &key)
{
    state().entries.remove(cacheKey(m_service, key));
    if (!unavailableReason().isEmpty())
        return Unavailable;
    auto *job = new QKeychain::DeletePasswordJob(m_service);
    job->setKey(key);
    const Result result = resultOf(runJob(job, [] {}));
    // Nothing to remove is as good as removed.
    return result == NotFound ? Done : result;
}

QString SecretStore::unavailableReason()
{
    return state().unavailableReason;
}
