#include "jet/convert/MemoryConversion.h"

#include "jet/PageSource.h"
#include "jet/convert/ConvertedHeader.h"

namespace jet::convert {

MemoryConversion convertInMemory(std::vector<std::uint8_t> source, const MemoryConversionRequest &request)
{
    const auto database =
        Database::open(std::make_unique<MemoryPageSource>(std::move(source), "source.mdb"), request.sourcePassword);
    const JetVersion target =
        database->header().version == JetVersion::Jet3 ? JetVersion::Jet4 : JetVersion::Jet3;
    checkConvertedPassword(database->header(), target, request.targetPassword);

    write::MemoryPageOutput out(request.outputSizeLimit);
    const ConversionSettings settings{target, request.targetPassword, "", request.sortMemoryBudget, {}};
    MemoryConversion result;
    result.outcome = writeConvertedCopy(*database, out, settings);
    out.resize(static_cast<std::uint64_t>(result.outcome.pageCount) * result.outcome.pageSize);
    result.copy = out.release();

    verifyConvertedCopy([&] { return Database::open(std::make_unique<MemoryPageSource>(result.copy, "copy.mdb"),
                                                    request.targetPassword); },
                        result.outcome.expected, result.outcome.copyNormaliser);
    return result;
}

}  // namespace jet::convert
