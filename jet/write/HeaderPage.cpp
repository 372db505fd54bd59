#include "jet/write/HeaderPage.h"

#include "jet/Error.h"
#include "jet/Header.h"

#include <algorithm>

namespace jet::write {

namespace {

std::size_t characterCount(const std::string &utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

void checkTargetPassword(const DatabaseHeader &header, const std::string &password)
{
    const bool jet3 = header.version == JetVersion::Jet3;
    const std::size_t limit = formatConstants(header.version).passwordCharacters;
    if (characterCount(password) > limit)
        throw Error(ErrorKind::Password, std::string(jet3 ? "Jet 3.x" : "Jet 4.x") +
                                             " 形式のデータベースのパスワードは " + std::to_string(limit) +
                                             " 文字以内で指定してください。");
    if (!encodePasswordField(header.version, password, header.codePage, header.creationDate))
        throw Error(ErrorKind::Password, "パスワードに、このデータベースで使えない文字が含まれています。");
}

std::vector<std::uint8_t> buildHeaderPage(const PageFile &source, const std::string &targetPassword)
{
    const DatabaseHeader &header = source.header();
    checkTargetPassword(header, targetPassword);
    std::vector<std::uint8_t> page(source.headerPage().begin(), source.headerPage().end());
    const auto field = encodePasswordField(header.version, targetPassword, header.codePage, header.creationDate);
    std::copy(field->begin(), field->end(), page.begin() + kHeaderPasswordOffset);
    toggleHeaderObscuring(page, header.version);
    return page;
}

}  // namespace jet::write
