// The in-memory conversion is the converter the fuzzer drives: it must be the
// very converter of real runs, byte for byte, in both directions.
#include "CompactTestSupport.h"

#include "jet/Compact.h"
#include "jet/Error.h"
#include "jet/convert/MemoryConversion.h"

using namespace compacttest;

TEST(ConvertInMemoryTest, GivesTheBytesOfTheFileBackedCopy)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("convert-memory");
    const std::pair<const char *, int> files[] = {{"jackcess__V1997_testV1997.mdb", 5},
                                                  {"jackcess__V2000_delColTestV2000.mdb", 4}};
    for (const auto &[name, engineType] : files) {
        SCOPED_TRACE(name);
        jet::CompactRequest request;
        request.sourcePath = testdata::database(name).string();
        request.targetPath = scratch.file(std::string("file-") + name);
        request.engineType = engineType;
        jet::compactDatabase(request);

        const std::string source = readAll(request.sourcePath);
        const jet::convert::MemoryConversion copy =
            jet::convert::convertInMemory(std::vector<std::uint8_t>(source.begin(), source.end()), {});
        EXPECT_TRUE(std::string(copy.copy.begin(), copy.copy.end()) == readAll(request.targetPath));
    }
}

TEST(ConvertInMemoryTest, RefusalsAreErrors)
{
    SKIP_WITHOUT_TESTDATA();
    const std::string source = readAll(testdata::database("jackcess__V2000_fixedNumericTestV2000.mdb"));
    try {
        jet::convert::convertInMemory(std::vector<std::uint8_t>(source.begin(), source.end()), {});
        ADD_FAILURE() << "conversion succeeded";
    } catch (const jet::Error &e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Unsupported) << e.what();
    }
}
