// Compaction of every Jet 3 and Jet 4 test database: the copy holds the same
// content by both independent readers, checks clean, is not larger than the
// source, and the source is byte for byte what it was.
#include "CompactTestSupport.h"

#include "jet/Checker.h"
#include "jet/Compact.h"
#include "jet/Error.h"

using namespace compacttest;

namespace {

jet::CompactResult compact(const fs::path &source, const std::string &target, const std::string &sourcePassword,
                           const std::string &targetPassword, int engineType)
{
    jet::CompactRequest request;
    request.sourcePath = source.string();
    request.sourcePassword = sourcePassword;
    request.targetPath = target;
    request.targetPassword = targetPassword;
    request.engineType = engineType;
    return jet::compactDatabase(request);
}

int engineTypeOf(const fs::path &file)
{
    const std::string head = readAll(file).substr(0, 0x18);
    return head[0x14] == 0 ? 4 : 5;
}

// The shared folder names this one file as damaged: it may fail, but cleanly.
bool knownDamaged(const std::string &name) { return name == "psc-adoexamples__db2.mdb"; }

TEST(CompactDatabaseTest, EveryJetTestDatabaseCompactsToTheSameContent)
{
    SKIP_WITHOUT_TESTDATA();
    const bool oracles = oraclesAvailable();
    ScratchFolder scratch("compact-all");
    const auto databases = jetDatabases();
    ASSERT_GE(databases.size(), 40u);
    for (const TestDatabase &db : databases) {
        SCOPED_TRACE(db.name);
        const std::string before = readAll(db.path);
        const std::string target = scratch.file(db.name);
        try {
            const jet::CompactResult result = compact(db.path, target, db.password, db.password, engineTypeOf(db.path));
            EXPECT_LE(result.targetBytes, result.sourceBytes);
            EXPECT_EQ(fs::file_size(target), result.targetBytes);
        } catch (const jet::Error &e) {
            EXPECT_TRUE(knownDamaged(db.name)) << e.what();
            EXPECT_FALSE(fs::exists(target));
            EXPECT_EQ(scratch.entries(), 0u) << "temporary files left behind";
            EXPECT_EQ(readAll(db.path), before);
            continue;
        }
        EXPECT_EQ(readAll(db.path), before) << "the source changed";
        const jet::CheckReport report = jet::checkFile(target, db.password);
        for (const jet::Finding &finding : report.findings)
            EXPECT_NE(finding.severity, jet::Finding::Severity::Problem) << finding.format();
        if (oracles) {
            const CommandResult same = compareContent(db.path, target, db.password, db.password);
            EXPECT_EQ(same.status, 0) << same.output;
        }
        fs::remove(target);
    }
}

}  // namespace
