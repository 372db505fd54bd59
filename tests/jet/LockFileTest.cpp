#include "jet/Compact.h"
#include "jet/Error.h"
#include "jet/LockFile.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A second process that holds an fcntl lock on a file until destroyed, the
// way Samba and Wine hold the locks of a program that has a database open.
class LockHolder {
public:
    LockHolder(const fs::path &file, short type, off_t start, off_t length)
    {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0)
            std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            const int fd = open(file.c_str(), type == F_WRLCK ? O_RDWR : O_RDONLY);
            struct flock lock {};
            lock.l_type = type;
            lock.l_whence = SEEK_SET;
            lock.l_start = start;
            lock.l_len = length;
            const char status = (fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0) ? 'y' : 'n';
            if (write(ready[1], &status, 1) != 1)
                _exit(1);
            char ignored;
            while (read(release[0], &ignored, 1) > 0) {
            }
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        releaseFd_ = release[1];
        char status = 'n';
        if (read(ready[0], &status, 1) != 1)
            status = 'n';
        close(ready[0]);
        locked_ = status == 'y';
    }
    ~LockHolder()
    {
        close(releaseFd_);
        waitpid(pid_, nullptr, 0);
    }
    bool locked() const { return locked_; }

private:
    pid_t pid_ = -1;
    int releaseFd_ = -1;
    bool locked_ = false;
};

// Asks from another process what lock, if any, blocks a write lock on the file.
short lockSeenByAnotherProcess(const fs::path &file)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(file.c_str(), O_RDONLY);
        struct flock query {};
        query.l_type = F_WRLCK;
        query.l_whence = SEEK_SET;
        if (fd < 0 || fcntl(fd, F_GETLK, &query) != 0)
            _exit(99);
        _exit(query.l_type);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? static_cast<short>(WEXITSTATUS(status)) : -1;
}

class LockFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tessivar-lockfile-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        database_ = dir_ / "Kunden.mdb";
        touch(database_);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, ignored);
        fs::remove_all(dir_, ignored);
    }
    static void touch(const fs::path &file) { std::ofstream(file) << std::string(4096, '\0'); }

    // The message checkNotInUse refuses with; empty when it lets the database pass.
    std::string refusal() const
    {
        try {
            jet::checkNotInUse(database_.string());
        } catch (const jet::Error &error) {
            EXPECT_EQ(error.kind(), jet::ErrorKind::InUse);
            return error.what();
        }
        return {};
    }

    fs::path dir_;
    fs::path database_;
};

TEST_F(LockFile, UnusedDatabasePassesAndStaysReadLockedUntilTheCompactionEnds)
{
    {
        const jet::SourceLock lock = jet::checkNotInUse(database_.string());
        EXPECT_TRUE(lock.held());
        EXPECT_EQ(lockSeenByAnotherProcess(database_), F_RDLCK);
    }
    EXPECT_EQ(lockSeenByAnotherProcess(database_), F_UNLCK);
}

TEST_F(LockFile, MissingDatabaseIsLeftToTheReader)
{
    const auto missing = (dir_ / "missing.mdb").string();
    EXPECT_NO_THROW(jet::checkNotInUse(missing));
    const jet::InUseFinding finding = jet::findInUse(missing);
    EXPECT_FALSE(finding.lockFile || finding.locked || finding.lockUnknown);
}

TEST_F(LockFile, LockFileBesideTheDatabaseIsFoundInAnyLetterCase)
{
    for (const char *name : {"Kunden.ldb", "KUNDEN.LDB", "kunden.Ldb", "Kunden.laccdb"}) {
        touch(dir_ / name);
        const jet::InUseFinding finding = jet::findInUse(database_.string());
        ASSERT_TRUE(finding.lockFile) << name;
        EXPECT_EQ(*finding.lockFile, (dir_ / name).string());
        EXPECT_FALSE(finding.locked);
        fs::remove(dir_ / name);
    }
    touch(dir_ / "Kunden2.ldb");
    touch(dir_ / "Kunden.mdb.ldb");
    EXPECT_FALSE(jet::findInUse(database_.string()).lockFile);
    EXPECT_EQ(refusal(), "");
}

TEST_F(LockFile, RelativePathFindsTheLockFileInTheCurrentFolder)
{
    touch(dir_ / "Kunden.ldb");
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    const jet::InUseFinding finding = jet::findInUse("Kunden.mdb");
    fs::current_path(before);
    ASSERT_TRUE(finding.lockFile);
    EXPECT_EQ(*finding.lockFile, "Kunden.ldb");
}

TEST_F(LockFile, StaleLockFileStillRefusesButSaysItLooksLeftOver)
{
    touch(dir_ / "Kunden.ldb");
    const std::string message = refusal();
    EXPECT_NE(message.find((dir_ / "Kunden.ldb").string()), std::string::npos) << message;
    EXPECT_NE(message.find("異常終了したプログラムが残したもの"), std::string::npos) << message;
    EXPECT_NE(message.find("ロックファイルを削除して"), std::string::npos) << message;
    EXPECT_EQ(lockSeenByAnotherProcess(database_), F_UNLCK) << "a refused database must not stay locked";
}

// A lock file's user slots: computer and user name, 32 bytes each.
std::string userSlot(const std::string &computer, const std::string &user)
{
    std::string slot(64, '\0');
    slot.replace(0, std::min<std::size_t>(computer.size(), 32), computer.substr(0, 32));
    slot.replace(32, user.size(), user);
    return slot;
}

