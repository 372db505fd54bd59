// tessivar-jet as scripts use it: tab-separated info lines, check's exit
// status, dump's JSON lines.
#include "JetTestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun runTool(const std::string &arguments)
{
    const std::string tool = (testdata::binaryDir() / "bin" / "tessivar-jet").string();
    ToolRun run;
    FILE *pipe = ::popen((tool + " " + arguments + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string quoted(const std::string &name) { return "'" + testdata::database(name).string() + "'"; }

}  // namespace

TEST(Tool, InfoListsTablesTabSeparated)
{
    SKIP_WITHOUT_TESTDATA();
    const ToolRun run = runTool("info " + quoted("northwind-glogue__Northwind.mdb"));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("format\tJet4\n"), std::string::npos);
    EXPECT_NE(run.out.find("page-size\t4096\n"), std::string::npos);
    EXPECT_NE(run.out.find("free-pages\t18\n"), std::string::npos) << "the manifest counts 18 free pages";
    EXPECT_NE(run.out.find("table\tOrder Details\t2155\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("system-table\tMSysObjects\t"), std::string::npos);

    const ToolRun linked = runTool("info " + quoted("ucanaccess__linked.mdb"));
    EXPECT_NE(linked.out.find("table\tTable1\t0\n"), std::string::npos) << "linked tables are listed with no rows";
}

TEST(Tool, PasswordsAndFormatsGiveClearMessages)
{
    SKIP_WITHOUT_TESTDATA();
    const ToolRun wrong = runTool("info " + quoted("ucanaccess__password.mdb") + " --password nope");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.out.find("パスワードが正しくありません。"), std::string::npos);
    EXPECT_EQ(runTool("info " + quoted("ucanaccess__password.mdb") + " --password ucanaccess").status, 0);
    const ToolRun ace = runTool("check " + quoted("jackcess__V2010_testV2010.accdb"));
    EXPECT_EQ(ace.status, 2);
    EXPECT_NE(ace.out.find("ACE (.accdb) 形式のデータベースはまだ扱えません。"), std::string::npos) << ace.out;
}

TEST(Tool, CheckExitsZeroWhenCleanAndDumpWritesJsonLines)
{
    SKIP_WITHOUT_TESTDATA();
    EXPECT_EQ(runTool("check " + quoted("psc-adoexamples__db1.mdb")).status, 0);
    const ToolRun dump = runTool("dump " + quoted("psc-adoexamples__db1.mdb"));
    ASSERT_EQ(dump.status, 0);
    EXPECT_EQ(dump.out.rfind("{\"table\":\"users\",\"columns\":[{\"name\":\"ID\",\"type\":\"Long\"", 0), 0u) << dump.out;
    EXPECT_NE(dump.out.find("{\"table\":\"users\",\"row\":[1,\"Ben\",\"Jones\",\"M\",26]}\n"), std::string::npos);
    EXPECT_EQ(dump.out, runTool("dump " + quoted("psc-adoexamples__db1.mdb")).out) << "deterministic";
}
