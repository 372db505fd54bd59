#include "util/StringUtility.h"

#include <gtest/gtest.h>

namespace {

QString get(const QStringList &args, const QString &name)
{
    TArgsParser parser;
    for (const QString &arg : args)
        parser.Add(arg);
    return parser.Get(name);
}

bool has(const QStringList &args, const QString &name)
{
    TArgsParser parser;
    for (const QString &arg : args)
        parser.Add(arg);
    return parser.Has(name);
}

}  // namespace

TEST(TArgsParser, LeaderAndNameMatchWithoutRegardToAsciiCase)
{
    for (const char *arg : {"-SF:C:\\a.mdb", "/sf:C:\\a.mdb", "/Sf:C:\\a.mdb", "-sfC:\\a.mdb"})
        EXPECT_EQ(get({QString::fromUtf8(arg)}, QStringLiteral("sf")), QStringLiteral("C:\\a.mdb")) << arg;
    EXPECT_EQ(get({QStringLiteral("-sf::x")}, QStringLiteral("sf")), QStringLiteral(":x"));
    EXPECT_EQ(get({QStringLiteral("-sfx:a")}, QStringLiteral("sf")), QStringLiteral("x:a"));
    EXPECT_EQ(get({QStringLiteral("-sf: Mixed Case ")}, QStringLiteral("SF")), QStringLiteral(" Mixed Case "));
    EXPECT_EQ(get({QStringLiteral("-sf")}, QStringLiteral("sf")), QString());
}

TEST(TArgsParser, FirstMatchWinsAndValuesNeverComeFromTheNextArgument)
{
    EXPECT_EQ(get({QStringLiteral("-sf:a"), QStringLiteral("/sf:b")}, QStringLiteral("sf")), QStringLiteral("a"));
    EXPECT_EQ(get({QStringLiteral("-sf"), QStringLiteral("-sf:a")}, QStringLiteral("sf")), QString());
    EXPECT_EQ(get({QStringLiteral("-sf"), QStringLiteral("C:\\a.mdb")}, QStringLiteral("sf")), QString());
    EXPECT_EQ(get({QStringLiteral("-sp:x"), QStringLiteral("-sf:a")}, QStringLiteral("sf")), QStringLiteral("a"));
}

TEST(TArgsParser, FlagsMatchByPrefixAndOnlyAsciiIsFolded)
{
    EXPECT_TRUE(has({QStringLiteral("-oex")}, QStringLiteral("oe")));
    EXPECT_TRUE(has({QStringLiteral("-oe:0")}, QStringLiteral("oe")));
    EXPECT_TRUE(has({QStringLiteral("/AS")}, QStringLiteral("as")));
    EXPECT_FALSE(has({QStringLiteral("-o")}, QStringLiteral("oe")));
    EXPECT_FALSE(has({QStringLiteral("oe")}, QStringLiteral("oe")));
    EXPECT_FALSE(has({QStringLiteral("－oe")}, QStringLiteral("oe")));  // full-width hyphen
    EXPECT_FALSE(has({QStringLiteral("‐oe")}, QStringLiteral("oe")));   // U+2010 hyphen
    EXPECT_FALSE(has({QStringLiteral("-ｏｅ")}, QStringLiteral("oe")));  // full-width letters
    EXPECT_FALSE(has({QStringLiteral("-ée")}, QStringLiteral("ÉE")));  // accents are not folded
    EXPECT_TRUE(has({QStringLiteral("-ÉE")}, QStringLiteral("ÉE")));
}

TEST(TArgsParser, EmptySwitchNameNeverMatches)
{
    EXPECT_FALSE(has({QStringLiteral("-"), QStringLiteral("/x")}, QString()));
    EXPECT_EQ(get({QStringLiteral("-"), QStringLiteral("/x")}, QString()), QString());
}

TEST(StrToInt32, DecimalAndHexadecimalForms)
{
    const struct {
        const char *text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"4", 4}, {"04", 4}, {"$4", 4}, {"0x4", 4}, {"0X4", 4}, {"x4", 4}, {"X4", 4}, {"+5", 5}, {"-4", -4},
        {"  5", 5}, {"$fF", 255}, {"-$10", -16}, {"0", 0}, {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()}, {"$7FFFFFFF", 2147483647},
        {"", std::nullopt}, {" ", std::nullopt}, {"5 ", std::nullopt}, {"\t5", std::nullopt},
        {"4.0", std::nullopt}, {"x", std::nullopt}, {"$", std::nullopt}, {"0x", std::nullopt},
        {"+", std::nullopt}, {"--4", std::nullopt}, {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt}, {"$80000000", std::nullopt}, {"99999999999999999999", std::nullopt},
        {"4a", std::nullopt}, {"０４", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(StrToInt32(QString::fromUtf8(c.text)), c.value) << '"' << c.text << '"';
}

TEST(CommandLineTokens, BlanksSeparateOutsideQuotes)
{
    EXPECT_EQ(CommandLineTokens(QStringLiteral("prog  -sf:a\t/oe ")),
              (QStringList{"prog", "-sf:a", "/oe"}));
    EXPECT_EQ(CommandLineArguments(QStringLiteral("\"C:\\Program Files\\t.exe\" -sf:\"C:\\My Data\\a.mdb\" -as")),
              (QStringList{"-sf:C:\\My Data\\a.mdb", "-as"}));
}

TEST(CommandLineTokens, QuotesAreNeverPartOfAnArgument)
{
    // Several quoted stretches in one token, doubled quotes inside a token, no escapes.
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p \"a b\"c\" d\"")), (QStringList{"a bc d"}));
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p \"say \"\"hi\"\"\"")), (QStringList{"say hi"}));
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p -tp:a\"\"b")), (QStringList{"-tp:ab"}));
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p C:\\dir\\\" x")), (QStringList{"C:\\dir\\ x"}));
    // A quoted stretch runs to the end of the line; control characters inside are kept.
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p \"open\tend")), (QStringList{"open\tend"}));
}

TEST(CommandLineTokens, EmptyQuotedArgumentsNeverArriveAndEndTheList)
{
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p \"\" -as")), (QStringList{"-as"}));
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p \"\"\"\" -as")), (QStringList{"-as"}));
    // A lone quote opens a stretch that collects nothing: the list ends there.
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p -oe \"")), (QStringList{"-oe"}));
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p -oe \"\"\" -as")), (QStringList{"-oe", " -as"}));
    EXPECT_EQ(CommandLineArguments(QString()), QStringList());
    EXPECT_EQ(CommandLineArguments(QStringLiteral("prog")), QStringList());
    EXPECT_EQ(CommandLineArguments(QStringLiteral("p a") + QChar(0) + QStringLiteral("b c")), (QStringList{"a"}));
}
