// Parses the one-line JSON arrays of scalars the reader oracles print
// (null, true, false, numbers, strings). Enough for their row lines; not a
// general JSON parser.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace oracle {

struct JsonScalar {
    enum class Kind { Null, Boolean, Number, String };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;  // strings (UTF-8); numbers keep their source text too
};

// nullopt when `line` is not a flat JSON array of scalars.
std::optional<std::vector<JsonScalar>> parseJsonArray(const std::string &line);

}  // namespace oracle
