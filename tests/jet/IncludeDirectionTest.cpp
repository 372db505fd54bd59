// The arrows between the engine's folders and the layers above it: a source
// file includes only project headers of its own folder and those below it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Folder (relative to the source root) -> the header folders it may include.
// A top-level engine file is one directly in jet/; "jet" below means those.
const std::map<std::string, std::vector<std::string>> kAllowed = {
    {"jet", {"jet"}},
    {"jet/keys", {"jet", "jet/keys", "jet/keys/data"}},
    {"jet/check", {"jet", "jet/keys", "jet/check"}},
    {"jet/convert", {"jet", "jet/keys", "jet/check", "jet/write", "jet/convert", "jet/convert/data"}},
    {"jet/write", {"jet", "jet/check", "jet/write"}},
    {"platform", {"jet", "jet/write", "platform"}},
    {"forms", {"forms"}},
    {"util", {"jet", "platform", "util"}},
};

std::string folderOfHeader(const std::string &header)
{
    const auto slash = header.find_last_of('/');
    return slash == std::string::npos ? "" : header.substr(0, slash);
}

bool allowed(const std::string &folder, const std::string &file, const std::string &headerFolder)
{
    // The entry for a compaction drives the checker, the writer and the converter.
    if (file == "jet/Compact.cpp" &&
        (headerFolder == "jet/check" || headerFolder == "jet/write" || headerFolder == "jet/convert"))
        return true;
    for (const std::string &ok : kAllowed.at(folder))
        if (headerFolder == ok)
            return true;
    return false;
}

std::vector<std::string> wrongWayIncludes()
{
    const fs::path root = TESSIVAR_SOURCE_DIR;
    std::vector<std::string> wrong;
    for (const auto &[folder, _] : kAllowed) {
        for (const auto &entry : fs::directory_iterator(root / folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
                continue;
            const std::string file = folder + "/" + entry.path().filename().string();
            std::ifstream in(entry.path());
            for (std::string line; std::getline(in, line);) {
                if (line.rfind("#include \"", 0) != 0)
                    continue;
                const std::string header = line.substr(10, line.find('"', 10) - 10);
                if (!allowed(folder, file, folderOfHeader(header)))
                    wrong.push_back(file + " -> " + header);
            }
        }
    }
    return wrong;
}

}  // namespace

TEST(IncludeDirection, NoFolderIncludesALayerAboveIt)
{
    EXPECT_EQ(wrongWayIncludes(), std::vector<std::string>{});
}
