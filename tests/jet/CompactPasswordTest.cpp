// The target gets the password the request names: set, changed or removed,
// for Jet 3 and Jet 4; an encoded source gives an encoded copy.
#include "CompactTestSupport.h"

#include "jet/Compact.h"
#include "jet/Database.h"
#include "jet/Error.h"

using namespace compacttest;

namespace {

void compact(const std::string &sourceName, const std::string &target, const std::string &sourcePassword,
             const std::string &targetPassword, int engineType)
{
    jet::CompactRequest request;
    request.sourcePath = testdata::database(sourceName).string();
    request.sourcePassword = sourcePassword;
    request.targetPath = target;
    request.targetPassword = targetPassword;
    request.engineType = engineType;
    jet::compactDatabase(request);
}

bool opensWith(const std::string &path, const std::string &password)
{
    try {
        jet::Database::open(path, password);
        return true;
    } catch (const jet::Error &e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Password) << e.what();
        return false;
    }
}

struct PasswordCase {
    std::string source;
    std::string sourcePassword;
    std::string targetPassword;
    int engineType;
};

TEST(CompactPasswordTest, TargetOpensWithTheNewPasswordOnly)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-password");
    const std::vector<PasswordCase> cases = {
        {"mdbreader__password_data_V2003_no-password.mdb", "", "新しい鍵Ab1", 5},      // set, Jet 4 (UCS-2)
        {"mdbreader__password_data_V2000_with-password.mdb", "password", "changed!", 5},  // changed
        {"ucanaccess__password.mdb", "ucanaccess", "", 5},                                 // removed
        {"jackcess__V1997_testV1997.mdb", "", "Jet3pw", 4},                                // set, Jet 3
        {"psc-adoexamples__db1.mdb", "", "fourteen-chars", 4},                             // Jet 3 at its limit
    };
    for (const PasswordCase &c : cases) {
        SCOPED_TRACE(c.source);
        const std::string target = scratch.file(c.source);
        compact(c.source, target, c.sourcePassword, c.targetPassword, c.engineType);
        EXPECT_TRUE(opensWith(target, c.targetPassword));
        EXPECT_EQ(jet::Database::open(target, c.targetPassword)->header().password, c.targetPassword);
        if (!c.targetPassword.empty()) {
            EXPECT_FALSE(opensWith(target, c.sourcePassword.empty() ? "wrong" : c.sourcePassword));
        }
        if (oraclesAvailable()) {
            const std::string info = mdbReaderInfo(target, c.targetPassword);
            const std::string expected = c.targetPassword.empty() ? "(none)" : "\"" + c.targetPassword + "\"";
            EXPECT_NE(info.find("# info database-password " + expected), std::string::npos) << info;
            const CommandResult same = compareContent(testdata::database(c.source), target, c.sourcePassword,
                                                      c.targetPassword);
            if (oracleShowsRenumberedIdsAsNumbers(c.source))
                EXPECT_TRUE(same.output.find("mdbtools: same (content-sha256") != std::string::npos &&
                            same.output.find("mdb-reader: same (content-sha256") != std::string::npos)
                    << same.output;
            else
                EXPECT_EQ(same.status, 0) << same.output;
        }
    }
}

TEST(CompactPasswordTest, TooLongPasswordIsRefusedBeforeAnythingIsWritten)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-longpw");
    const struct {
        const char *source;
        const char *password;
        int engineType;
    } cases[] = {
        {"jackcess__V1997_testV1997.mdb", "fifteen-chars!!", 4},
        {"jackcess__V2000_testV2000.mdb", "twenty-one-characters", 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.source);
        try {
            compact(c.source, scratch.file("out.mdb"), "", c.password, c.engineType);
            ADD_FAILURE() << "accepted";
        } catch (const jet::Error &e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::Password);
            EXPECT_NE(std::string(e.what()).find("文字以内"), std::string::npos) << e.what();
        }
        EXPECT_EQ(scratch.entries(), 0u);
    }
}

TEST(CompactPasswordTest, EncodedSourceGivesEncodedCopyBothOraclesRead)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-encoded");
    const struct {
        const char *source;
        int engineType;
    } cases[] = {{"jackcessencrypt__db-enc.mdb", 5}, {"psc-secure__MSSECURE.MDW", 4}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.source);
        const std::string target = scratch.file(c.source);
        compact(c.source, target, "", "", c.engineType);
        const auto copy = jet::Database::open(target, "");
        EXPECT_TRUE(copy->header().encoded());
        // Encoded for real: no page past the header reads as a plain Jet page.
        const std::string bytes = readAll(target);
        const std::size_t pageSize = copy->file().pageSize();
        EXPECT_NE(static_cast<unsigned char>(bytes[2 * pageSize]), 0x02) << "the catalog page is stored in clear";
        if (oraclesAvailable()) {
            EXPECT_NE(mdbReaderInfo(target, "").find("# info encoding jet-rc4"), std::string::npos);
            const CommandResult same = compareContent(testdata::database(c.source), target, "", "");
            EXPECT_EQ(same.status, 0) << same.output;
        }
    }
}

}  // namespace
