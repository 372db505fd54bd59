// A shared back-end must stay shared after compaction: the copy takes the
// source's permission bits and group, not what the umask and the user's
// primary group would give.
#include "jet/Compact.h"
#include "jet/Error.h"

#include "support/TestData.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class CompactOwnership : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tessivar-ownership-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Compacts a copy of a real database that has `mode` and, where we may
    // set it, `group`; returns the target's status. Skips while the engine
    // cannot compact.
    struct stat compactCopy(mode_t mode, gid_t group)
    {
        const fs::path source = dir_ / "backend.mdb";
        fs::copy_file(testdata::database("jackcess__V2003_testIndexPropertiesV2003.mdb"), source);
        EXPECT_EQ(chmod(source.c_str(), mode), 0);
        if (chown(source.c_str(), static_cast<uid_t>(-1), group) != 0)
            ADD_FAILURE() << "could not give the source group " << group;
        jet::CompactRequest request;
        request.sourcePath = source.string();
        request.targetPath = (dir_ / "compact.mdb").string();
        struct stat target {};
        try {
            jet::compactDatabase(request);
        } catch (const jet::Error &error) {
            if (error.kind() == jet::ErrorKind::Unsupported)
                skipped_ = true;
            else
                ADD_FAILURE() << error.what();
            return target;
        }
        EXPECT_EQ(stat(request.targetPath.c_str(), &target), 0);
        return target;
    }

    fs::path dir_;
    bool skipped_ = false;
};

TEST_F(CompactOwnership, CopyKeepsTheSourcesModeWhateverTheUmask)
{
    SKIP_WITHOUT_TESTDATA();
    const mode_t oldMask = umask(077);
    const struct stat target = compactCopy(0664, getegid());
    umask(oldMask);
    if (skipped_)
        GTEST_SKIP() << "the engine cannot compact this format yet";
    EXPECT_EQ(target.st_mode & 07777, 0664u);
}

TEST_F(CompactOwnership, CopyKeepsTheSourcesGroup)
{
    SKIP_WITHOUT_TESTDATA();
    // Root may give any group; others only their own, which proves nothing.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the source a group other than ours";
    const gid_t shared = getegid() + 4242;
    const struct stat target = compactCopy(0660, shared);
    if (skipped_)
        GTEST_SKIP() << "the engine cannot compact this format yet";
    EXPECT_EQ(target.st_gid, shared);
    EXPECT_EQ(target.st_mode & 07777, 0660u);
}

}  // namespace
