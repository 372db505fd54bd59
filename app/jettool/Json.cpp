#include "app/jettool/Json.h"

#include <cstdio>

namespace jettool {

std::string jsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

std::string hexText(jet::ByteSpan bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out = "hex:";
    out.reserve(4 + 2 * bytes.size());
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

void reportUnreadableFile(const std::string &path, const std::string &reason, bool json, std::ostream &out,
                          std::ostream &err)
{
    err << "tessivar-jet: " << reason << "\n";
    if (json)
        out << "{\"file\":" << jsonString(path) << ",\"error\":" << jsonString(reason) << "}\n";
}

}  // namespace jettool
