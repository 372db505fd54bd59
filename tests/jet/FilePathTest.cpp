// Folder and name of a path, where the temporary copy and the spill files go.
#include "jet/FilePath.h"

#include <gtest/gtest.h>

TEST(FilePath, FolderAndNameOfBareRootedAndNestedPaths)
{
    EXPECT_EQ(jet::folderOf("db.mdb"), ".");
    EXPECT_EQ(jet::folderOf("/db.mdb"), "/");
    EXPECT_EQ(jet::folderOf("/srv/data/db.mdb"), "/srv/data");
    EXPECT_EQ(jet::folderOf("data/db.mdb"), "data");
    EXPECT_EQ(jet::fileNameOf("db.mdb"), "db.mdb");
    EXPECT_EQ(jet::fileNameOf("/srv/data/db.mdb"), "db.mdb");
    EXPECT_EQ(jet::fileNameOf("/srv/data/"), "");
}
