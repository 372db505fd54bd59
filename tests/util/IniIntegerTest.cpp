#include "util/CustomIniFile.h"

#include <gtest/gtest.h>

TEST(ParseIniInteger, AcceptsDecimalAndEveryHexadecimalLeadIn)
{
    const std::pair<const char *, std::int32_t> cases[] = {
        {"4", 4},          {"5", 5},           {"+4", 4},          {"-1", -1},
        {"0x4", 4},        {"0X4", 4},         {"$4", 4},          {"x4", 4},
        {"X4", 4},         {"0004", 4},        {"$00000000A", 10}, {"-0x4", -4},
        {"2147483647", 2147483647},            {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1}, {"0x7fffffff", 2147483647},          {"$80000000", INT32_MIN},
    };
    for (const auto &[text, expected] : cases) {
        const auto value = ParseIniInteger(QString::fromLatin1(text));
        ASSERT_TRUE(value.has_value()) << text;
        EXPECT_EQ(*value, expected) << text;
    }
}

TEST(ParseIniInteger, RejectsEverythingElse)
{
    const char *cases[] = {"",    "4x",  "four", "true", "yes", " 4", "4 ", "+",  "-",   "$",
                           "0x",  "x",   "0$4",  "++4",  "4.0", "1e3", "2147483648", "-2147483649",
                           "$100000000", "0x1FFFFFFFF", "99999999999999999999", "$G", "0x-4", "--4"};
    for (const char *text : cases)
        EXPECT_FALSE(ParseIniInteger(QString::fromLatin1(text)).has_value()) << '"' << text << '"';
    // Digits outside ASCII are no digits here.
    EXPECT_FALSE(ParseIniInteger(QStringLiteral("４")).has_value());
}
