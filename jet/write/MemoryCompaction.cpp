#include "jet/write/MemoryCompaction.h"

#include "jet/Database.h"
#include "jet/PageSource.h"
#include "jet/write/CopyVerifier.h"
#include "jet/write/HeaderPage.h"
#include "jet/write/PageOutput.h"

namespace jet::write {

MemoryCompaction compactInMemory(std::vector<std::uint8_t> source, const MemoryCompactionRequest &request)
{
    const auto database =
        Database::open(std::make_unique<MemoryPageSource>(std::move(source), "source.mdb"), request.sourcePassword);
    checkTargetPassword(database->header(), request.targetPassword);

    MemoryPageOutput out(request.outputSizeLimit);
    const CompactionSettings settings{request.targetPassword, "", request.sortMemoryBudget, {}};
    MemoryCompaction result;
    result.outcome = writeCompactedCopy(*database, out, settings);
    out.resize(static_cast<std::uint64_t>(result.outcome.pageCount) * database->file().pageSize());
    result.copy = out.release();

    verifyCopy([&] { return Database::open(std::make_unique<MemoryPageSource>(result.copy, "copy.mdb"),
                                           request.targetPassword); },
               result.outcome.expected);
    return result;
}

}  // namespace jet::write
