// Small helpers for the JSON lines of `tessivar-jet dump`.
#pragma once

#include "jet/Bytes.h"

#include <ostream>
#include <string>
#include <string_view>

namespace jettool {

// A JSON string literal (quotes included); control characters escaped.
std::string jsonString(std::string_view utf8);

// A file that could not be read: its reason on standard error, and with
// --json also as the file's object, so that every file given gets one.
void reportUnreadableFile(const std::string &path, const std::string &reason, bool json, std::ostream &out,
                          std::ostream &err);

// "hex:0a1b..." for binary values.
std::string hexText(jet::ByteSpan bytes);

}  // namespace jettool
