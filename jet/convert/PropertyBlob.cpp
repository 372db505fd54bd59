#include "jet/convert/PropertyBlob.h"

#include "jet/convert/TextTranscode.h"
#include "jet/convert/ValueEncoder.h"

#include <algorithm>
#include <array>
#include <optional>

namespace jet::convert {

namespace {

constexpr std::array<std::uint8_t, 4> kJet3Magic = {'K', 'K', 'D', 0};
constexpr std::array<std::uint8_t, 4> kJet4Magic = {'M', 'R', '2', 0};
constexpr std::uint16_t kNameListChunk = 0x0080;
constexpr std::size_t kChunkHeaderLength = 6;    // u32 length, u16 type
constexpr std::size_t kMapNameHeaderLength = 6;  // u32 length, u16 name length
constexpr std::size_t kRecordHeaderLength = 8;   // u16 length, u8 flags, u8 type, u16 name index, u16 data length
constexpr std::uint8_t kTextProperty = 10;
constexpr std::uint8_t kMemoProperty = 12;

const std::array<std::uint8_t, 4> &magicOf(JetVersion version)
{
    return version == JetVersion::Jet3 ? kJet3Magic : kJet4Magic;
}

// Names and text values: code-page bytes in Jet 3, plain UTF-16LE in Jet 4.
// Jet stores property text plain even where a column would compress it, so a
// Jet 4 value beginning FF FE is read as U+FEFF, which no Jet 3 code page
// takes: a compressed value from some other writer is refused, never garbled.
struct TextFailure {
    bool oddLength = false;  // Jet 4 text of an odd number of bytes
    std::string character;   // otherwise the character the code page lacks
};

class PropertyText {
public:
    PropertyText(JetVersion from, JetVersion to, unsigned codePage) : from_(from), to_(to), codePage_(codePage) {}

    unsigned codePage() const { return codePage_; }

    std::optional<TextFailure> append(ByteSpan stored, std::vector<std::uint8_t> &out) const
    {
        if (from_ == JetVersion::Jet4 && stored.size() % 2 != 0)
            return TextFailure{true, {}};
        if (from_ == to_) {
            out.insert(out.end(), stored.begin(), stored.end());
            return std::nullopt;
        }
        const std::u16string text = decode(stored);
        if (to_ == JetVersion::Jet4) {
            appendJet4Text(text, false, out);
            return std::nullopt;
        }
        const auto bad = appendJet3Text(text, codePage_, out);
        if (!bad)
            return std::nullopt;
        return TextFailure{false, codePointName(codePointAt(text, *bad))};
    }

    // For messages.
    std::string readable(ByteSpan stored) const { return utf16ToUtf8(decode(stored)); }

private:
    std::u16string decode(ByteSpan stored) const
    {
        if (from_ == JetVersion::Jet3)
            return jet3TextToUtf16(stored, codePage_);
        std::u16string text;
        for (std::size_t i = 0; i + 1 < stored.size(); i += 2)
            text.push_back(static_cast<char16_t>(loadLE16(stored.data() + i)));
        return text;
    }

    static char32_t codePointAt(std::u16string_view text, std::size_t i)
    {
        const char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            return 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        return c;
    }

    JetVersion from_;
    JetVersion to_;
    unsigned codePage_;
};

// The output with room for length fields that are known only once what they
// measure has been written.
class BlobOutput {
public:
    std::vector<std::uint8_t> bytes;

    std::size_t reserve(std::size_t width)
    {
        bytes.resize(bytes.size() + width);
        return bytes.size() - width;
    }
    void append(ByteSpan data) { bytes.insert(bytes.end(), data.begin(), data.end()); }
    std::size_t since(std::size_t start) const { return bytes.size() - start; }
    void patch32(std::size_t at, std::size_t value) { storeLE32(bytes.data() + at, static_cast<std::uint32_t>(value)); }
    // False when the value does not fit the 16-bit field.
    bool patch16(std::size_t at, std::size_t value)
    {
        if (value > 0xFFFF)
            return false;
        storeLE16(bytes.data() + at, static_cast<std::uint16_t>(value));
        return true;
    }
};

// One pass over the source blob, checking every length against what holds it
// and writing the target form as it goes.
class BlobRewriter {
public:
    BlobRewriter(JetVersion from, JetVersion to, unsigned codePage, const std::string &where)
        : text_(from, to, codePage), from_(from), to_(to), where_(where)
    {
    }

    std::vector<std::uint8_t> rewrite(ByteSpan blob)
    {
        const CheckedReader in(blob, where_ + " のプロパティ");
        if (!std::equal(magicOf(from_).begin(), magicOf(from_).end(), in.slice(0, 4).begin()))
            damaged("先頭が " + std::string(from_ == JetVersion::Jet3 ? "KKD" : "MR2") + " ではありません");
        out_.append(magicOf(to_));
        for (std::size_t offset = 4; offset < blob.size();)
            offset = chunk(in, offset);
        return std::move(out_.bytes);
    }

private:
    std::size_t chunk(const CheckedReader &in, std::size_t offset)
    {
        const std::uint32_t length = in.u32(offset);
        const std::uint16_t type = in.u16(offset + 4);
        if (length < kChunkHeaderLength || length > in.size() - offset)
            damaged("ブロックの長さ " + std::to_string(length) + " が合いません（位置 " + std::to_string(offset) +
                    "）");
        const std::size_t start = out_.reserve(4);
        out_.append(in.slice(offset + 4, 2));
        const CheckedReader body(in.slice(offset + kChunkHeaderLength, length - kChunkHeaderLength),
                                 where_ + " のプロパティ");
        if (type == kNameListChunk)
            nameList(body);
        else
            valueChunk(body);
        out_.patch32(start, out_.since(start));
        return offset + length;
    }

