#include "platform/ConnectionString.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

TEST(QuoteConnectionStringValue, OnlyValuesThatWouldChangeTheMeaningAreQuoted)
{
    const struct {
        const char *value;
        const char *expected;
    } cases[] = {
        {"", ""},
        {"C:\\db\\a.mdb", "C:\\db\\a.mdb"},
        {"/data/my file.mdb", "/data/my file.mdb"},
        {"pa=ss", "pa=ss"},
        {"a\"b", "a\"b"},  // a quote inside needs nothing
        {"x;Data Source=/etc/passwd", "\"x;Data Source=/etc/passwd\""},
        {" lead", "\" lead\""},
        {"trail ", "\"trail \""},
        {"\"quoted\"", "\"\"\"quoted\"\"\""},
        {"'single", "\"'single\""},
        {"a;\"b", "\"a;\"\"b\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(QuoteConnectionStringValue(QString::fromUtf8(c.value)), QString::fromUtf8(c.expected)) << c.value;
}

TEST(ParseConnectionString, EveryValueReadsBackAsWritten)
{
    const QStringList values = {
        "", "plain", "x;Data Source=/etc/passwd", " both ", "\"", "\"\"", "'", "';'", "=", "==x", "a=b;c=d",
        "日本語;パス", "tab\t", "; ;", "\";\"",
    };
    for (const QString &value : values) {
        const QString text = QStringLiteral("Provider=P;Data Source=%1;Jet OLEDB:Database Password=%2")
                                 .arg(QuoteConnectionStringValue(value), QuoteConnectionStringValue(value));
        const QList<ConnectionStringPair> pairs = ParseConnectionString(text);
        ASSERT_EQ(pairs.size(), 3) << text.toStdString();
        EXPECT_EQ(pairs[1].value, value) << text.toStdString();
        EXPECT_EQ(pairs[2].value, value) << text.toStdString();
    }
}

TEST(ParseConnectionString, KeywordsIgnoreCaseAndTheLastOneCounts)
{
    const QList<ConnectionStringPair> pairs =
        ParseConnectionString(QStringLiteral(" provider = a ; DATA SOURCE='x''y' ;;Provider=b; Extra=1"));
    EXPECT_EQ(ConnectionStringValue(pairs, QStringLiteral("Provider")), QStringLiteral("b"));
    EXPECT_EQ(ConnectionStringValue(pairs, QStringLiteral("Data Source")), QStringLiteral("x'y"));
    EXPECT_EQ(ConnectionStringValue(pairs, QStringLiteral("extra")), QStringLiteral("1"));
    EXPECT_FALSE(ConnectionStringValue(pairs, QStringLiteral("Missing")).has_value());
}

TEST(ParseConnectionString, MalformedStringsAreRejected)
{
    for (const char *text : {"Provider=\"open", "Data Source=\"a\"b;", "JustAWord", "A=1;Lonely;B=2"}) {
        EXPECT_THROW(ParseConnectionString(QString::fromUtf8(text)), EArgumentException) << text;
    }
}
