// The version information this executable carries, read back by the about
// box. The block is computed by the compiler from the project version that
// CMake passes in and kept in its own ELF section, which survives stripping.
// The link step names the symbol as undefined (app/CMakeLists.txt), so every
// program that links the app library carries the section.
#include "platform/VersionBlock.h"
#include "platform/VersionInfo.h"

#include <array>

#ifndef TESSIVAR_VERSION
#error "TESSIVAR_VERSION must name the project version"
#endif

namespace {

using namespace versionblock;

constexpr std::u16string_view kMaker = u"Tessivar Project";

constexpr StringEntry kStrings[] = {
    {u"CompanyName", kMaker},
    {u"FileDescription", u"MDBファイルを最適化します。"},
    {u"FileVersion", u"" TESSIVAR_VERSION},
    {u"InternalName", u""},
    {u"LegalCopyright", kMaker},
    {u"LegalTrademarks", u""},
    {u"OriginalFilename", u""},
    {u"ProductName", u"Tessivar"},
    {u"ProductVersion", u"1.0.0.0"},
    {u"Comments", u"Accessのデータベースファイルを最適化します。"},
};

constexpr Translation kTranslations[] = {{0x0411, 0x03A4}};  // Japanese, code page 932

constexpr VersionData kVersionData{
    FixedFileInfo{ParseVersion(TESSIVAR_VERSION), ParseVersion(TESSIVAR_VERSION)},
    u"041103A4",
    kStrings,
    true,
    kTranslations,
};

constexpr std::size_t kBlockSize = Build(kVersionData).size();

constexpr std::array<std::uint8_t, kBlockSize> BlockBytes()
{
    const std::vector<std::uint8_t> bytes = Build(kVersionData);
    std::array<std::uint8_t, kBlockSize> result{};
    for (std::size_t i = 0; i < kBlockSize; ++i)
        result[i] = bytes[i];
    return result;
}

}  // namespace

extern "C" __attribute__((section(".appversion"), used, retain, aligned(4)))
const std::array<std::uint8_t, kBlockSize> tessivar_version_resource = BlockBytes();
