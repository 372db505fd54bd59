#include "app/ProjectFile.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

TEST(ProjectFile, DefaultJobIsEmptyJet4WithOptionsOff)
{
    const TProjectFile job = DefaultProjectFile();
    EXPECT_TRUE(job.FSourceMdbPath.isEmpty());
    EXPECT_TRUE(job.FSourceMdbPassword.isEmpty());
    EXPECT_TRUE(job.FTargetMdbPath.isEmpty());
    EXPECT_TRUE(job.FTargetMdbPassword.isEmpty());
    EXPECT_EQ(job.FEngineType, 5);
    EXPECT_FALSE(job.FOptionAutoExit);
    EXPECT_FALSE(job.FAutoStart);
}

TEST(ProjectFile, MakeStoresAnyEngineTypeAndCopiesAreIndependent)
{
    TProjectFile a = MakeProjectFile(" a ", "p;w", "t", "", 3, true, true);
    EXPECT_EQ(a.FSourceMdbPath, " a ");
    EXPECT_EQ(a.FEngineType, 3);
    TProjectFile b = a;
    b.FSourceMdbPath = "changed";
    EXPECT_EQ(a.FSourceMdbPath, " a ");
}

TEST(ProjectFile, EngineTypeListMapping)
{
    EXPECT_EQ(EngineTypeFromListIndex(0), 4);
    EXPECT_EQ(EngineTypeFromListIndex(1), 5);
    EXPECT_EQ(EngineTypeFromListIndex(-1), 4);
    EXPECT_EQ(EngineTypeFromListIndex(2), 4);
    EXPECT_EQ(ListIndexFromEngineType(4), 0);
    EXPECT_EQ(ListIndexFromEngineType(5), 1);
    try {
        ListIndexFromEngineType(6);
        FAIL() << "engine type 6 accepted";
    } catch (const EArgumentException &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("EngineTypeが不正な値です。"));
    }
}
