#include "badges/filecopy.h"

#include <QCoreApplication>
#include <QFile>

#include <memory>

bool copyFileContents(const QString &source, const QString &destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    // Unbuffered, so that every failed write shows in its own result.
    QFile out(destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;

    const std::unique_ptr<char[]> block(new char[copyBlockSize]);
    bool ok = true;
    qint64 count = in.read(block.get(), copyBlockSize);
    while (count > 0) {
        if (out.write(block.get(), count) != count) {
            ok = false;
            break;
        }
        count = in.read(block.get(), copyBlockSize);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    ok = ok && count == 0;
    out.close();
    ok = ok && out.error() == QFileDevice::NoError;
    if (!ok)
        out.remove();
    return ok;
}
