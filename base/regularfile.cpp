#include "base/regularfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFileOpen openRegularFile(QFile &file, const QString &path)
{
    if (path.isEmpty())
        return RegularFileOpen::Missing;
    const QByteArray native = QFile::encodeName(path);
    struct stat info = {};
    // A FIFO is not even opened: a writer waiting on it would take that as
    // a reader and go on.
    if (::stat(native.constData(), &info) != 0)
        return errno == ENOENT ? RegularFileOpen::Missing : RegularFileOpen::Failed;
    if (!S_ISREG(info.st_mode))
        return RegularFileOpen::NotRegular;
    // Non-blocking all the same, in case the name was swapped since; the
    // type is then judged on what was opened.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? RegularFileOpen::Missing : RegularFileOpen::Failed;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return S_ISREG(info.st_mode) ? RegularFileOpen::Failed : RegularFileOpen::NotRegular;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return RegularFileOpen::Failed;
    }
    return RegularFileOpen::Opened;
}
