#include "jet/write/OutputFile.h"

#include "jet/Error.h"
#include "jet/FilePath.h"
#include "jet/SystemErrorText.h"
#include "jet/write/InterruptCleanup.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace jet::write {

namespace {

constexpr char kTemporaryMark[] = ".tessivar-";
constexpr std::size_t kSuffixLength = 8;

// Leaves room for the mark and the suffix within the longest allowed name.
std::string temporaryStem(const std::string &folder, const std::string &baseName)
{
    const std::size_t decoration = 1 + (sizeof kTemporaryMark - 1) + kSuffixLength;
    if (baseName.size() + decoration <= NAME_MAX)
        return folder + "/." + baseName + kTemporaryMark;
    return folder + "/" + kTemporaryMark;
}

bool isTemporaryName(const std::string &name)
{
    const std::size_t markLength = sizeof kTemporaryMark - 1;
    if (name.size() < markLength + kSuffixLength || name[0] != '.')
        return false;
    const std::size_t suffixAt = name.size() - kSuffixLength;
    if (name.compare(suffixAt - markLength, markLength, kTemporaryMark) != 0)
        return false;
    for (std::size_t i = suffixAt; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return suffixAt == markLength || suffixAt > markLength + 1;  // ".tessivar-X" or ".NAME.tessivar-X"
}

// Kernels and file systems without unnamed files answer O_TMPFILE so.
bool lacksUnnamedFiles(int errorNumber)
{
    return errorNumber == EOPNOTSUPP || errorNumber == EISDIR || errorNumber == EINVAL;
}

std::string randomSuffix()
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device device;
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i)
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
    if (S_ISDIR(target.st_mode) || (::stat(targetPath.c_str(), &followed) == 0 && S_ISDIR(followed.st_mode)))
        throw Error(ErrorKind::Argument, "最適化先 '" + targetPath +
                                             "' はフォルダーです。保存するファイルの名前まで指定してください。");
    throw Error(ErrorKind::TargetExists, "データベース '" + targetPath + "' は既に存在します。");
}

std::vector<std::string> leftoverTemporaryFiles(const std::string &targetPath)
{
    const std::string folder = folderOf(targetPath);
    std::vector<std::string> found;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return found;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string path = folder + "/" + entry->d_name;
        struct stat info {};
        if (isTemporaryName(entry->d_name) && ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            found.push_back(path);
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
}

OutputFile::OutputFile(const std::string &targetPath, const std::string &sourcePath, std::uint64_t sizeLimit,
                       Temporary temporary)
    : targetPath_(targetPath), sizeLimit_(sizeLimit)
{
    const std::string folder = folderOf(targetPath);
    if (temporary == Temporary::Named || !openUnnamed(folder))
        openNamed(folder);
    keepSourcePermissions(sourcePath);
}

bool OutputFile::openUnnamed(const std::string &folder)
{
    // The copy is verified by opening it again through /proc; without /proc
    // (a bare chroot) only a named file can be read back.
    if (::access("/proc/self/fd", X_OK) != 0)
        return false;
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        const int error = errno;
        if (lacksUnnamedFiles(error))
            return false;
        throw Error(ErrorKind::Io, "最適化先のフォルダー '" + folder + "' にファイルを作成できません: " +
                                       systemErrorText(error));
    }
    readBackPath_ = "/proc/self/fd/" + std::to_string(fd_);
    return true;
}

void OutputFile::openNamed(const std::string &folder)
{
    const std::string stem = temporaryStem(folder, fileNameOf(targetPath_));
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporaryPath_ = stem + randomSuffix();
        fd_ = ::open(temporaryPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temporaryPath_.clear();
        throw Error(ErrorKind::Io, "最適化先のフォルダー '" + folder + "' にファイルを作成できません: " +
                                       systemErrorText(error));
    }
    registration_ = std::make_unique<RegisteredTemporaryFile>(temporaryPath_);
    readBackPath_ = temporaryPath_;
}

// The copy is the same database: it keeps the source's permissions (and
// group, where we may set it) rather than whatever the umask would give.
void OutputFile::keepSourcePermissions(const std::string &sourcePath)
{
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
    const int result = temporaryPath_.empty() ? linkUnnamed() : renameNamed();
    if (result != 0) {
        const int error = errno;
        if (error == EEXIST)
            throw Error(ErrorKind::TargetExists, "データベース '" + targetPath_ + "' は既に存在します。");
        fail(error);
    }
    committed_ = true;
    if (registration_)
        registration_->release();
    fsyncFolder(folderOf(targetPath_));
}

// A link never replaces: a file that appeared at the target while we worked
// wins. The file stays open until it has its name, or it would vanish.
int OutputFile::linkUnnamed()
{
    int result = ::linkat(AT_FDCWD, readBackPath_.c_str(), AT_FDCWD, targetPath_.c_str(), AT_SYMLINK_FOLLOW);
    if (result != 0 && errno == ENOENT && ::access(readBackPath_.c_str(), F_OK) != 0)
        result = ::linkat(fd_, "", AT_FDCWD, targetPath_.c_str(), AT_EMPTY_PATH);
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    errno = error;
    return result;
}

int OutputFile::renameNamed()
{
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
    return result;
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
    if (registration_)
        registration_->release();
}

}  // namespace jet::write
