#include "platform/FileSystem.h"

#include "platform/AnsiCodePage.h"
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
    return ::stat(EncodeSystemText(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {

// Qt would decode the folder's name as UTF-8 whatever the locale.
QString currentFolder()
{
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr)
        return QDir::currentPath();
    return DecodeSystemText(QByteArray(buffer));
}

}  // namespace

QString ExpandFileName(const QString &path)
{
    if (path.isEmpty())
        return currentFolder();
    if (path.startsWith(u'/'))
        return QDir::cleanPath(path);
    return QDir::cleanPath(currentFolder() + u'/' + path);
}

QString SysErrorMessage(int errorCode)
{
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char *text = strerror_r(errorCode, buffer, sizeof buffer);
    return DecodeSystemText(QByteArray(text));
}

namespace {

// Reads from the file's current offset to its end; 0 or the errno value
// (EFBIG past `maxBytes`).
int readToEnd(int fd, qint64 maxBytes, QByteArray &bytes)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (bytes.size() + n > maxBytes)
            return EFBIG;
        if (n == 0)
            return 0;
        bytes.append(buffer, n);
    }
}

}  // namespace

QByteArray ReadWholeFile(const QString &fileName, qint64 maxBytes)
{
    const QByteArray path = EncodeSystemText(ExpandFileName(fileName));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError::ForFile(fileName, errno);
    QByteArray bytes;
    const int error = readToEnd(fd, maxBytes, bytes);
    ::close(fd);
    if (error != 0)
        throw EFOpenError::ForFile(fileName, error);
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

// Rewrites the whole file from offset 0 and cuts it to the new length.
bool replaceContent(int fd, const QByteArray &bytes)
{
    return ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, bytes) && ::ftruncate(fd, bytes.size()) == 0 &&
           ::fsync(fd) == 0;
}

// A folder that takes no new file (no write permission on it, or another
// user's sticky folder) may still hold a file the user may write: then the
// file is rewritten where it stands. Its old content is kept in memory and
// put back when the write fails part way (disk full, file-size limit), so a
// failed save loses nothing.
void rewriteInPlace(const QString &fileName, const QByteArray &target, const QByteArray &bytes)
{
    // Settings and batch files are small; a file too large to keep in memory
    // is refused (EFBIG) rather than rewritten without a way back.
    constexpr qint64 kMaxBackupBytes = 64 * 1024 * 1024;
    const int fd = ::open(target.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw EFCreateError::ForFile(fileName, errno);
    QByteArray backup;
    if (const int error = readToEnd(fd, kMaxBackupBytes, backup)) {
        ::close(fd);
        throw EFCreateError::ForFile(fileName, error);
    }
    if (!replaceContent(fd, bytes)) {
        const int error = errno;
        (void)replaceContent(fd, backup);
        ::close(fd);
        throw EFCreateError::ForFile(fileName, error);
    }
    if (::close(fd) != 0)
        throw EFCreateError::ForFile(fileName, errno);
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
    const QByteArray target = resolveLinks(EncodeSystemText(ExpandFileName(fileName)));
    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw EFCreateError::ForFile(fileName, EISDIR);
    if (exists) {
        if (const int error = writePermissionError(target, existing))
            throw EFCreateError::ForFile(fileName, error);
    }

    // EACCES or EPERM from creating the temporary file or renaming it: the
    // folder refuses new entries, or (sticky) replacing this one.
    const auto folderRefuses = [exists](int error) { return exists && (error == EACCES || error == EPERM); };
    TemporaryFile temp(target);
    if (!temp.isOpen()) {
        const int error = errno;
        if (!folderRefuses(error))
            throw EFCreateError::ForFile(fileName, error);
        rewriteInPlace(fileName, target, bytes);
        return;
    }
    const mode_t mode = exists ? (existing.st_mode & 07777) : modeForNewFile(newFileMode);
    if (exists)  // best effort: only root may give a file away
        (void)!::fchown(temp.fd(), existing.st_uid, existing.st_gid);
    if (::fchmod(temp.fd(), mode) != 0 || !writeAll(temp.fd(), bytes) || ::fsync(temp.fd()) != 0) {
        const int error = errno;
        throw EFCreateError::ForFile(fileName, error);
    }
    if (!temp.closeFile())
        throw EFCreateError::ForFile(fileName, errno);
    if (::rename(temp.path().constData(), target.constData()) != 0) {
        const int error = errno;
        if (!folderRefuses(error))
            throw EFCreateError::ForFile(fileName, error);
        rewriteInPlace(fileName, target, bytes);  // the temporary file goes with `temp`
        return;
    }
    temp.markCommitted();
    syncFolder(target);
}
