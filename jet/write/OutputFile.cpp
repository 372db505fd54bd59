#include "jet/write/OutputFile.h"

#include "jet/Error.h"
#include "jet/write/SystemErrorText.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace jet::write {

namespace {

std::string folderOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string baseNameOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string randomSuffix()
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device device;
    std::string suffix;
    for (int i = 0; i < 8; ++i)
        suffix += digits[device() % 36];
    return suffix;
}

void fsyncFolder(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;  // the rename itself succeeded; a folder we cannot open cannot be synced either
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void checkTargetPath(const std::string &sourcePath, const std::string &targetPath)
{
    if (targetPath.empty())
        throw Error(ErrorKind::Argument, "最適化先のファイル名が指定されていません。");
    struct stat target {};
    if (::lstat(targetPath.c_str(), &target) != 0) {
        if (errno == ENOENT)
            return;
        throw Error(ErrorKind::Io, "最適化先 '" + targetPath + "' を確認できません: " + systemErrorText(errno));
    }
    struct stat followed {}, source {};
    if (::stat(targetPath.c_str(), &followed) == 0 && ::stat(sourcePath.c_str(), &source) == 0 &&
        followed.st_dev == source.st_dev && followed.st_ino == source.st_ino)
        throw Error(ErrorKind::Argument,
                    "最適化先 '" + targetPath + "' は最適化元と同じファイルです。別のファイル名を指定してください。");
    throw Error(ErrorKind::TargetExists, "データベース '" + targetPath + "' は既に存在します。");
}

OutputFile::OutputFile(const std::string &targetPath, const std::string &sourcePath, std::uint64_t sizeLimit)
    : targetPath_(targetPath), sizeLimit_(sizeLimit)
{
    const std::string folder = folderOf(targetPath);
    const std::string stem = folder + "/." + baseNameOf(targetPath) + ".tessivar-";
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporaryPath_ = stem + randomSuffix();
        fd_ = ::open(temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temporaryPath_.clear();
        throw Error(ErrorKind::Io, "最適化先のフォルダー '" + folder + "' にファイルを作成できません: " +
                                       systemErrorText(error));
    }
    // The copy is the same database: it keeps the source's permissions (and
    // group, where we may set it) rather than whatever the umask would give.
    struct stat source {};
    if (::stat(sourcePath.c_str(), &source) == 0) {
        if (::fchown(fd_, static_cast<uid_t>(-1), source.st_gid) != 0) {
            // Not a member of the source's group: the folder's default stays.
        }
        ::fchmod(fd_, source.st_mode & 0777);
    }
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::fail(int errorNumber) const
{
    throw Error(ErrorKind::Io, "最適化先 '" + targetPath_ + "' に書き込めません: " + systemErrorText(errorNumber));
}

void OutputFile::write(std::uint64_t offset, ByteSpan bytes)
{
    if (fd_ < 0)
        fail(EBADF);
    if (sizeLimit_ != 0 && offset + bytes.size() > sizeLimit_)
        fail(ENOSPC);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (n == 0)
            fail(ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    if (offset + bytes.size() > size_)
        size_ = offset + bytes.size();
}

void OutputFile::resize(std::uint64_t size)
{
    if (sizeLimit_ != 0 && size > sizeLimit_)
        fail(ENOSPC);
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        fail(errno);
    size_ = size;
}

void OutputFile::flush()
{
    if (::fsync(fd_) != 0)
        fail(errno);
}

void OutputFile::commit()
{
    flush();
    if (::close(fd_) != 0) {
        fd_ = -1;
        fail(errno);
    }
    fd_ = -1;
    // Never replace: a file that appeared at the target while we worked wins.
    int result = ::renameat2(AT_FDCWD, temporaryPath_.c_str(), AT_FDCWD, targetPath_.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // File systems without the no-replace rename: a hard link fails the same way.
        result = ::link(temporaryPath_.c_str(), targetPath_.c_str());
        if (result == 0)
            ::unlink(temporaryPath_.c_str());
    }
    if (result != 0) {
        const int error = errno;
        if (error == EEXIST)
            throw Error(ErrorKind::TargetExists, "データベース '" + targetPath_ + "' は既に存在します。");
        fail(error);
    }
    committed_ = true;
    fsyncFolder(folderOf(targetPath_));
}

void OutputFile::discard() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!committed_ && !temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}

}  // namespace jet::write
