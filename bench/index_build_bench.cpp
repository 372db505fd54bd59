// Bulk index build speed: streams a few million synthetic, already sorted
// entries through IndexTreeWriter and prints entries per second, pages,
// tree height and peak memory. Pages are checked for size and dropped, so
// the figure is the builder's own cost.
//
//   build/bench/index_build_bench [entries, default 5000000]
#include "jet/write/IndexTreeWriter.h"

#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using jet::JetVersion;

namespace {

struct Shape {
    const char *name;
    JetVersion version;
    std::size_t keyBytes;  // a Long key is 5 bytes; short text keys ~20
};

long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void fillKey(std::vector<std::uint8_t> &key, std::uint64_t i)
{
    key[0] = 0x7F;
    for (std::size_t b = 1; b < key.size(); ++b)
        key[b] = 0x41;
    // The number sits in the last bytes, so neighbouring keys share a long
    // prefix, as in a text index over similar values.
    for (std::size_t b = 0; b < 4 && b + 1 < key.size(); ++b)
        key[key.size() - 1 - b] = static_cast<std::uint8_t>(i >> (8 * b));
}

void run(const Shape &shape, std::uint64_t count)
{
    std::uint32_t nextPage = 1000;
    std::uint64_t bytesOut = 0;
    jet::write::PageSink sink{[&] { return nextPage++; },
                              [&](std::uint32_t, jet::ByteSpan page) { bytesOut += page.size(); }};
    jet::write::IndexTreeWriter writer(jet::formatConstants(shape.version), 2, sink);
    std::vector<std::uint8_t> key(shape.keyBytes);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (std::uint64_t i = 0; i < count; ++i) {
        fillKey(key, i / 3);  // three rows per key value
        writer.add(key, {static_cast<std::uint32_t>(100 + i / 200), static_cast<std::uint8_t>(i % 200)});
    }
    const auto result = writer.finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%-22s %9llu entries  wall %6.3f s  CPU %6.3f s  %11.0f entries/CPU-s  %6zu pages  %u levels  "
                "%5.1f MB out  peak RSS %ld KiB\n",
                shape.name, static_cast<unsigned long long>(count), seconds, cpuSeconds, count / cpuSeconds,
                result.pages.size(), result.levels, bytesOut / 1e6, peakRssKiB());
}

}  // namespace

int main(int argc, char **argv)
{
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 5'000'000;
    const Shape shapes[] = {
        {"Jet 4, 5-byte keys", JetVersion::Jet4, 5},
        {"Jet 4, 20-byte keys", JetVersion::Jet4, 20},
        {"Jet 3, 20-byte keys", JetVersion::Jet3, 20},
        {"Jet 4, 200-byte keys", JetVersion::Jet4, 200},
    };
    for (const Shape &shape : shapes)
        run(shape, count);
    return 0;
}
