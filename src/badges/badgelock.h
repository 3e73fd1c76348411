#ifndef BADGELOCK_H
#define BADGELOCK_H

#include <QString>

// An exclusive advisory lock on a media file for the life of the object, so
// that two processes recording a badge on one file do not lose an entry.
// It is a flock() on the file itself opened read-only: it binds every
// process and user that can read the file, needs no file of its own, is
// dropped by the kernel when a holder dies, and (unlike fcntl locks) is not
// released when some other descriptor of the file is closed in between.
// A lock held elsewhere is waited for about a second at most; then the
// object is not locked.
class BadgeLock
{
public:
    explicit BadgeLock(const QString &path);
    ~BadgeLock();
    BadgeLock(const BadgeLock &) = delete;
    BadgeLock &operator=(const BadgeLock &) = delete;

    bool isLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

#endif
