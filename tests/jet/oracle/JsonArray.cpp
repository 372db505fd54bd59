#include "JsonArray.h"

#include "jet/Text.h"

#include <cstdlib>

namespace oracle {

namespace {

class Parser {
public:
    explicit Parser(const std::string &s) : s_(s) {}

    std::optional<std::vector<JsonScalar>> array()
    {
        std::vector<JsonScalar> values;
        if (!consume('['))
            return std::nullopt;
        skipSpace();
        if (consume(']'))
            return values;
        for (;;) {
            auto value = scalar();
            if (!value)
                return std::nullopt;
            values.push_back(*value);
            skipSpace();
            if (consume(']'))
                return values;
            if (!consume(','))
                return std::nullopt;
        }
    }

private:
    void skipSpace()
    {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t'))
            ++i_;
    }
    bool consume(char c)
    {
        skipSpace();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool literal(const char *word)
    {
        const std::string w(word);
        if (s_.compare(i_, w.size(), w) != 0)
            return false;
        i_ += w.size();
        return true;
    }

    std::optional<JsonScalar> scalar()
    {
        skipSpace();
        JsonScalar value;
        if (literal("null"))
            return value;
        if (literal("true") || literal("false")) {
            value.kind = JsonScalar::Kind::Boolean;
            value.boolean = s_[i_ - 1] == 'e' && s_[i_ - 2] == 'u';
            return value;
        }
        if (i_ < s_.size() && s_[i_] == '"')
            return string();
        const char *start = s_.c_str() + i_;
        char *end = nullptr;
        value.number = std::strtod(start, &end);
        if (end == start)
            return std::nullopt;
        value.kind = JsonScalar::Kind::Number;
        value.text.assign(start, static_cast<std::size_t>(end - start));
        i_ += static_cast<std::size_t>(end - start);
        return value;
    }

    std::optional<JsonScalar> string()
    {
        JsonScalar value;
        value.kind = JsonScalar::Kind::String;
        ++i_;
        char16_t pendingHigh = 0;
        while (i_ < s_.size() && s_[i_] != '"') {
            if (s_[i_] != '\\') {
                flush(value.text, pendingHigh);
                value.text += s_[i_++];
                continue;
            }
            if (++i_ >= s_.size())
                return std::nullopt;
            const char c = s_[i_++];
            if (c == 'u') {
                if (i_ + 4 > s_.size())
                    return std::nullopt;
                const auto unit = static_cast<char16_t>(std::strtoul(s_.substr(i_, 4).c_str(), nullptr, 16));
                i_ += 4;
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    flush(value.text, pendingHigh);
                    pendingHigh = unit;
                } else if (unit >= 0xDC00 && unit <= 0xDFFF && pendingHigh) {
                    jet::appendUtf8(value.text, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
                    pendingHigh = 0;
                } else {
                    flush(value.text, pendingHigh);
                    jet::appendUtf8(value.text, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
                }
                continue;
            }
            flush(value.text, pendingHigh);
            switch (c) {
            case 'n': value.text += '\n'; break;
            case 't': value.text += '\t'; break;
            case 'r': value.text += '\r'; break;
            case 'b': value.text += '\b'; break;
            case 'f': value.text += '\f'; break;
            default: value.text += c; break;
            }
        }
        flush(value.text, pendingHigh);
        if (i_ >= s_.size())
            return std::nullopt;
        ++i_;
        return value;
    }

    static void flush(std::string &out, char16_t &pendingHigh)
    {
        if (pendingHigh)
            jet::appendUtf8(out, 0xFFFD);
        pendingHigh = 0;
    }

    const std::string &s_;
    std::size_t i_ = 0;
};

}  // namespace

std::optional<std::vector<JsonScalar>> parseJsonArray(const std::string &line) { return Parser(line).array(); }

}  // namespace oracle
