// The version information a file carries, read the way Windows reads a
// VERSIONINFO resource. On Linux the block lives in the executable's own
// ELF section ".appversion", laid out as platform/VersionBlock.h builds it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

// Name of the ELF section that holds the version block.
inline constexpr char kVersionSectionName[] = ".appversion";

// Size in bytes of the file's version block; 0 when the file has none or
// cannot be read.
std::uint32_t GetFileVersionInfoSizeW(const QString &fileName);

// Reads at most `length` bytes of the block into `data`. False when the block
// cannot be read; `data` is then empty.
bool GetFileVersionInfoW(const QString &fileName, std::uint32_t length, QByteArray &data);

// Looks a value up by a path such as "\VarFileInfo\Translation" or
// "\StringFileInfo\041103A4\ProductName" ("\" alone is the fixed part); keys
// compare without regard to letter case. On success `value` views the value
// inside `block` and `length` is its length: in characters, counting the
// terminating NUL, for a text value; in bytes for a binary one. False, with
// `length` 0, when the path is not found or the block is damaged.
bool VerQueryValueW(const QByteArray &block, const QString &subBlock, QByteArrayView &value,
                    std::uint32_t &length);
