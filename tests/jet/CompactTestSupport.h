// Shared pieces of the compaction tests: the Jet 3 / Jet 4 test databases with
// their passwords (from the manifest), scratch folders, file hashes, and the
// reader oracles' verdicts.
#pragma once

#include "support/TestData.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace compacttest {

namespace fs = std::filesystem;

struct TestDatabase {
    std::string name;
    std::string password;
    fs::path path;
};

// Jet 3 and Jet 4 files of the shared test data (by their version byte), with
// the database passwords the manifest lists.
inline std::vector<TestDatabase> jetDatabases()
{
    std::map<std::string, std::string> passwords;
    std::ifstream manifest(testdata::databasesDir() / "MANIFEST.md");
    for (std::string line; std::getline(manifest, line);) {
        if (line.rfind("| `", 0) != 0)
            continue;
        std::vector<std::string> cells;
        std::stringstream in(line);
        for (std::string cell; std::getline(in, cell, '|');)
            cells.push_back(cell);
        if (cells.size() < 8)
            continue;
        auto unquote = [](std::string s) {
            const auto a = s.find('`'), b = s.rfind('`');
            return a == std::string::npos || a == b ? std::string() : s.substr(a + 1, b - a - 1);
        };
        passwords[unquote(cells[1])] = unquote(cells[7]);
    }
    std::vector<TestDatabase> found;
    for (const auto &entry : fs::directory_iterator(testdata::databasesDir())) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::array<char, 0x18> head{};
        if (!file.read(head.data(), head.size()))
            continue;
        if (std::string(head.data() + 4, 15) != "Standard Jet DB" || (head[0x14] != 0 && head[0x14] != 1))
            continue;
        const std::string name = entry.path().filename().string();
        found.push_back({name, passwords[name], entry.path()});
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    return found;
}

// The copy renumbers object ids. mdb-reader's system section shows ids as
// object names only in the columns it knows; these files also hold ids in
// MSysNavPaneGroups.ObjectID (mapped by the copy, a bare number to the
// oracle) or an id naming no object whose number a table of the copy now has
// (given an unused number). CompactObjectIds checks those ids by name instead.
inline bool oracleShowsRenumberedIdsAsNumbers(const std::string &name)
{
    static const std::set<std::string> files = {
        "jackcess__V2000_indexTestV2000.mdb",          "jackcess__V2003_testIndexPropertiesV2003.mdb",
        "mdbreader__password_data_V2000_with-password.mdb", "mdbreader__password_data_V2003_no-password.mdb",
        "northwind-glogue__Northwind.mdb",             "ucanaccess__accessLike.mdb",
        "ucanaccess__noRoman.mdb",                     "ucanaccess__pivot.mdb",
        "ucanaccess__reservedWordLeave.mdb"};
    return files.count(name) != 0;
}

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string &label)
    {
        path_ = fs::temp_directory_path() / ("tessivar-" + label + "-" + std::to_string(::getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    const fs::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    std::size_t entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {})); }

private:
    fs::path path_;
};

inline std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string shellQuote(const std::string &s)
{
    std::string quoted = "'";
    for (char c : s)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct CommandResult {
    int status = -1;
    std::string output;
};

inline CommandResult run(const std::string &command)
{
    CommandResult result;
    FILE *pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe))
        result.output += buffer.data();
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The oracles need mdbtools and the mdb-reader package (scripts/setup.sh).
inline bool oraclesAvailable()
{
    const char *dir = std::getenv("MDB_READER_DIR");
    return fs::exists(testdata::oraclesDir() / "compare-content") && dir &&
           fs::exists(fs::path(dir) / "node_modules" / "mdb-reader") && run("command -v mdb-ver").status == 0 &&
           run("command -v node").status == 0;
}

inline CommandResult compareContent(const fs::path &source, const fs::path &target, const std::string &sourcePassword,
                                    const std::string &targetPassword)
{
    std::string command = shellQuote((testdata::oraclesDir() / "compare-content").string()) + " --system " +
                          shellQuote(source.string()) + " " + shellQuote(target.string());
    if (!sourcePassword.empty() || !targetPassword.empty())
        command += " " + shellQuote(sourcePassword) + " " + shellQuote(targetPassword);
    return run(command);
}

// The "# info" lines the mdb-reader oracle prints about a file.
inline std::string mdbReaderInfo(const fs::path &file, const std::string &password)
{
    std::string command = "node " + shellQuote((testdata::oraclesDir() / "dump-mdbreader.mjs").string()) + " " +
                          shellQuote(file.string());
    if (!password.empty())
        command += " " + shellQuote(password);
    return run(command + " | grep '^# info'").output;
}

}  // namespace compacttest

#define SKIP_WITHOUT_ORACLES()                                                                         \
    do {                                                                                               \
        if (!compacttest::oraclesAvailable())                                                          \
            GTEST_SKIP() << "reader oracles not available (mdbtools, node and MDB_READER_DIR with mdb-reader)"; \
    } while (0)
