#include "jet/Header.h"

#include "jet/Error.h"
#include "jet/Rc4.h"
#include "jet/Text.h"

#include <array>
#include <cmath>
#include <cstring>

namespace jet {

namespace {

// Databases say "Standard Jet DB"; workgroup information files (system
// databases, .mdw) are Jet databases too and say "Jet System DB  ".
constexpr char kJetEngineName[] = "Standard Jet DB";
constexpr char kJetSystemEngineName[] = "Jet System DB  ";
// The successor format (.accdb) says so in the same place.
constexpr char kAceEngineName[] = "Standard ACE DB";

[[noreturn]] void throwUnrecognized(const std::string &path)
{
    throw Error(ErrorKind::Format, "データベースの形式 '" + path + "' を認識できません。");
}

// §hdr.password: Jet 4 masks the field with the integer day of the creation date.
std::array<std::uint8_t, 4> jet4PasswordMask(std::optional<double> creationDate)
{
    std::array<std::uint8_t, 4> mask{};
    double date = creationDate.value_or(0.0);
    if (!std::isfinite(date) || date > 2147483647.0 || date < -2147483648.0)
        date = 0.0;
    storeLE32(mask.data(), static_cast<std::uint32_t>(static_cast<std::int32_t>(std::trunc(date))));
    return mask;
}

std::string decodePassword(ByteSpan page0, JetVersion version, std::uint16_t codePage,
                           std::optional<double> creationDate)
{
    if (version == JetVersion::Jet3) {
        ByteSpan field = page0.subspan(kHeaderPasswordOffset, kJet3Format.passwordLength);
        std::size_t length = 0;
        while (length < field.size() && field[length] != 0)
            ++length;
        return codePageToUtf8(field.first(length), codePage);
    }
    std::uint8_t field[40];
    std::memcpy(field, page0.data() + kHeaderPasswordOffset, sizeof field);
    const auto mask = jet4PasswordMask(creationDate);
    for (std::size_t i = 0; i < sizeof field; ++i)
        field[i] ^= mask[i % 4];
    std::size_t length = 0;
    while (length + 1 < sizeof field && (field[length] | field[length + 1]) != 0)
        length += 2;
    return utf16leToUtf8(ByteSpan(field, length));
}

}  // namespace

JetVersion detectVersion(ByteSpan first, const std::string &path)
{
    if (first.size() < 0x100 || first[0] != 0x00)
        throwUnrecognized(path);
    if (std::memcmp(first.data() + 4, kAceEngineName, sizeof kAceEngineName) == 0)
        throw Error(ErrorKind::Format,
                    "データベース '" + path + "' を開けません。ACE (.accdb) 形式のデータベースはまだ扱えません。");
    if (std::memcmp(first.data() + 4, kJetEngineName, sizeof kJetEngineName) != 0 &&
        std::memcmp(first.data() + 4, kJetSystemEngineName, sizeof kJetSystemEngineName) != 0)
        throwUnrecognized(path);  // also refuses "MSISAM Database"
    switch (first[kHeaderVersionOffset]) {
    case 0x00:
        return JetVersion::Jet3;
    case 0x01:
        return JetVersion::Jet4;
    default:
        throwUnrecognized(path);
    }
}

void toggleHeaderObscuring(MutableByteSpan page0, JetVersion version)
{
    const auto &format = formatConstants(version);
    rc4Apply(ByteSpan(kHeaderRc4Key, 4), page0.subspan(kHeaderRc4Offset, format.headerRc4Length));
}

DatabaseHeader parseHeader(ByteSpan page0, JetVersion version)
{
    const auto &format = formatConstants(version);
    DatabaseHeader header;
    header.version = version;
    header.pageSize = format.pageSize;
    header.codePage = loadLE16(page0.data() + kHeaderCodePageOffset);
    header.sortOrder = loadLE16(page0.data() + format.sortOrderOffset);
    header.encodingKey = loadLE32(page0.data() + kHeaderEncodingKeyOffset);
    if (version == JetVersion::Jet4) {
        header.sortOrderVersion = page0[kHeaderSortVersionOffset];
        double date;
        std::memcpy(&date, page0.data() + kHeaderCreationDateOffset, sizeof date);
        header.creationDate = date;
    }
    header.password = decodePassword(page0, version, header.codePage, header.creationDate);
    return header;
}

std::optional<std::vector<std::uint8_t>> encodePasswordField(JetVersion version, std::string_view utf8,
                                                             std::uint16_t codePage,
                                                             std::optional<double> creationDate)
{
    if (version == JetVersion::Jet3) {
        std::string bytes;
        if (!utf8ToCodePage(utf8, codePage, bytes) || bytes.size() > kJet3Format.passwordLength)
            return std::nullopt;
        std::vector<std::uint8_t> field(kJet3Format.passwordLength, 0);
        std::memcpy(field.data(), bytes.data(), bytes.size());
        return field;
    }
    const std::u16string units = utf8ToUtf16(utf8);
    if (units.size() > kJet4Format.passwordLength / 2)
        return std::nullopt;
    std::vector<std::uint8_t> field(kJet4Format.passwordLength, 0);
    for (std::size_t i = 0; i < units.size(); ++i)
        storeLE16(field.data() + 2 * i, units[i]);
    const auto mask = jet4PasswordMask(creationDate);
    for (std::size_t i = 0; i < field.size(); ++i)
        field[i] ^= mask[i % 4];
    return field;
}

}  // namespace jet
