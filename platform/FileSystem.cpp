#include "platform/FileSystem.h"

#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString ExpandFileName(const QString &path)
{
    if (path.isEmpty())
        return QDir::currentPath();
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

QString SysErrorMessage(int errorCode)
{
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char *text = strerror_r(errorCode, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

namespace {

class TemporaryFile {
public:
    explicit TemporaryFile(const QByteArray &target) : FPath(target + ".XXXXXX")
    {
        FFd = ::mkstemp(FPath.data());
    }
    ~TemporaryFile()
    {
        if (FFd >= 0)
            ::close(FFd);
        if (!FCommitted && FFd != -1)
            ::unlink(FPath.constData());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    bool isOpen() const { return FFd >= 0; }
    int fd() const { return FFd; }
    const QByteArray &path() const { return FPath; }
    bool closeFile()
    {
        const int fd = FFd;
        FFd = -2;  // closed but not yet renamed: the destructor still unlinks
        return ::close(fd) == 0;
    }
    void markCommitted() { FCommitted = true; }

private:
    QByteArray FPath;
    int FFd = -1;
    bool FCommitted = false;
};

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

mode_t modeForNewFile(unsigned requested)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(requested) & ~mask & 07777;
}

}  // namespace

void WriteFileAtomically(const QString &fileName, const QByteArray &bytes, unsigned newFileMode)
{
    const QByteArray target = QFile::encodeName(ExpandFileName(fileName));
    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw EFCreateError::ForFile(fileName, EISDIR);

    TemporaryFile temp(target);
    if (!temp.isOpen())
        throw EFCreateError::ForFile(fileName, errno);
    const mode_t mode = exists ? (existing.st_mode & 07777) : modeForNewFile(newFileMode);
    if (::fchmod(temp.fd(), mode) != 0 || !writeAll(temp.fd(), bytes) || ::fsync(temp.fd()) != 0) {
        const int error = errno;
        throw EFCreateError::ForFile(fileName, error);
    }
    if (!temp.closeFile() || ::rename(temp.path().constData(), target.constData()) != 0) {
        const int error = errno;
        throw EFCreateError::ForFile(fileName, error);
    }
    temp.markCommitted();
}
