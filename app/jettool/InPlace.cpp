#include "app/jettool/InPlace.h"

#include "jet/Error.h"
#include "jet/FilePath.h"
#include "jet/LockFile.h"
#include "jet/SystemErrorText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jettool {

namespace {

[[noreturn]] void fail(const std::string &message)
{
    throw jet::Error(jet::ErrorKind::Io, message + "。" + jet::systemErrorText(errno));
}

// A symbolic link stays a link: the file it points to is the one replaced.
std::string realPath(const std::string &path)
{
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        fail("データベース '" + path + "' が見つかりません");
    return resolved;
}

struct stat statOf(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        fail("データベース '" + path + "' の情報を読めません");
    return st;
}

bool sameContentState(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// The private folder and whatever is left in it are removed on every way out.
class WorkFolder {
public:
    explicit WorkFolder(const std::string &besideFolder)
    {
        std::string pattern = besideFolder + "/.tessivar-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            fail("フォルダー '" + besideFolder + "' に作業用のフォルダーを作れません");
        path_ = pattern;
    }
    ~WorkFolder()
    {
        for (const std::string &file : files_)
            ::unlink(file.c_str());
        ::rmdir(path_.c_str());
    }
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;

    std::string file(const std::string &name)
    {
        files_.push_back(path_ + "/" + name);
        return files_.back();
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

void keepOwnerAndMode(const std::string &copy, const struct stat &original)
{
    struct stat now = statOf(copy);
    if ((now.st_uid != original.st_uid || now.st_gid != original.st_gid) &&
        ::chown(copy.c_str(), original.st_uid, original.st_gid) != 0)
        fail("最適化したファイルに元の所有者とグループを付けられません。元のファイルはそのままです");
    if (::chmod(copy.c_str(), original.st_mode & 07777) != 0)
        fail("最適化したファイルに元のパーミッションを付けられません。元のファイルはそのままです");
}

void refuseIfInUse(const std::string &path)
{
    if (const auto message = jet::inUseMessage(path, jet::findInUse(path)))
        throw jet::Error(jet::ErrorKind::InUse, *message);
}

void syncFolder(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

InPlaceOutcome compactInPlace(const std::string &path, jet::CompactRequest request,
                              const std::optional<std::string> &backupSuffix)
{
    const std::string original = realPath(path);
    const struct stat before = statOf(original);
    if (!S_ISREG(before.st_mode))
        throw jet::Error(jet::ErrorKind::Argument, "'" + path + "' は通常のファイルではありません。");
    const std::string folder = jet::folderOf(original);
    WorkFolder work(folder);

    request.sourcePath = original;
    request.targetPath = work.file(jet::fileNameOf(original));
    InPlaceOutcome outcome;
    outcome.result = jet::compactDatabase(request);

    // Someone may have opened or written the database while it was copied.
    refuseIfInUse(original);
    if (!sameContentState(before, statOf(original)))
        throw jet::Error(jet::ErrorKind::InUse, "データベース '" + path +
                                                    "' は最適化の間に変更されました。元のファイルはそのままです。");
    keepOwnerAndMode(request.targetPath, before);

    if (backupSuffix) {
        const std::string link = work.file(jet::fileNameOf(original) + *backupSuffix);
        const std::string backup = original + *backupSuffix;
        if (::link(original.c_str(), link.c_str()) != 0)
            fail("元のファイルを '" + backup + "' として残せません。元のファイルはそのままです");
        if (::rename(link.c_str(), backup.c_str()) != 0)
            fail("元のファイルを '" + backup + "' として残せません。元のファイルはそのままです");
        outcome.backupPath = backup;
    }
    if (::rename(request.targetPath.c_str(), original.c_str()) != 0)
        fail("最適化したファイルで '" + path + "' を置き換えられません。元のファイルはそのままです");
    syncFolder(folder);
    return outcome;
}

}  // namespace jettool
