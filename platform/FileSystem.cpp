#include "platform/FileSystem.h"

#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
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

QByteArray ReadWholeFile(const QString &fileName, qint64 maxBytes)
{
    const QByteArray path = QFile::encodeName(ExpandFileName(fileName));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError::ForFile(fileName, errno);
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || bytes.size() + n > maxBytes) {
            const int error = n < 0 ? errno : EFBIG;
            ::close(fd);
            throw EFOpenError::ForFile(fileName, error);
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    return bytes;
}

namespace {

// Leaves room for the ".XXXXXX" suffix within the longest allowed file name.
QByteArray temporaryPattern(const QByteArray &target)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    const QByteArray base = target.mid(slash + 1);
    if (base.size() + 7 <= NAME_MAX)
        return target + ".XXXXXX";
    return folder + ".tessivar-save.XXXXXX";
}

class TemporaryFile {
public:
    explicit TemporaryFile(const QByteArray &target) : FPath(temporaryPattern(target))
    {
        FFd = ::mkostemp(FPath.data(), O_CLOEXEC);
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

// Replacing a symbolic link with a plain file would cut the user's link, so
// the file it points at is the one replaced.
QByteArray resolveLinks(const QByteArray &target)
{
    char resolved[PATH_MAX];
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0 && S_ISLNK(st.st_mode) && ::realpath(target.constData(), resolved))
        return QByteArray(resolved);
    return target;
}

// A file without any write permission was marked read-only on purpose; root
// would pass access(), so the bits are looked at as well.
int writePermissionError(const QByteArray &target, const struct stat &st)
{
    if (::access(target.constData(), W_OK) != 0)
        return errno;
    return (st.st_mode & 0222) == 0 ? EACCES : 0;
}

// The rename is durable only once the folder entry itself is on disk.
void syncFolder(const QByteArray &target)
{
    const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
    const int fd = ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

void WriteFileAtomically(const QString &fileName, const QByteArray &bytes, unsigned newFileMode)
{
    const QByteArray target = resolveLinks(QFile::encodeName(ExpandFileName(fileName)));
    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw EFCreateError::ForFile(fileName, EISDIR);
    if (exists) {
        if (const int error = writePermissionError(target, existing))
            throw EFCreateError::ForFile(fileName, error);
    }

    TemporaryFile temp(target);
    if (!temp.isOpen())
        throw EFCreateError::ForFile(fileName, errno);
    const mode_t mode = exists ? (existing.st_mode & 07777) : modeForNewFile(newFileMode);
    if (exists)  // best effort: only root may give a file away
        (void)!::fchown(temp.fd(), existing.st_uid, existing.st_gid);
    if (::fchmod(temp.fd(), mode) != 0 || !writeAll(temp.fd(), bytes) || ::fsync(temp.fd()) != 0) {
        const int error = errno;
        throw EFCreateError::ForFile(fileName, error);
    }
    if (!temp.closeFile() || ::rename(temp.path().constData(), target.constData()) != 0) {
        const int error = errno;
        throw EFCreateError::ForFile(fileName, error);
    }
    temp.markCommitted();
    syncFolder(target);
}
