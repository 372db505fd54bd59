// The in-memory compaction and conversion are what the fuzzers drive: they
// must be the very writer and converter of real runs, byte for byte.
#include "CompactTestSupport.h"

#include "jet/Compact.h"
#include "jet/Error.h"
#include "jet/convert/MemoryConversion.h"
#include "jet/write/MemoryCompaction.h"

using namespace compacttest;

namespace {

// The file-backed copy of a test file in the format of `engineType`, and the source's bytes.
std::pair<std::string, std::vector<std::uint8_t>> fileBackedCopy(const ScratchFolder &scratch, const char *name,
                                                                  int engineType)
{
    jet::CompactRequest request;
    request.sourcePath = testdata::database(name).string();
    request.targetPath = scratch.file(std::string("file-") + name);
    request.engineType = engineType;
    jet::compactDatabase(request);
    const std::string source = readAll(request.sourcePath);
    return {readAll(request.targetPath), std::vector<std::uint8_t>(source.begin(), source.end())};
}

std::vector<std::uint8_t> bytesOf(const char *name)
{
    const std::string source = readAll(testdata::database(name));
    return std::vector<std::uint8_t>(source.begin(), source.end());
}

}  // namespace

TEST(CompactInMemoryTest, GivesTheBytesOfTheFileBackedCopy)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-memory");
    const std::pair<const char *, int> files[] = {{"jackcess__V1997_testV1997.mdb", 4},
                                                  {"northwind-glogue__Northwind.mdb", 5}};
    for (const auto &[name, engineType] : files) {
        SCOPED_TRACE(name);
        auto [file, source] = fileBackedCopy(scratch, name, engineType);
        const jet::write::MemoryCompaction copy = jet::write::compactInMemory(std::move(source), {});
        EXPECT_TRUE(std::string(copy.copy.begin(), copy.copy.end()) == file);
    }
}

TEST(CompactInMemoryTest, ConversionGivesTheBytesOfTheFileBackedCopy)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("convert-memory");
    const std::pair<const char *, int> files[] = {{"jackcess__V1997_testV1997.mdb", 5},
                                                  {"jackcess__V2000_delColTestV2000.mdb", 4}};
    for (const auto &[name, engineType] : files) {
        SCOPED_TRACE(name);
        auto [file, source] = fileBackedCopy(scratch, name, engineType);
        const jet::convert::MemoryConversion copy = jet::convert::convertInMemory(std::move(source), {});
        EXPECT_TRUE(std::string(copy.copy.begin(), copy.copy.end()) == file);
    }
}

TEST(CompactInMemoryTest, SizeLimitFailsLikeAFullDisk)
{
    SKIP_WITHOUT_TESTDATA();
    jet::write::MemoryCompactionRequest request;
    request.outputSizeLimit = 4096;
    try {
        jet::write::compactInMemory(bytesOf("jackcess__V1997_testV1997.mdb"), request);
        ADD_FAILURE() << "compaction succeeded";
    } catch (const jet::Error &e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Io);
        EXPECT_NE(std::string(e.what()).find("ディスクの空き領域"), std::string::npos) << e.what();
    }
}

TEST(CompactInMemoryTest, ConversionRefusalsAreErrors)
{
    SKIP_WITHOUT_TESTDATA();
    try {
        jet::convert::convertInMemory(bytesOf("jackcess__V2000_fixedNumericTestV2000.mdb"), {});
        ADD_FAILURE() << "conversion succeeded";
    } catch (const jet::Error &e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Unsupported) << e.what();
    }
}
