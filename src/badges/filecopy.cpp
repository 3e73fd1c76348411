#include "badges/filecopy.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

int openFile(const QString &path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(name.constData(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Kernel-side copy where the file systems allow it, else read and write.
class BlockCopier
{
public:
    BlockCopier(int in, int out)
        : m_in(in)
        , m_out(out)
    { }

    // Bytes moved, 0 at the end of the source, -1 on failure.
    qint64 next()
    {
        if (m_kernelCopy) {
            ssize_t n = -1;
            do {
                n = ::copy_file_range(m_in, nullptr, m_out, nullptr, size_t(copyBlockSize), 0);
            } while (n < 0 && errno == EINTR);
            if (n >= 0)
                return n;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                return -1;
            m_kernelCopy = false;
        }
        if (!m_buffer)
            m_buffer.reset(new char[copyBlockSize]);
        ssize_t count = -1;
        do {
            count = ::read(m_in, m_buffer.get(), size_t(copyBlockSize));
        } while (count < 0 && errno == EINTR);
        for (ssize_t done = 0; done < count;) {
            const ssize_t n = ::write(m_out, m_buffer.get() + done, size_t(count - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return -1;
            done += n;
        }
        return count;
    }

private:
    int m_in;
    int m_out;
    bool m_kernelCopy = true;
    std::unique_ptr<char[]> m_buffer;
};

} // namespace

bool copyFileContents(const QString &source, const QString &destination)
{
    const int in = openFile(source, O_RDONLY);
    if (in < 0)
        return false;
    const int out = openFile(destination, O_WRONLY | O_CREAT | O_TRUNC);
    if (out < 0) {
        ::close(in);
        return false;
    }

    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    BlockCopier copier(in, out);
    qint64 count = copier.next();
    while (count > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        count = copier.next();
    }
    ::close(in);
    // A full disk may only show when the last blocks are written back.
    const bool ok = count == 0 && ::close(out) == 0;
    if (count != 0)
        ::close(out);
    if (!ok)
        QFile::remove(destination);
    return ok;
}
