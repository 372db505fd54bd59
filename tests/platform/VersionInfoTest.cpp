// The ELF section reader and the version-block queries, over hand-built
// files and blocks, damaged ones included.
#include "platform/ElfSection.h"
#include "platform/VersionBlock.h"
#include "platform/VersionInfo.h"
#include "support/ElfFixture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace versionblock;

constexpr StringEntry kStrings[] = {
    {u"FileVersion", u"2.3.4.5"},
    {u"InternalName", u""},
    {u"ProductName", u"Tessivar"},
};
constexpr Translation kJapanese[] = {{0x0411, 0x03A4}};

QByteArray SampleBlock()
{
    const VersionData data{FixedFileInfo{ParseVersion("2.3.4.5"), ParseVersion("0.1")}, u"041103A4", kStrings,
                           true, kJapanese};
    return elffixture::FromBytes(Build(data));
}

QString TextOf(QByteArrayView value)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(value.data()), value.size() / 2);
}

class ElfFiles : public ::testing::Test {
protected:
    QString Put(const QString &name, const QByteArray &bytes)
    {
        const QString path = FDir.filePath(name);
        EXPECT_TRUE(elffixture::Write(path, bytes));
        return path;
    }
    QTemporaryDir FDir;
};

TEST_F(ElfFiles, FindsTheNamedSectionInBothClasses)
{
    const QByteArray block = SampleBlock();
    for (const QByteArray &file : {elffixture::Elf64({{".text", "code"}, {".appversion", block}}),
                                   elffixture::Elf32({{".text", "code"}, {".appversion", block}})}) {
        const QString path = Put(QStringLiteral("program"), file);
        EXPECT_EQ(GetFileVersionInfoSizeW(path), std::uint32_t(block.size()));
        QByteArray read;
        ASSERT_TRUE(GetFileVersionInfoW(path, GetFileVersionInfoSizeW(path), read));
        EXPECT_EQ(read, block);
    }
}

TEST_F(ElfFiles, NoSectionNoElfOrNoFileGiveSizeZero)
{
    EXPECT_EQ(GetFileVersionInfoSizeW(Put("plain", elffixture::Elf64({{".text", "code"}}))), 0u);
    // A name that only starts like the wanted one does not match.
    EXPECT_EQ(GetFileVersionInfoSizeW(Put("prefix", elffixture::Elf64({{".appversion2", "x"}}))), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeW(Put("text", "[OPTION]\r\nname=value\r\n")), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeW(Put("empty", QByteArray())), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeW(FDir.filePath("missing")), 0u);
    QByteArray data("stale");
    EXPECT_FALSE(GetFileVersionInfoW(FDir.filePath("missing"), 10, data));
    EXPECT_TRUE(data.isEmpty());
}

TEST_F(ElfFiles, TruncatedOrDamagedFilesAreRejectedNotTrusted)
{
    const QByteArray whole = elffixture::Elf64({{".appversion", SampleBlock()}});
    for (qsizetype length = 0; length < whole.size(); ++length) {
        const QString path = Put(QStringLiteral("cut"), whole.left(length));
        EXPECT_EQ(GetFileVersionInfoSizeW(path), 0u) << "cut at " << length;
    }
    // Every byte of the header and section table set to 0xFF in turn: the
    // reader may find the section or not, but must stay within the file.
    const qsizetype tableStart = whole.size() - 3 * qsizetype(sizeof(Elf64_Shdr));
    for (qsizetype i = 0; i < whole.size(); ++i) {
        if (i >= qsizetype(sizeof(Elf64_Ehdr)) && i < tableStart)
            continue;
        QByteArray damaged = whole;
        damaged[i] = char(0xFF);
        const QString path = Put(QStringLiteral("damaged"), damaged);
        QByteArray read;
        if (GetFileVersionInfoW(path, 0xFFFF, read)) {
            EXPECT_LE(read.size(), damaged.size());
        }
    }
}

TEST(VersionBlock, QueriesFixedPartTranslationAndStrings)
{
    const QByteArray block = SampleBlock();
    QByteArrayView value;
    std::uint32_t length = 0;

    ASSERT_TRUE(VerQueryValueW(block, QStringLiteral("\\"), value, length));
    ASSERT_EQ(length, kFixedInfoSize);
    const auto dword = [&value](int i) {
        std::uint32_t v;
        std::memcpy(&v, value.data() + 4 * i, 4);
        return v;
    };
    EXPECT_EQ(dword(0), kFixedSignature);
    EXPECT_EQ(dword(2), 0x00020003u);  // file version 2.3
    EXPECT_EQ(dword(3), 0x00040005u);  //              .4.5
    EXPECT_EQ(dword(4), 0x00000001u);  // product version 0.1
    EXPECT_EQ(dword(6), 0x3Fu);
    EXPECT_EQ(dword(8), 4u);
    EXPECT_EQ(dword(9), 1u);

    ASSERT_TRUE(VerQueryValueW(block, QStringLiteral("\\VarFileInfo\\Translation"), value, length));
    EXPECT_EQ(length, 4u);  // bytes
    EXPECT_EQ(dword(0), 0x03A40411u);

    ASSERT_TRUE(VerQueryValueW(block, QStringLiteral("\\StringFileInfo\\041103A4\\ProductName"), value, length));
    EXPECT_EQ(length, 9u);  // characters, the NUL counted
    EXPECT_EQ(TextOf(value), QStringLiteral("Tessivar") + QChar(0));

    // Keys compare without regard to case; an empty value still has its NUL.
    ASSERT_TRUE(VerQueryValueW(block, QStringLiteral("\\stringfileinfo\\041103a4\\internalname"), value, length));
    EXPECT_EQ(length, 1u);

    EXPECT_FALSE(VerQueryValueW(block, QStringLiteral("\\StringFileInfo\\040904B0\\ProductName"), value, length));
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(VerQueryValueW(block, QStringLiteral("\\StringFileInfo\\041103A4\\Comments"), value, length));
}

TEST(VersionBlock, DamagedBlocksNeverLeadOutsideTheBuffer)
{
    const QByteArray block = SampleBlock();
    const QString paths[] = {QStringLiteral("\\"), QStringLiteral("\\VarFileInfo\\Translation"),
                             QStringLiteral("\\StringFileInfo\\041103A4\\ProductName")};
    const auto check = [&paths](const QByteArray &candidate) {
        for (const QString &path : paths) {
            QByteArrayView value;
            std::uint32_t length = 0;
            if (VerQueryValueW(candidate, path, value, length)) {
                EXPECT_GE(value.data(), candidate.constData());
                EXPECT_LE(value.data() + value.size(), candidate.constData() + candidate.size());
            }
        }
    };
    for (qsizetype length = 0; length < block.size(); ++length)
        check(block.left(length));
    for (qsizetype i = 0; i < block.size(); ++i) {
        for (char byte : {char(0x00), char(0xFF), char(0x7F)}) {
            QByteArray damaged = block;
            damaged[i] = byte;
            check(damaged);
        }
    }
}

}  // namespace
