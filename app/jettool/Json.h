// Small helpers for the JSON lines of `tessivar-jet dump`.
#pragma once

#include "jet/Bytes.h"

#include <string>
#include <string_view>

namespace jettool {

// A JSON string literal (quotes included); control characters escaped.
std::string jsonString(std::string_view utf8);

// "hex:0a1b..." for binary values.
std::string hexText(jet::ByteSpan bytes);

}  // namespace jettool