TEST_F(LockFile, MessageNamesTheComputersTheLockFileRecords)
{
    std::ofstream(dir_ / "Kunden.ldb", std::ios::binary)
        << userSlot("PC-KASSE", "Admin") << userSlot("BUERO2", "") << std::string(64, '\xFF')
        << userSlot("PC-KASSE", "Admin") << userSlot("VIEL-ZU-LANG-" + std::string(40, 'X'), "Admin")
        << userSlot("HALB", "").substr(0, 40);
    const jet::InUseFinding finding = jet::findInUse(database_.string());
    EXPECT_EQ(finding.recordedUsers,
              (std::vector<std::string>{"PC-KASSE (Admin)", "BUERO2", "VIEL-ZU-LANG-" + std::string(19, 'X') + " (Admin)"}));
    EXPECT_NE(refusal().find("ロックファイルに記録されている利用者: PC-KASSE (Admin), BUERO2, VIEL"), std::string::npos)
        << refusal();
}

TEST_F(LockFile, LockFileLockedByAnotherProcessMeansInUse)
{
    touch(dir_ / "Kunden.ldb");
    // Jet locks single bytes far beyond the end of the lock file.
    for (short type : {F_WRLCK, F_RDLCK}) {
        LockHolder holder(dir_ / "Kunden.ldb", type, 0x10000001, 1);
        ASSERT_TRUE(holder.locked());
        const std::string message = refusal();
        EXPECT_NE(message.find("他のプログラムが使用中です"), std::string::npos) << message;
        EXPECT_NE(message.find((dir_ / "Kunden.ldb").string()), std::string::npos) << message;
        EXPECT_EQ(message.find("異常終了"), std::string::npos) << message;
    }
}

TEST_F(LockFile, DatabaseLockedByAnotherProcessMeansInUseEvenWithoutLockFile)
{
    for (short type : {F_WRLCK, F_RDLCK}) {
        LockHolder holder(database_, type, 0, 0);
        ASSERT_TRUE(holder.locked());
        const std::string message = refusal();
        EXPECT_NE(message.find("他のプログラムが使用中です (ファイルがロックされています)"), std::string::npos)
            << message;
    }
    EXPECT_EQ(refusal(), "");
}

TEST_F(LockFile, LockFileThatCannotBeTestedIsTreatedAsInUse)
{
    // Not a regular file: nobody can say whether it is locked.
    ASSERT_EQ(mkfifo((dir_ / "Kunden.ldb").c_str(), 0600), 0);
    std::string message = refusal();
    EXPECT_NE(message.find("使用中の可能性があります"), std::string::npos) << message;
    fs::remove(dir_ / "Kunden.ldb");

    if (geteuid() != 0) {  // root reads every file
        touch(dir_ / "Kunden.ldb");
        fs::permissions(dir_ / "Kunden.ldb", fs::perms::none);
        message = refusal();
        EXPECT_NE(message.find("使用中の可能性があります"), std::string::npos) << message;
    }
}

TEST_F(LockFile, FlockOnTheDatabaseOrItsLockFileMeansInUse)
{
    touch(dir_ / "Kunden.ldb");
    for (const fs::path &file : {database_, dir_ / "Kunden.ldb"}) {
        // flock locks of another open file conflict even within one process.
        const int fd = open(file.c_str(), O_RDONLY);
        ASSERT_EQ(flock(fd, LOCK_EX), 0);
        const std::string message = refusal();
        EXPECT_NE(message.find("他のプログラムが使用中です"), std::string::npos) << file << ": " << message;
        close(fd);
    }
    EXPECT_EQ(refusal().find("他のプログラムが使用中です"), std::string::npos) << "the flocks are gone";
    // A reader's shared flock (or another run's probe) is no writer.
    const int reader = open(database_.c_str(), O_RDONLY);
    ASSERT_EQ(flock(reader, LOCK_SH), 0);
    EXPECT_EQ(refusal().find("他のプログラムが使用中です"), std::string::npos) << "a shared flock";
    close(reader);
}

// A folder that may be entered but not listed (0711) hides the lock file from
// readdir. Root lists every folder, so then the check runs in a child that
// has given up root.
TEST_F(LockFile, LockFileInAFolderThatCannotBeListedIsFound)
{
    touch(dir_ / "Kunden.ldb");
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        if (DIR *listing = opendir(dir_.c_str())) {
            closedir(listing);
            _exit(4);
        }
        const jet::InUseFinding finding = jet::findInUse(database_.string());
        _exit(finding.lockFile == (dir_ / "Kunden.ldb").string() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not give up root";
    ASSERT_NE(WEXITSTATUS(status), 4) << "the folder could still be listed";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "lock file not found";
}

TEST_F(LockFile, CompactionChecksTheSourceBeforeAnythingElse)
{
    touch(dir_ / "Kunden.ldb");
    jet::CompactRequest request;
    request.sourcePath = database_.string();
    request.targetPath = (dir_ / "Kunden-compact.mdb").string();
    try {
        jet::compactDatabase(request);
        FAIL() << "compacted a database with a lock file beside it";
    } catch (const jet::Error &error) {
        EXPECT_EQ(error.kind(), jet::ErrorKind::InUse) << error.what();
    }
    EXPECT_FALSE(fs::exists(request.targetPath));
}

}  // namespace
