// Where the shared real databases and reader oracles are. Tests that need
// them call SKIP_WITHOUT_TESTDATA() first and skip with a clear message when
// the shared folder is not beside the checkout.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testdata {

inline std::filesystem::path sharedDir()
{
    if (const char *dir = std::getenv("TESSIVAR_SHARED_DIR"); dir && *dir)
        return dir;
    return TESSIVAR_SHARED_DIR;
}
inline std::filesystem::path databasesDir() { return sharedDir() / "testdata"; }
inline std::filesystem::path database(const std::string &name) { return databasesDir() / name; }
inline std::filesystem::path oraclesDir() { return sharedDir() / "oracles"; }
inline std::filesystem::path binaryDir() { return TESSIVAR_BINARY_DIR; }
inline bool available() { return std::filesystem::is_regular_file(databasesDir() / "MANIFEST.md"); }

}  // namespace testdata

#define SKIP_WITHOUT_TESTDATA()                                                                   \
    do {                                                                                          \
        if (!testdata::available())                                                               \
            GTEST_SKIP() << "shared test databases not found at " << testdata::databasesDir()    \
                         << " (set TESSIVAR_SHARED_DIR)";                                         \
    } while (0)
