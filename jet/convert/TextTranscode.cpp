#include "jet/convert/TextTranscode.h"

#include "jet/Text.h"

#include <array>

namespace jet::convert {

namespace {

// Windows-1252 bytes 0x80..0x9F; the five undefined ones keep their value.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isCp1252(unsigned codePage) { return codePage == 1252 || codePage == 0; }

std::optional<std::uint8_t> cp1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<std::uint8_t>(c);
    for (std::size_t i = 0; i < kCp1252High.size(); ++i)
        if (kCp1252High[i] == c)
            return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

std::optional<std::size_t> appendCp1252(std::u16string_view text, std::vector<std::uint8_t> &out)
{
    const std::size_t start = out.size();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = cp1252Byte(text[i]);
        if (!byte) {
            out.resize(start);
            return i;
        }
        out.push_back(*byte);
    }
    return std::nullopt;
}

// One character (a surrogate pair counts as one) starting at `i`.
std::size_t characterLength(std::u16string_view text, std::size_t i)
{
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                      text[i + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

std::optional<std::size_t> appendOtherCodePage(std::u16string_view text, unsigned codePage,
                                               std::vector<std::uint8_t> &out)
{
    std::string bytes;
    if (jet::utf8ToCodePage(utf16ToUtf8(text), codePage, bytes)) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        return std::nullopt;
    }
    // Find the character that failed, for the message.
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = characterLength(text, i);
        if (!jet::utf8ToCodePage(utf16ToUtf8(text.substr(i, length)), codePage, bytes))
            return i;
        i += length;
    }
    return 0;  // the whole failed while every character alone converts: blame the start
}

bool appendCompressed(std::u16string_view text, std::vector<std::uint8_t> &out)
{
    const std::size_t start = out.size();
    out.push_back(0xFF);
    out.push_back(0xFE);
    bool singleBytes = true;
    for (char16_t c : text) {
        const bool fitsOneByte = c >= 0x01 && c <= 0xFF;
        if (!fitsOneByte && ((c & 0xFF) == 0 || (c >> 8) == 0)) {
            out.resize(start);  // a zero byte would read as a mode switch
            return false;
        }
        if (fitsOneByte != singleBytes) {
            out.push_back(0x00);
            singleBytes = fitsOneByte;
        }
        if (fitsOneByte) {
            out.push_back(static_cast<std::uint8_t>(c));
        } else {
            out.push_back(static_cast<std::uint8_t>(c & 0xFF));
            out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    }
    return true;
}

void appendPlain(std::u16string_view text, std::vector<std::uint8_t> &out)
{
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
}

}  // namespace

std::u16string jet3TextToUtf16(ByteSpan bytes, unsigned codePage)
{
    if (!isCp1252(codePage))
        return utf8ToUtf16(jet::codePageToUtf8(bytes, codePage));
    std::u16string text;
    text.reserve(bytes.size());
    for (std::uint8_t b : bytes)
        text.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b));
    return text;
}

std::optional<std::size_t> appendJet3Text(std::u16string_view text, unsigned codePage, std::vector<std::uint8_t> &out)
{
    return isCp1252(codePage) ? appendCp1252(text, out) : appendOtherCodePage(text, codePage, out);
}

std::u16string jet4TextToUtf16(ByteSpan bytes)
{
    std::u16string text;
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(loadLE16(bytes.data() + i)));
        return text;
    }
    bool singleBytes = true;
    for (std::size_t i = 2; i < bytes.size();) {
        if (bytes[i] == 0) {
            singleBytes = !singleBytes;
            ++i;
        } else if (singleBytes) {
            text.push_back(bytes[i++]);
        } else {
            if (i + 1 >= bytes.size())
                break;
            text.push_back(static_cast<char16_t>(loadLE16(bytes.data() + i)));
            i += 2;
        }
    }
    return text;
}

void appendJet4Text(std::u16string_view text, bool compressible, std::vector<std::uint8_t> &out)
{
    if (compressible && text.size() <= kMaxCompressedCharacters) {
        const std::size_t start = out.size();
        if (appendCompressed(text, out)) {
            if (out.size() - start < 2 * text.size())
                return;
            out.resize(start);
        }
    }
    appendPlain(text, out);
}

std::u16string utf8ToUtf16(std::string_view utf8) { return jet::utf8ToUtf16(utf8); }

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::vector<std::uint8_t> units;
    units.reserve(2 * text.size());
    appendPlain(text, units);
    jet::appendUtf16le(out, units);
    return out;
}

}  // namespace jet::convert
