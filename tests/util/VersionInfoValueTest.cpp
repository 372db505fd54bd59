// GetVersionInfoValue over the real executable and over hand-made files
// without version data, without a translation entry and with another one.
#include "platform/Exceptions.h"
#include "platform/VersionBlock.h"
#include "support/ElfFixture.h"
#include "util/VersionInfoValue.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace versionblock;
using namespace std::literals;

enum Key : std::uint8_t { Comments = 0, CompanyName = 1, FileVersion = 3, InternalName = 4, LegalCopyright = 5,
                          PrivateBuild = 8, ProductName = 9, ProductVersion = 10 };

QString ProgramPath()
{
    return QString::fromStdString(std::string(TESSIVAR_BINARY_DIR) + "/bin/tessivar");
}

TEST(VersionInfoValue, ReadsTheProgramsOwnStrings)
{
    const QString program = ProgramPath();
    EXPECT_EQ(GetVersionInfoValue(program, ProductName), QStringLiteral("Tessivar"));
    EXPECT_EQ(GetVersionInfoValue(program, FileVersion), QStringLiteral("0.1.0.0"));
    EXPECT_EQ(GetVersionInfoValue(program, ProductVersion), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(GetVersionInfoValue(program, CompanyName), QStringLiteral("Tessivar Project"));
    EXPECT_EQ(GetVersionInfoValue(program, LegalCopyright), QStringLiteral("Tessivar Project"));
    EXPECT_EQ(GetVersionInfoValue(program, Comments), QStringLiteral("Accessのデータベースファイルを最適化します。"));
    EXPECT_EQ(GetVersionInfoValue(program, InternalName), QString());  // stored empty
    EXPECT_EQ(GetVersionInfoValue(program, PrivateBuild), QString());  // not stored
    EXPECT_EQ(GetVersionInfoValue(program, 12), QString());            // past the key table
    // Any program linking the app library carries the same block, this one too.
    EXPECT_EQ(GetVersionInfoValue(ProductName), QStringLiteral("Tessivar"));
}

class VersionFiles : public ::testing::Test {
protected:
    QString Put(const QByteArray &file)
    {
        const QString path = FDir.filePath(QStringLiteral("program"));
        EXPECT_TRUE(elffixture::Write(path, file));
        return path;
    }
    QString PutBlock(const VersionData &data)
    {
        return Put(elffixture::Elf64({{".appversion", elffixture::FromBytes(Build(data))}}));
    }
    QTemporaryDir FDir;
};

constexpr StringEntry kStrings[] = {{u"ProductName", u"Tessivar"}, {u"Comments", u"ある\0隠れた"sv}};

TEST_F(VersionFiles, NoVersionDataGivesEmptyValues)
{
    const QString path = Put(elffixture::Elf64({{".text", "code"}}));
    for (std::uint8_t key = 0; key < VersionInfoKeys.size(); ++key)
        EXPECT_EQ(GetVersionInfoValue(path, key), QString());
}

TEST_F(VersionFiles, MissingTranslationRaisesTheReadError)
{
    const VersionData emptyList{FixedFileInfo{}, u"041103A4", kStrings, true, {}};
    const VersionData noVarFileInfo{FixedFileInfo{}, u"041103A4", kStrings, false, {}};
    for (const VersionData &data : {emptyList, noVarFileInfo}) {
        const QString path = PutBlock(data);
        try {
            GetVersionInfoValue(path, ProductName);
            ADD_FAILURE() << "no exception";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("情報の取得に失敗しました"));
        }
    }
}

TEST_F(VersionFiles, OnlyTheFirstTranslationsTableIsSearched)
{
    constexpr Translation usFirst[] = {{0x0409, 0x04B0}, {0x0411, 0x03A4}};
    EXPECT_EQ(GetVersionInfoValue(PutBlock({FixedFileInfo{}, u"041103A4", kStrings, true, usFirst}), ProductName),
              QString());
    EXPECT_EQ(GetVersionInfoValue(PutBlock({FixedFileInfo{}, u"040904B0", kStrings, true, usFirst}), ProductName),
              QStringLiteral("Tessivar"));
}

TEST_F(VersionFiles, ValueEndsAtItsFirstNul)
{
    constexpr Translation japanese[] = {{0x0411, 0x03A4}};
    const QString path = PutBlock({FixedFileInfo{}, u"041103A4", kStrings, true, japanese});
    EXPECT_EQ(GetVersionInfoValue(path, Comments), QStringLiteral("ある"));
}

}  // namespace
