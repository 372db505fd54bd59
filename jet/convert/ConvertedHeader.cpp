#include "jet/convert/ConvertedHeader.h"

#include "jet/Error.h"
#include "jet/Text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace jet::convert {

namespace {

constexpr char kEngineName[] = "Standard Jet DB";
constexpr std::size_t kEngineNameOffset = 0x04;

// §hdr.convert: the 24 bytes from 0x18 that every Jet 3 and Jet 4 file holds.
constexpr std::uint32_t kConstantWords[] = {0x100, 0x101, 2, 3, 4, 5};

// Jet 3 only.
constexpr std::size_t kJet3MarkOffset = 0x38;          // 1 in every file Microsoft's converter wrote
constexpr std::size_t kJet3BuildOffset = 0x56;
constexpr std::uint16_t kJet3Build = 0x251E;           // the stamp of those same files

// Jet 4 only.
constexpr std::size_t kJet4BuildOffset = 0x6A;
constexpr std::uint32_t kJet4Build = 9025;             // a Jet 4.0 build seen in real files
constexpr std::size_t kJet4TrailerOffset = 0x98;
constexpr std::uint8_t kJet4Trailer[] = {0x54, 0x06, 0x00, 0x00, 0x34, 0x2E, 0x30, 0x00};

// The last 512 bytes: 256 words as a freshly made database holds them.
constexpr std::size_t kTailWords = 256;
constexpr std::uint16_t kTailFirstWord = 0x0101;
constexpr std::uint16_t kTailWord = 0x0100;

// The dates Access can show: 100-01-01 to 9999-12-31.
constexpr double kFirstDate = -657434.0;
constexpr double kEndDate = 2958466.0;

std::size_t characterCount(const std::string &utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

[[noreturn]] void refusePassword(const std::string &message)
{
    throw Error(ErrorKind::Unsupported, message);
}

void checkJet3Password(const DatabaseHeader &source, const std::string &password)
{
    if (characterCount(password) > kJet3Format.passwordCharacters)
        refusePassword("Jet 3.x 形式に変換するには、パスワードを 14 文字以内にしてください。");
    std::string bytes;
    if (!utf8ToCodePage(password, source.codePage, bytes))
        refusePassword("パスワードに Jet 3.x 形式のコード ページ " + std::to_string(source.codePage) +
                       " で表せない文字が含まれているため、変換できません。");
    if (bytes.size() > kJet3Format.passwordLength)
        refusePassword("パスワードがコード ページ " + std::to_string(source.codePage) + " で " +
                       std::to_string(kJet3Format.passwordLength) + " バイトを超えるため、Jet 3.x 形式に変換できません。");
}

void checkCreationDate(double date)
{
    if (!std::isfinite(date) || date < kFirstDate || date >= kEndDate)
        throw Error(ErrorKind::Argument, "変換先データベースの作成日時が正しくありません。");
}

void writeCommonFields(std::vector<std::uint8_t> &page, const DatabaseHeader &source, JetVersion target)
{
    page[kHeaderVersionOffset] = target == JetVersion::Jet3 ? 0x00 : 0x01;
    page[0x01] = 0x01;
    std::memcpy(page.data() + kEngineNameOffset, kEngineName, sizeof kEngineName - 1);
    for (std::size_t i = 0; i < std::size(kConstantWords); ++i)
        storeLE32(page.data() + kHeaderRc4Offset + 4 * i, kConstantWords[i]);
    storeLE16(page.data() + kHeaderCodePageOffset, source.codePage);
    storeLE16(page.data() + formatConstants(target).sortOrderOffset, source.sortOrder);
    storeLE32(page.data() + kHeaderEncodingKeyOffset, source.encodingKey);
    const std::size_t tail = page.size() - 2 * kTailWords;
    storeLE16(page.data() + tail, kTailFirstWord);
    for (std::size_t i = 1; i < kTailWords; ++i)
        storeLE16(page.data() + tail + 2 * i, kTailWord);
}

void writeJet4Fields(std::vector<std::uint8_t> &page, double creationDate)
{
    storeLE32(page.data() + kJet4BuildOffset, kJet4Build);
    page[kHeaderSortVersionOffset] = 0;  // "General legacy", the only version Jet 4 knows
    std::memcpy(page.data() + kHeaderCreationDateOffset, &creationDate, sizeof creationDate);
    std::memcpy(page.data() + kJet4TrailerOffset, kJet4Trailer, sizeof kJet4Trailer);
}

}  // namespace

void checkConvertedPassword(const DatabaseHeader &source, JetVersion target, const std::string &password)
{
    if (target == JetVersion::Jet3) {
        checkJet3Password(source, password);
        return;
    }
    if (utf8ToUtf16(password).size() > kJet4Format.passwordCharacters)
        refusePassword("Jet 4.x 形式に変換するには、パスワードを 20 文字以内にしてください。");
}

std::vector<std::uint8_t> buildConvertedHeaderPage(const DatabaseHeader &source, JetVersion target,
                                                   double creationDate, const std::string &targetPassword)
{
    if (target == source.version)
        throw Error(ErrorKind::Argument, "変換先の形式が変換元と同じです。");
    checkConvertedPassword(source, target, targetPassword);
    const bool jet3 = target == JetVersion::Jet3;
    if (!jet3)
        checkCreationDate(creationDate);
    const std::optional<double> date = jet3 ? std::nullopt : std::optional<double>(creationDate);

    std::vector<std::uint8_t> page(formatConstants(target).pageSize, 0);
    writeCommonFields(page, source, target);
    if (jet3) {
        storeLE16(page.data() + kJet3MarkOffset, 1);
        storeLE16(page.data() + kJet3BuildOffset, kJet3Build);
    } else {
        writeJet4Fields(page, creationDate);
    }
    const auto field = encodePasswordField(target, targetPassword, source.codePage, date);
    if (!field)  // checkConvertedPassword refuses every password this could meet
        throw Error(ErrorKind::Unsupported, "パスワードを変換先の形式で保存できません。");
    std::copy(field->begin(), field->end(), page.begin() + kHeaderPasswordOffset);
    toggleHeaderObscuring(page, target);
    return page;
}

}  // namespace jet::convert