    void nameList(const CheckedReader &body)
    {
        names_.clear();
        for (std::size_t offset = 0; offset < body.size();) {
            const ByteSpan name = body.slice(offset + 2, body.u16(offset));
            names_.push_back(name);
            appendText(name, [&] { return "プロパティ名 '" + text_.readable(name) + "'"; });
            offset += 2 + name.size();
        }
    }

    // An empty chunk has no header; otherwise the header names the object the
    // values belong to (empty for the object itself, a column name for its columns).
    void valueChunk(const CheckedReader &body)
    {
        if (body.size() == 0)
            return;
        const std::uint32_t headerLength = body.u32(0);
        const std::uint16_t nameLength = body.u16(4);
        if (headerLength < kMapNameHeaderLength || headerLength > body.size() ||
            nameLength > headerLength - kMapNameHeaderLength)
            damaged("値ブロックの見出しの長さ " + std::to_string(headerLength) + " が合いません");
        mapName_ = body.slice(kMapNameHeaderLength, nameLength);
        const std::size_t start = out_.reserve(4);
        appendText(mapName_, [&] { return "プロパティの対象名 '" + text_.readable(mapName_) + "'"; });
        out_.append(body.slice(kMapNameHeaderLength + nameLength, headerLength - kMapNameHeaderLength - nameLength));
        out_.patch32(start, out_.since(start));
        for (std::size_t offset = headerLength; offset < body.size();)
            offset = record(body, offset);
    }

    std::size_t record(const CheckedReader &body, std::size_t offset)
    {
        const std::uint16_t length = body.u16(offset);
        const std::uint8_t type = body.u8(offset + 3);
        const std::uint16_t nameIndex = body.u16(offset + 4);
        const std::uint16_t dataLength = body.u16(offset + 6);
        if (length < kRecordHeaderLength || length > body.size() - offset || dataLength > length - kRecordHeaderLength)
            damaged("値の長さ " + std::to_string(length) + " が合いません");
        if (nameIndex >= names_.size())
            damaged("値の名前の番号 " + std::to_string(nameIndex) + " が名前の数 " + std::to_string(names_.size()) +
                    " を超えます");
        const std::size_t start = out_.reserve(2);
        out_.append(body.slice(offset + 2, 4));
        if (type == kTextProperty || type == kMemoProperty)
            appendText(body.slice(offset + kRecordHeaderLength, dataLength), [&] { return propertyName(nameIndex); });
        else
            out_.append(body.slice(offset + 6, 2 + dataLength));  // the data length and the data, as they are
        out_.append(body.slice(offset + kRecordHeaderLength + dataLength, length - kRecordHeaderLength - dataLength));
        if (!out_.patch16(start, out_.since(start)))
            tooLong(propertyName(nameIndex));
        return offset + length;
    }

    // Text behind a 16-bit length: the length, then the bytes in the target encoding.
    template <typename Describe>
    void appendText(ByteSpan stored, Describe describe)
    {
        const std::size_t start = out_.reserve(2);
        if (const auto failure = text_.append(stored, out_.bytes))
            refuseText(describe(), *failure);
        if (!out_.patch16(start, out_.since(start) - 2))
            tooLong(describe());
    }

    std::string propertyName(std::uint16_t index) const
    {
        std::string name = "プロパティ '" + text_.readable(names_[index]) + "'";
        if (!mapName_.empty())
            name = "'" + text_.readable(mapName_) + "' の" + name;
        return name;
    }

    [[noreturn]] void damaged(const std::string &detail) const
    {
        throw Error(ErrorKind::Damaged, where_ + " のプロパティが壊れています: " + detail + "。");
    }
    [[noreturn]] void refuseText(const std::string &what, const TextFailure &failure) const
    {
        if (failure.oddLength)
            damaged(what + " の UTF-16 のバイト数が奇数です");
        throw Error(ErrorKind::Unsupported, where_ + " の " + what + " に、Jet 3.x 形式のコード ページ " +
                                                std::to_string(text_.codePage()) + " で表せない文字 " +
                                                failure.character + " があります。");
    }
    [[noreturn]] void tooLong(const std::string &what) const
    {
        throw Error(ErrorKind::Unsupported,
                    where_ + " の " + what + " は、変換すると長さの欄（65,535 バイトまで）に収まりません。");
    }

    PropertyText text_;
    JetVersion from_;
    JetVersion to_;
    const std::string &where_;
    BlobOutput out_;
    std::vector<ByteSpan> names_;
    ByteSpan mapName_;
};

}  // namespace

std::vector<std::uint8_t> convertPropertyBlob(ByteSpan blob, JetVersion from, JetVersion to, unsigned codePage,
                                              const std::string &where)
{
    std::vector<std::uint8_t> converted = BlobRewriter(from, to, codePage, where).rewrite(blob);
    if (from == to)
        return std::vector<std::uint8_t>(blob.begin(), blob.end());
    return converted;
}

std::vector<std::uint8_t> neutralPropertyBlob(ByteSpan blob, JetVersion version, unsigned codePage,
                                              const std::string &where)
{
    return BlobRewriter(version, JetVersion::Jet4, codePage, where).rewrite(blob);
}

}  // namespace jet::convert
