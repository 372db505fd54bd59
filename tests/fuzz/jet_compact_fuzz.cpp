// libFuzzer target over the writer: compact any bytes in memory; a copy the
// compaction hands back must pass the checker with no problem. Refusing the
// input with jet::Error is fine; a crash, a read or write out of bounds, or a
// copy with findings is a fault.
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/PageSource.h"
#include "jet/check/Checker.h"
#include "jet/write/MemoryCompaction.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void requireCleanCopy(const std::vector<std::uint8_t> &copy)
{
    const auto open = [&] { return jet::Database::open(std::make_unique<jet::MemoryPageSource>(copy, "copy.mdb"), ""); };
    const auto db = open();
    jet::CheckOptions options;
    options.reopen = open;
    const jet::CheckReport report = jet::checkDatabase(*db, options);
    if (report.clean())
        return;
    for (const jet::Finding &finding : report.findings)
        if (finding.severity == jet::Finding::Severity::Problem)
            std::fprintf(stderr, "the copy has a problem: %s\n", finding.message.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    jet::write::MemoryCompactionRequest request;
    request.sortMemoryBudget = 16u << 20;
    std::vector<std::uint8_t> copy;
    try {
        copy = jet::write::compactInMemory(std::vector<std::uint8_t>(data, data + size), request).copy;
    } catch (const jet::Error &) {
        return 0;
    }
    try {
        requireCleanCopy(copy);
    } catch (const jet::Error &e) {
        std::fprintf(stderr, "the copy cannot be read again: %s\n", e.what());
        std::abort();
    }
    return 0;
}
