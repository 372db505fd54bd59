// The in-memory compaction is the writer the fuzzer drives: it must be the
// very writer of real runs, byte for byte.
#include "CompactTestSupport.h"

#include "jet/Compact.h"
#include "jet/Error.h"
#include "jet/write/MemoryCompaction.h"

using namespace compacttest;

TEST(CompactInMemoryTest, GivesTheBytesOfTheFileBackedCopy)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-memory");
    const std::pair<const char *, int> files[] = {{"jackcess__V1997_testV1997.mdb", 4},
                                                  {"northwind-glogue__Northwind.mdb", 5}};
    for (const auto &[name, engineType] : files) {
        SCOPED_TRACE(name);
        jet::CompactRequest request;
        request.sourcePath = testdata::database(name).string();
        request.targetPath = scratch.file(std::string("file-") + name);
        request.engineType = engineType;
        jet::compactDatabase(request);

        const std::string source = readAll(request.sourcePath);
        const jet::write::MemoryCompaction copy =
            jet::write::compactInMemory(std::vector<std::uint8_t>(source.begin(), source.end()), {});
        EXPECT_TRUE(std::string(copy.copy.begin(), copy.copy.end()) == readAll(request.targetPath));
    }
}

TEST(CompactInMemoryTest, SizeLimitFailsLikeAFullDisk)
{
    SKIP_WITHOUT_TESTDATA();
    const std::string source = readAll(testdata::database("jackcess__V1997_testV1997.mdb"));
    jet::write::MemoryCompactionRequest request;
    request.outputSizeLimit = 4096;
    try {
        jet::write::compactInMemory(std::vector<std::uint8_t>(source.begin(), source.end()), request);
        ADD_FAILURE() << "compaction succeeded";
    } catch (const jet::Error &e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Io);
        EXPECT_NE(std::string(e.what()).find("ディスクの空き領域"), std::string::npos) << e.what();
    }
}
