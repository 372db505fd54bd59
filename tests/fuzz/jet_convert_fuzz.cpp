// libFuzzer target over the converter: convert any bytes in memory into the
// other format. The conversion verifies its own copy (checker, index keys and
// every table's values against the source's) before handing it back, so
// refusing the input with jet::Error is the only acceptable failure; a
// crash, a read or write out of bounds, a hang or any other exception is a
// fault.
#include "jet/Error.h"
#include "jet/convert/MemoryConversion.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    jet::convert::MemoryConversionRequest request;
    request.sortMemoryBudget = 16u << 20;
    try {
        jet::convert::convertInMemory(std::vector<std::uint8_t>(data, data + size), request);
    } catch (const jet::Error &) {
    }
    return 0;
}
