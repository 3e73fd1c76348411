#include "badges/badgelock.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// Another process may hold the lock for as long as it likes; the gallery
// must not freeze meanwhile, so the write gives up after this.
constexpr std::chrono::milliseconds lockWait(1000);

struct Wait
{
    explicit Wait(int fd)
        : fd(fd)
    { }
    std::mutex mutex;
    std::condition_variable done;
    const int fd;
    bool finished = false;
    bool locked = false;
    bool abandoned = false;
};

// flock() cannot time out, and polling with LOCK_NB starves against a busy
// holder that takes the lock again right after letting it go: the kernel
// only queues a waiter that blocks. So a helper thread blocks, and a waiter
// that gives up leaves the descriptor to it to close once the lock comes.
bool waitForLock(int fd)
{
    const auto wait = std::make_shared<Wait>(fd);
    try {
        std::thread([wait] {
            int result = -1;
            do {
                result = ::flock(wait->fd, LOCK_EX);
            } while (result < 0 && errno == EINTR);
            const std::lock_guard guard(wait->mutex);
            if (wait->abandoned) {
                ::close(wait->fd);
                return;
            }
            wait->finished = true;
            wait->locked = result == 0;
            wait->done.notify_one();
        }).detach();
    } catch (const std::system_error &) {
        ::close(fd);
        return false;
    }
    std::unique_lock guard(wait->mutex);
    if (!wait->done.wait_for(guard, lockWait, [&wait] { return wait->finished; })) {
        wait->abandoned = true;
        return false;
    }
    if (!wait->locked)
        ::close(fd);
    return wait->locked;
}

} // namespace

BadgeLock::BadgeLock(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return;
    int result = -1;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result < 0 && errno == EINTR);
    if (result != 0 && errno != EWOULDBLOCK) {
        ::close(fd);
        return;
    }
    // On failure waitForLock has closed the descriptor or passed it on.
    if (result == 0 || waitForLock(fd))
        m_fd = fd;
}

BadgeLock::~BadgeLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
