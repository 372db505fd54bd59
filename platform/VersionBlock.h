// Builds a version-information block in the binary layout Windows uses for
// its VERSIONINFO resource (VS_VERSIONINFO with VS_FIXEDFILEINFO, one
// StringFileInfo table and a VarFileInfo translation list). Everything is
// constexpr so that the program's own block is computed by the compiler and
// placed in the executable, and tests build their variants with the same code.
//
// Every node is: WORD wLength, WORD wValueLength, WORD wType (1 text, 0 binary),
// a NUL-terminated UTF-16 key, padding to 4 bytes, the value, padding to 4
// bytes, then the child nodes, each starting on a 4-byte boundary. All
// numbers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace versionblock {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::uint32_t kFixedStructVersion = 0x00010000;
constexpr std::uint16_t kFixedInfoSize = 13 * 4;  // VS_FIXEDFILEINFO
constexpr std::uint16_t kTypeBinary = 0;
constexpr std::uint16_t kTypeText = 1;

// Four-part version number, most significant part first.
struct Version {
    std::uint16_t Parts[4] = {};

    constexpr std::uint32_t Ms() const { return std::uint32_t(Parts[0]) << 16 | Parts[1]; }
    constexpr std::uint32_t Ls() const { return std::uint32_t(Parts[2]) << 16 | Parts[3]; }
};

// "a.b.c.d" (missing parts are 0, anything after the fourth part is ignored).
constexpr Version ParseVersion(std::string_view text)
{
    Version version;
    int part = 0;
    for (char c : text) {
        if (c == '.') {
            if (++part == 4)
                break;
        } else if (c >= '0' && c <= '9') {
            version.Parts[part] = std::uint16_t(version.Parts[part] * 10 + (c - '0'));
        }
    }
    return version;
}

struct FixedFileInfo {
    Version FileVersion;
    Version ProductVersion;
    std::uint32_t FileFlagsMask = 0x3F;
    std::uint32_t FileFlags = 0;
    std::uint32_t FileOS = 4;    // 32-bit Windows
    std::uint32_t FileType = 1;  // application
    std::uint32_t FileSubtype = 0;
};

struct StringEntry {
    std::u16string_view Key;
    std::u16string_view Value;
};

// One language/code-page pair of the translation list.
struct Translation {
    std::uint16_t Language = 0;
    std::uint16_t CodePage = 0;
};

struct VersionData {
    FixedFileInfo Fixed;
    std::u16string_view StringTableName;  // such as u"041103A4"; empty: no StringFileInfo
    std::span<const StringEntry> Strings;
    bool HasVarFileInfo = true;
    std::span<const Translation> Translations;  // may be empty: a translation value of length 0
};

class Writer {
public:
    constexpr void Word(std::uint16_t value)
    {
        FBytes.push_back(std::uint8_t(value & 0xFF));
        FBytes.push_back(std::uint8_t(value >> 8));
    }
    constexpr void Dword(std::uint32_t value)
    {
        Word(std::uint16_t(value & 0xFFFF));
        Word(std::uint16_t(value >> 16));
    }
    constexpr void Text(std::u16string_view text)
    {
        for (char16_t c : text)
            Word(c);
        Word(0);
    }
    constexpr void Align()
    {
        while (FBytes.size() % 4 != 0)
            FBytes.push_back(0);
    }
    // Writes the header and key of a node; returns where it starts.
    constexpr std::size_t Begin(std::u16string_view key, std::uint16_t valueLength, std::uint16_t type)
    {
        Align();
        const std::size_t start = FBytes.size();
        Word(0);
        Word(valueLength);
        Word(type);
        Text(key);
        Align();
        return start;
    }
    // Patches the node's total length (the padding after it is not counted).
    constexpr void End(std::size_t start)
    {
        const std::size_t length = FBytes.size() - start;
        FBytes[start] = std::uint8_t(length & 0xFF);
        FBytes[start + 1] = std::uint8_t(length >> 8);
    }
    constexpr std::vector<std::uint8_t> Take() { return std::move(FBytes); }

private:
    std::vector<std::uint8_t> FBytes;
};

constexpr void WriteFixed(Writer &out, const FixedFileInfo &fixed)
{
    out.Dword(kFixedSignature);
    out.Dword(kFixedStructVersion);
    out.Dword(fixed.FileVersion.Ms());
    out.Dword(fixed.FileVersion.Ls());
    out.Dword(fixed.ProductVersion.Ms());
    out.Dword(fixed.ProductVersion.Ls());
    out.Dword(fixed.FileFlagsMask);
    out.Dword(fixed.FileFlags);
    out.Dword(fixed.FileOS);
    out.Dword(fixed.FileType);
    out.Dword(fixed.FileSubtype);
    out.Dword(0);  // file date, most significant part
    out.Dword(0);  // file date, least significant part
}

constexpr void WriteStrings(Writer &out, const VersionData &data)
{
    const std::size_t info = out.Begin(u"StringFileInfo", 0, kTypeText);
    const std::size_t table = out.Begin(data.StringTableName, 0, kTypeText);
    for (const StringEntry &entry : data.Strings) {
        // The stored length counts the terminating NUL, in characters.
        const std::size_t node = out.Begin(entry.Key, std::uint16_t(entry.Value.size() + 1), kTypeText);
        out.Text(entry.Value);
        out.End(node);
    }
    out.End(table);
    out.End(info);
}

constexpr void WriteTranslations(Writer &out, const VersionData &data)
{
    const std::size_t info = out.Begin(u"VarFileInfo", 0, kTypeText);
    const std::size_t var = out.Begin(u"Translation", std::uint16_t(data.Translations.size() * 4), kTypeBinary);
    for (const Translation &translation : data.Translations)
        out.Dword(std::uint32_t(translation.CodePage) << 16 | translation.Language);
    out.End(var);
    out.End(info);
}

constexpr std::vector<std::uint8_t> Build(const VersionData &data)
{
    Writer out;
    const std::size_t root = out.Begin(u"VS_VERSION_INFO", kFixedInfoSize, kTypeBinary);
    WriteFixed(out, data.Fixed);
    if (!data.StringTableName.empty())
        WriteStrings(out, data);
    if (data.HasVarFileInfo)
        WriteTranslations(out, data);
    out.End(root);
    return out.Take();
}

}  // namespace versionblock
