// Reads one standard string of the version information that the running
// executable carries (see platform/VersionInfo.h).
#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The twelve standard version-string names, in alphabetical order.
inline constexpr std::array<const char *, 12> VersionInfoKeys = {
    "Comments",       "CompanyName",      "FileDescription", "FileVersion",
    "InternalName",   "LegalCopyright",   "LegalTrademarks", "OriginalFilename",
    "PrivateBuild",   "ProductName",      "ProductVersion",  "SpecialBuild",
};

// The value of VersionInfoKeys[keyIndex] in the string table of the first
// translation of the running executable's version information. Empty when the
// executable has none, the string is missing, or keyIndex is past the table.
// Throws Exception("情報の取得に失敗しました") when the version information
// has no translation entry.
QString GetVersionInfoValue(std::uint8_t keyIndex);

// The same for another file.
QString GetVersionInfoValue(const QString &fileName, std::uint8_t keyIndex);

// Makes GetVersionInfoValue(keyIndex) read another file than the running
// executable (empty: the executable again); for tests of its callers.
void SetVersionInfoFile(const QString &fileName);
