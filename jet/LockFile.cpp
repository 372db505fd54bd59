#include "jet/LockFile.h"

#include "jet/Error.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace jet {
namespace {

struct PathParts {
    std::string folder;  // "" when the path names no folder
    std::string stem;    // the file name without its last extension
};

PathParts splitPath(const std::string &path)
{
    const auto slash = path.rfind('/');
    PathParts parts;
    std::string name = path;
    if (slash != std::string::npos) {
        parts.folder = path.substr(0, slash + 1);
        name = path.substr(slash + 1);
    }
    const auto dot = name.rfind('.');
    parts.stem = (dot == std::string::npos || dot == 0) ? name : name.substr(0, dot);
    return parts;
}

bool equalsIgnoringAsciiCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Windows clients reach a Samba share case-insensitively, so the engine may
// have created the lock file with other letter cases than the database has.
std::optional<std::string> findListedLockFile(const PathParts &parts)
{
    const std::string ldb = parts.stem + ".ldb";
    const std::string laccdb = parts.stem + ".laccdb";
    std::unique_ptr<DIR, int (*)(DIR *)> dir(opendir(parts.folder.empty() ? "." : parts.folder.c_str()),
                                             closedir);
    if (!dir)
        return std::nullopt;
    while (const dirent *entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (equalsIgnoringAsciiCase(name, ldb) || equalsIgnoringAsciiCase(name, laccdb))
            return parts.folder + name;
    }
    return std::nullopt;
}

// A folder we may enter but not list (mode 0711) hides its entries from
// readdir; the usual spellings are then asked for by name.
std::optional<std::string> findLockFileByName(const PathParts &parts)
{
    for (const char *extension : {".ldb", ".LDB", ".laccdb", ".LACCDB"}) {
        const std::string path = parts.folder + parts.stem + extension;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0)
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> findLockFile(const std::string &databasePath)
{
    const PathParts parts = splitPath(databasePath);
    if (auto listed = findListedLockFile(parts))
        return listed;
    return findLockFileByName(parts);
}

// One user slot of a lock file: the computer name, then the user name, each
// in a 32-byte field padded with NULs (or blanks).
constexpr std::size_t kNameBytes = 32;
constexpr std::size_t kSlotBytes = 2 * kNameBytes;
constexpr std::size_t kSlotsShown = 8;

std::optional<std::string> plainName(const char *field)
{
    std::string name(field, strnlen(field, kNameBytes));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (name.empty())
        return std::nullopt;
    for (const char c : name) {
        if (c < 0x20 || c > 0x7E)
            return std::nullopt;
    }
    return name;
}

std::vector<std::string> recordedUsers(int lockFd)
{
    char slots[kSlotBytes * kSlotsShown];
    const ssize_t length = pread(lockFd, slots, sizeof slots, 0);
    std::vector<std::string> users;
    for (std::size_t offset = 0; length > 0 && offset + kSlotBytes <= static_cast<std::size_t>(length);
         offset += kSlotBytes) {
        const auto computer = plainName(slots + offset);
        const auto user = plainName(slots + offset + kNameBytes);
        if (!computer)
            continue;
        const std::string entry = *computer + (user ? " (" + *user + ")" : "");
        if (std::find(users.begin(), users.end(), entry) == users.end())
            users.push_back(entry);
    }
    return users;
}

int openForLockTest(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

// flock locks live apart from fcntl locks on local file systems, so a
// program that uses them (flock(1) in scripts, some backup tools) is asked
// for separately: a non-blocking shared flock fails while anyone holds an
// exclusive one, as a writer does. The probe is shared so that two of our
// own probes at the same moment (two runs, two threads) never see each
// other as "in use"; a reader's shared flock does not bar a compaction.
// Where flock cannot be taken at all the answer is "not locked", as before.
bool flockedByOthers(int fd)
{
    if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
        flock(fd, LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

// Asks whether any lock that would conflict with a write lock over the whole
// file is held through another open file description (so also by Samba,
// Wine or any other process). Open-file-description locks are asked first:
// unlike the classic query they also see locks our own process took through
// another descriptor. Empty when the file system cannot answer.
std::optional<bool> lockedByOthers(int fd)
{
    struct flock query {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    query.l_start = 0;
    query.l_len = 0;
    if (fcntl(fd, F_OFD_GETLK, &query) != 0) {
        if (errno != EINVAL)
            return std::nullopt;
        query = {};
        query.l_type = F_WRLCK;
        query.l_whence = SEEK_SET;
        if (fcntl(fd, F_GETLK, &query) != 0)
            return std::nullopt;
    }
    if (query.l_type != F_UNLCK)
        return true;
    return flockedByOthers(fd);
}

InUseFinding findInUse(const std::string &databasePath, int databaseFd)
{
    InUseFinding finding;
    if (databaseFd >= 0)
        finding.locked = lockedByOthers(databaseFd).value_or(false);
    finding.lockFile = findLockFile(databasePath);
    if (!finding.lockFile)
        return finding;
    const int lockFd = openForLockTest(*finding.lockFile);
    const std::optional<bool> lockFileLocked = lockFd >= 0 ? lockedByOthers(lockFd) : std::nullopt;
    if (lockFd >= 0) {
        finding.recordedUsers = recordedUsers(lockFd);
        close(lockFd);
    }
    if (!lockFileLocked)
        finding.lockUnknown = true;
    else
        finding.locked = finding.locked || *lockFileLocked;
    return finding;
}

enum class ReadLock { Taken, Conflict, Unsupported };

ReadLock takeReadLock(int fd)
{
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return ReadLock::Taken;
    return (errno == EAGAIN || errno == EACCES) ? ReadLock::Conflict : ReadLock::Unsupported;
}

}  // namespace

InUseFinding findInUse(const std::string &databasePath)
{
    const int fd = openForLockTest(databasePath);
    InUseFinding finding = findInUse(databasePath, fd);
    if (fd >= 0)
        close(fd);
    return finding;
}

namespace {

std::string usersSentence(const std::vector<std::string> &users)
{
    if (users.empty())
        return {};
    std::string list;
    for (const std::string &user : users)
        list += (list.empty() ? "" : ", ") + user;
    return "ロックファイルに記録されている利用者: " + list + "。";
}

std::optional<std::string> mainMessage(const std::string &databasePath, const InUseFinding &finding)
{
    const std::string database = "データベース \"" + databasePath + "\" ";
    const std::string retry = "から、もう一度実行してください。";
    if (finding.locked && finding.lockFile)
        return database + "は他のプログラムが使用中です (ロックファイル \"" + *finding.lockFile +
               "\" がロックされています)。そのプログラムを終了して" + retry;
    if (finding.locked)
        return database + "は他のプログラムが使用中です (ファイルがロックされています)。"
                          "そのプログラムを終了して" + retry;
    if (finding.lockUnknown)
        return database + "は使用中の可能性があります (ロックファイル \"" + *finding.lockFile +
               "\" があります)。使用しているプログラムを終了してください。"
               "プログラムが異常終了した場合は、ロックファイルを削除して" + retry;
    if (finding.lockFile)
        return database + "のロックファイル \"" + *finding.lockFile +
               "\" が残っています。どのプログラムもロックしていないため、異常終了したプログラムが"
               "残したものと思われます。このデータベースを使用しているプログラムがないことを確かめ、"
               "ロックファイルを削除して" + retry;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> inUseMessage(const std::string &databasePath, const InUseFinding &finding)
{
    std::optional<std::string> message = mainMessage(databasePath, finding);
    if (message)
        *message += usersSentence(finding.recordedUsers);
    return message;
}

SourceLock &SourceLock::operator=(SourceLock &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

SourceLock::~SourceLock()
{
    if (fd_ >= 0)
        close(fd_);
}

SourceLock checkNotInUse(const std::string &databasePath)
{
    const int fd = openForLockTest(databasePath);
    SourceLock lock(fd);
    InUseFinding finding = findInUse(databasePath, fd);
    // A writer that locked the file since the test shows up here.
    const ReadLock readLock = fd >= 0 ? takeReadLock(fd) : ReadLock::Unsupported;
    finding.locked = finding.locked || readLock == ReadLock::Conflict;
    if (auto message = inUseMessage(databasePath, finding))
        throw Error(ErrorKind::InUse, *message);
    if (readLock != ReadLock::Taken)
        return SourceLock();
    return lock;
}

}  // namespace jet
