// The Jet 3 / Jet 4 databases among the shared test files, with the database
// passwords the manifest lists.
#pragma once

#include "support/TestData.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace testdata {

struct JetFile {
    std::string name;
    std::string password;
    std::string path() const { return database(name).string(); }
};

inline std::string knownPassword(const std::string &name)
{
    static const std::map<std::string, std::string> passwords = {
        {"mdbreader__password_data_V2000_with-password.mdb", "password"},
        {"psc-pwencrypt__password.mdb", "passw0rd"},
        {"ucanaccess__password.mdb", "ucanaccess"},
    };
    const auto found = passwords.find(name);
    return found == passwords.end() ? std::string() : found->second;
}

// Files whose byte 0x14 says Jet 3 (0) or Jet 4 (1), sorted by name.
inline std::vector<JetFile> jetFiles()
{
    std::vector<JetFile> files;
    if (!available())
        return files;
    for (const auto &entry : std::filesystem::directory_iterator(databasesDir())) {
        std::ifstream in(entry.path(), std::ios::binary);
        char head[0x20] = {};
        if (!in.read(head, sizeof head) || head[0] != 0 || (head[0x14] != 0 && head[0x14] != 1))
            continue;
        const std::string name = entry.path().filename().string();
        files.push_back({name, knownPassword(name)});
    }
    std::sort(files.begin(), files.end(), [](const JetFile &a, const JetFile &b) { return a.name < b.name; });
    return files;
}

// The jackcess files of which Microsoft's own converter made a Jet 3 copy
// (jackcess__V1997_X) from the Jet 4 one (jackcess__V2000_X).
inline constexpr const char *kTwins[] = {"compIndexTest", "delColTest", "delTest", "indexTest",
                                         "overflowTest",  "queryTest",  "test2",   "test"};

// "jackcess__V2000_XV2000.mdb" (Jet 4) or "jackcess__V1997_XV1997.mdb" (Jet 3).
inline std::string twinName(const std::string &twin, bool jet4)
{
    const std::string version = jet4 ? "V2000" : "V1997";
    return "jackcess__" + version + "_" + twin + version + ".mdb";
}
inline std::string twinPath(const std::string &twin, bool jet4) { return database(twinName(twin, jet4)).string(); }

}  // namespace testdata
