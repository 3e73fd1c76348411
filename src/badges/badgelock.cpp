#include "badges/badgelock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
        result = ::flock(fd, LOCK_EX);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

BadgeLock::~BadgeLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
