#include "jet/Text.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <string>

namespace jet {

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

namespace {

void appendUtf16Unit(std::string &out, char16_t unit, char16_t &pendingHigh)
{
    if (pendingHigh) {
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((static_cast<char32_t>(pendingHigh) - 0xD800) << 10) + (unit - 0xDC00));
            pendingHigh = 0;
            return;
        }
        appendUtf8(out, 0xFFFD);
        pendingHigh = 0;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF)
        pendingHigh = unit;
    else if (unit >= 0xDC00 && unit <= 0xDFFF)
        appendUtf8(out, 0xFFFD);
    else
        appendUtf8(out, unit);
}

// Windows-1252 bytes 0x80..0x9F; the five undefined ones keep their value.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string iconvName(unsigned codePage)
{
    if (codePage == 932)
        return "CP932";
    return "CP" + std::to_string(codePage);
}

class Iconv {
public:
    Iconv(const std::string &to, const std::string &from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv()
    {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

void appendUtf16le(std::string &out, ByteSpan bytes)
{
    char16_t pendingHigh = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i + 1] == 0 && bytes[i] < 0x80 && !pendingHigh)
            out.push_back(static_cast<char>(bytes[i]));
        else
            appendUtf16Unit(out, static_cast<char16_t>(loadLE16(bytes.data() + i)), pendingHigh);
    }
    if (pendingHigh)
        appendUtf8(out, 0xFFFD);
}

std::string utf16leToUtf8(ByteSpan bytes)
{
    std::string out;
    out.reserve(bytes.size());
    appendUtf16le(out, bytes);
    return out;
}

std::string jet4TextToUtf8(ByteSpan bytes)
{
    std::string out;
    out.reserve(bytes.size());
    appendJet4Text(out, bytes);
    return out;
}

void appendJet4Text(std::string &out, ByteSpan bytes)
{
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
        appendUtf16le(out, bytes);
        return;
    }
    // See §text.j4: 0x00 toggles between one-byte and two-byte runs.
    bool compressed = true;
    char16_t pendingHigh = 0;
    std::size_t i = 2;
    while (i < bytes.size()) {
        if (bytes[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            if (bytes[i] < 0x80 && !pendingHigh)
                out.push_back(static_cast<char>(bytes[i]));
            else
                appendUtf16Unit(out, bytes[i], pendingHigh);
            ++i;
        } else {
            if (i + 1 >= bytes.size())
                break;
            appendUtf16Unit(out, static_cast<char16_t>(loadLE16(bytes.data() + i)), pendingHigh);
            i += 2;
        }
    }
    if (pendingHigh)
        appendUtf8(out, 0xFFFD);
}

std::string codePageToUtf8(ByteSpan bytes, unsigned codePage)
{
    std::string out;
    out.reserve(bytes.size());
    appendCodePageText(out, bytes, codePage);
    return out;
}

void appendCodePageText(std::string &out, ByteSpan bytes, unsigned codePage)
{
    bool ascii = true;
    for (std::uint8_t b : bytes)
        ascii = ascii && b < 0x80;
    if (ascii || codePage == 1252 || codePage == 0) {
        for (std::uint8_t b : bytes) {
            if (b < 0x80)
                out.push_back(static_cast<char>(b));
            else if (b < 0xA0)
                appendUtf8(out, kCp1252High[b - 0x80]);
            else
                appendUtf8(out, b);
        }
        return;
    }
    Iconv cd("UTF-8", iconvName(codePage));
    if (!cd.ok()) {
        for (std::uint8_t b : bytes)
            appendUtf8(out, b < 0x80 ? b : 0xFFFD);
        return;
    }
    std::string in(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    char *inPtr = in.data();
    std::size_t inLeft = in.size();
    std::string buffer(in.size() * 4 + 16, '\0');
    while (inLeft > 0) {
        char *outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        std::size_t rc = iconv(cd.handle(), &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            appendUtf8(out, 0xFFFD);  // invalid or incomplete: skip one byte
            ++inPtr;
            --inLeft;
        }
    }
}

std::u16string utf8ToUtf16(std::string_view s)
{
    std::u16string out;
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        char32_t c = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < s.size()) {
            c = ((b & 0x1F) << 6) | (s[i + 1] & 0x3F);
            len = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < s.size()) {
            c = ((b & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
            len = 3;
        } else if ((b & 0xF8) == 0xF0 && i + 3 < s.size()) {
            c = ((b & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
            len = 4;
        }
        i += len;
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(c > 0xFFFF ? u'\uFFFD' : static_cast<char16_t>(c));
        }
    }
    return out;
}

bool utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string &out)
{
    out.clear();
    Iconv cd(iconvName(codePage == 0 ? 1252 : codePage), "UTF-8");
    if (!cd.ok())
        return false;
    std::string in(utf8);
    char *inPtr = in.data();
    std::size_t inLeft = in.size();
    std::string buffer(in.size() * 2 + 16, '\0');
    char *outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    if (iconv(cd.handle(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        return false;
    out.assign(buffer.data(), buffer.size() - outLeft);
    return true;
}

}  // namespace jet
