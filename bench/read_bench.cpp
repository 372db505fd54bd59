// Reading speed of the Jet reader next to the physical limit: for each of the
// largest test databases, the time to read the file's bytes, to walk every
// live row of every table, and to decode every value (long values included),
// all in this process with the file in the OS cache. Prints MB/s of file size.
//
//   build/bench/read_bench [FILE...]   (default: the largest Jet files in
//                                       $TESSIVAR_SHARED_DIR/testdata or ../shared/testdata)
#include "jet/Database.h"
#include "jet/Error.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRepeats = 15;

// Best of kRepeats, in seconds.
double bestTime(const std::function<void()> &work)
{
    double best = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

std::uint64_t readBytes(const std::string &path)
{
    std::vector<char> buffer(1 << 20);
    std::FILE *file = std::fopen(path.c_str(), "rb");
    std::uint64_t total = 0, checksum = 0;
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        total += got;
        checksum += static_cast<unsigned char>(buffer[got - 1]);
    }
    std::fclose(file);
    return total + checksum;
}

std::uint64_t walkRows(const std::string &path, bool decode)
{
    const auto db = jet::Database::open(path, "");
    std::uint64_t rows = 0;
    std::vector<jet::Value> values;
    for (const jet::TableEntry &table : db->catalog().tables) {
        if (!table.isLocal())
            continue;
        const jet::TableDef def = db->tableDef(table);
        if (!decode) {
            jet::TableScan scan(db->file(), def, table.name);
            while (scan.next())
                rows += scan.row().bytes.size() > 0;
            continue;
        }
        db->forEachRow(def, table.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
            decoder.values(values, where);
            ++rows;
        });
    }
    return rows;
}

std::vector<std::string> defaultFiles()
{
    const char *shared = std::getenv("TESSIVAR_SHARED_DIR");
    std::vector<fs::path> dirs = {shared ? fs::path(shared) / "testdata" : fs::path("../shared/testdata"),
                                  "../../shared/testdata"};
    for (const fs::path &dir : dirs) {
        if (!fs::is_directory(dir))
            continue;
        std::vector<std::pair<std::uintmax_t, std::string>> files;
        for (const auto &entry : fs::directory_iterator(dir))
            if (entry.path().extension() == ".mdb")
                files.push_back({entry.file_size(), entry.path().string()});
        std::sort(files.rbegin(), files.rend());
        std::vector<std::string> largest;
        for (std::size_t i = 0; i < files.size() && i < 3; ++i)
            largest.push_back(files[i].second);
        return largest;
    }
    return {};
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> files(argv + 1, argv + argc);
    if (files.empty())
        files = defaultFiles();
    if (files.empty()) {
        std::cerr << "no test databases found; pass files or set TESSIVAR_SHARED_DIR\n";
        return 1;
    }
    std::printf("%-45s %8s %12s %12s %12s %8s\n", "file", "MB", "bytes MB/s", "rows MB/s", "values MB/s", "rows");
    for (const std::string &path : files) {
        try {
            const double megabytes = static_cast<double>(fs::file_size(path)) / 1e6;
            const std::uint64_t rows = walkRows(path, true);
            const double bytesTime = bestTime([&] { readBytes(path); });
            const double rowsTime = bestTime([&] { walkRows(path, false); });
            const double valuesTime = bestTime([&] { walkRows(path, true); });
            std::printf("%-45s %8.2f %12.0f %12.0f %12.0f %8llu\n", fs::path(path).filename().string().c_str(), megabytes,
                        megabytes / bytesTime, megabytes / rowsTime, megabytes / valuesTime,
                        static_cast<unsigned long long>(rows));
        } catch (const jet::Error &error) {
            std::printf("%-45s error: %s\n", fs::path(path).filename().string().c_str(), error.what());
        }
    }
    return 0;
}
