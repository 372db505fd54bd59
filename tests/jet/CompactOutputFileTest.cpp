// The output file's safety rules: nothing existing is ever replaced, the
// source is never taken for the target, and an unfinished copy leaves no file.
#include "jet/Error.h"
#include "jet/write/InterruptCleanup.h"
#include "jet/write/OutputFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using jet::Error;
using jet::ErrorKind;
using jet::write::OutputFile;
using jet::write::checkTargetPath;

namespace {

class CompactOutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("tessivar-output-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        source_ = (dir_ / "source.mdb").string();
        std::ofstream(source_) << "source bytes";
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::size_t filesInDir() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }

    ErrorKind kindOf(const std::string &target) const
    {
        try {
            checkTargetPath(source_, target);
        } catch (const Error &e) {
            return e.kind();
        }
        return ErrorKind::Io;  // "no error" is never expected where this is used
    }

    fs::path dir_;
    std::string source_;
};

TEST_F(CompactOutputFileTest, RefusesExistingTargetsAndTheSourceUnderAnyName)
{
    EXPECT_NO_THROW(checkTargetPath(source_, (dir_ / "new.mdb").string()));

    std::ofstream((dir_ / "other.mdb").string()) << "x";
    EXPECT_EQ(kindOf((dir_ / "other.mdb").string()), ErrorKind::TargetExists);
    fs::create_symlink(dir_ / "missing", dir_ / "dangling.mdb");
    EXPECT_EQ(kindOf((dir_ / "dangling.mdb").string()), ErrorKind::TargetExists);

    EXPECT_EQ(kindOf(source_), ErrorKind::Argument);
    EXPECT_EQ(kindOf((dir_ / "." / "source.mdb").string()), ErrorKind::Argument);
    fs::create_hard_link(source_, dir_ / "hard.mdb");
    EXPECT_EQ(kindOf((dir_ / "hard.mdb").string()), ErrorKind::Argument);
    fs::create_symlink(source_, dir_ / "soft.mdb");
    EXPECT_EQ(kindOf((dir_ / "soft.mdb").string()), ErrorKind::Argument);
}

TEST_F(CompactOutputFileTest, ExistingTargetMessageSaysTheDatabaseExists)
{
    std::ofstream((dir_ / "other.mdb").string()) << "x";
    try {
        checkTargetPath(source_, (dir_ / "other.mdb").string());
        FAIL();
    } catch (const Error &e) {
        EXPECT_NE(std::string(e.what()).find("既に存在します"), std::string::npos) << e.what();
    }
}

TEST_F(CompactOutputFileTest, UncommittedFileLeavesNothingBehind)
{
    const std::string target = (dir_ / "target.mdb").string();
    {
        OutputFile out(target, source_);
        const std::uint8_t bytes[4] = {1, 2, 3, 4};
        out.write(0, bytes);
        EXPECT_TRUE(out.temporaryPath().empty()) << "an unnamed file where the file system has them";
        EXPECT_EQ(filesInDir(), 1u) << "nothing a killed process could leave";
        EXPECT_EQ(fs::file_size(out.readBackPath()), 4u);
    }
    {
        OutputFile out(target, source_, 0, OutputFile::Temporary::Named);
        const std::uint8_t bytes[4] = {1, 2, 3, 4};
        out.write(0, bytes);
        EXPECT_TRUE(fs::exists(out.temporaryPath()));
        EXPECT_EQ(fs::path(out.temporaryPath()).parent_path(), dir_);
    }
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(CompactOutputFileTest, NamedTemporaryIsRemovedByTheSignalCleanupUntilCommitted)
{
    OutputFile first((dir_ / "first.mdb").string(), source_, 0, OutputFile::Temporary::Named);
    OutputFile second((dir_ / "second.mdb").string(), source_, 0, OutputFile::Temporary::Named);
    second.commit();
    jet::write::removeRegisteredTemporaryFiles();
    EXPECT_FALSE(fs::exists(first.temporaryPath())) << "what a SIGTERM handler does";
    EXPECT_TRUE(fs::exists(dir_ / "second.mdb")) << "a committed copy is no longer the handler's";
}

TEST_F(CompactOutputFileTest, TargetNamesUpToTheLongestAllowedWorkOnBothRoads)
{
    for (const auto temporary : {OutputFile::Temporary::Unnamed, OutputFile::Temporary::Named}) {
        for (const std::size_t length : {236u, 237u, 255u}) {
            const std::string name = std::string(length - 4, temporary == OutputFile::Temporary::Named ? 'n' : 'u') + ".mdb";
            OutputFile out((dir_ / name).string(), source_, 0, temporary);
            const std::uint8_t bytes[2] = {5, 6};
            out.write(0, bytes);
            ASSERT_NO_THROW(out.commit()) << length;
            EXPECT_EQ(fs::file_size(dir_ / name), 2u);
        }
    }
    EXPECT_EQ(filesInDir(), 7u);
}

TEST_F(CompactOutputFileTest, LeftoversOfEarlierRunsAreFoundByTheirNamesOnly)
{
    for (const char *name : {".target.mdb.tessivar-ab12cd34", ".tessivar-0123abcd", ".other.mdb.tessivar-zzzzzzzz",
                             ".target.mdb.tessivar-AB12CD34", ".target.mdb.tessivar-ab12cd3", "target.mdb.tessivar-ab12cd34",
                             ".tessivar-sort-abc123"})
        std::ofstream((dir_ / name).string()) << "x";
    fs::create_directory(dir_ / ".dir.tessivar-ab12cd34");
    const std::vector<std::string> expected = {(dir_ / ".other.mdb.tessivar-zzzzzzzz").string(),
                                               (dir_ / ".target.mdb.tessivar-ab12cd34").string(),
                                               (dir_ / ".tessivar-0123abcd").string()};
    EXPECT_EQ(jet::write::leftoverTemporaryFiles((dir_ / "target.mdb").string()), expected);
}

TEST_F(CompactOutputFileTest, TargetThatIsAFolderIsNamedSo)
{
    fs::create_directory(dir_ / "folder.mdb");
    try {
        checkTargetPath(source_, (dir_ / "folder.mdb").string());
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Argument);
        EXPECT_NE(std::string(e.what()).find("はフォルダーです"), std::string::npos) << e.what();
    }
}

TEST_F(CompactOutputFileTest, SizeLimitFailsLikeAFullDisk)
{
    OutputFile out((dir_ / "target.mdb").string(), source_, 4096);
    std::vector<std::uint8_t> page(4096, 7);
    out.write(0, page);
    try {
        out.write(4096, page);
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Io);
        EXPECT_NE(std::string(e.what()).find("ディスクの空き領域"), std::string::npos) << e.what();
    }
}

TEST_F(CompactOutputFileTest, CommitKeepsSourcePermissionsAndNeverReplaces)
{
    ::chmod(source_.c_str(), 0640);
    const mode_t oldMask = ::umask(0077);
    const std::string target = (dir_ / "target.mdb").string();
    {
        OutputFile out(target, source_);
        const std::uint8_t bytes[3] = {9, 9, 9};
        out.write(0, bytes);
        out.commit();
    }
    ::umask(oldMask);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(fs::file_size(target), 3u);

    // A file that appears at the target while the copy is written wins.
    const std::string raced = (dir_ / "raced.mdb").string();
    OutputFile out(raced, source_);
    std::ofstream(raced) << "someone else's";
    EXPECT_THROW(out.commit(), Error);
    std::ifstream in(raced);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "someone else's");
}

}  // namespace
