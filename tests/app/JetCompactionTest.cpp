#include "app/JetCompaction.h"
#include "platform/Exceptions.h"

#include "app/FakeJetEngine.h"

#include <gtest/gtest.h>

namespace {

QString messageOfCompaction(const QString &target, std::int32_t engineType)
{
    try {
        CompactJetDatabase(QStringLiteral("/s.mdb"), QString(), target, QString(), engineType);
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

}  // namespace

TEST(ConnectionStrings, TemplatesWithEmptyPasswordsKeepThePasswordKey)
{
    EXPECT_EQ(MakeSourceConnectionString(QStringLiteral("C:\\db\\a.mdb"), QString()),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\db\\a.mdb;Jet OLEDB:Database Password="));
    EXPECT_EQ(MakeTargetConnectionString(QStringLiteral("/t/b.mdb"), QString(), 5),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/t/b.mdb;Jet OLEDB:Engine Type=5;"
                             "Jet OLEDB:Database Password="));
    EXPECT_EQ(MakeTargetConnectionString(QStringLiteral("b"), QStringLiteral("pw"), 4),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=b;Jet OLEDB:Engine Type=4;"
                             "Jet OLEDB:Database Password=pw"));
    EXPECT_EQ(MakeTargetConnectionString(QString(), QString(), 5),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;Jet OLEDB:Engine Type=5;"
                             "Jet OLEDB:Database Password="));
}

TEST(ConnectionStrings, ValuesStayVerbatimUnlessTheyWouldChangeTheMeaning)
{
    EXPECT_EQ(MakeSourceConnectionString(QStringLiteral("/my data/a%1.mdb"), QStringLiteral("p=w\"x")),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/my data/a%1.mdb;"
                             "Jet OLEDB:Database Password=p=w\"x"));
    EXPECT_EQ(MakeSourceConnectionString(QStringLiteral("/a;b.mdb"), QStringLiteral(" pw")),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/a;b.mdb\";"
                             "Jet OLEDB:Database Password=\" pw\""));
}

TEST(ConnectionStrings, APasswordCannotRedirectTheTarget)
{
    const QString password = QStringLiteral("x;Data Source=/etc/passwd");
    const jet::CompactRequest request = CompactRequestFromConnectionStrings(
        MakeSourceConnectionString(QStringLiteral("/s;1.mdb"), QStringLiteral("\"q\"")),
        MakeTargetConnectionString(QStringLiteral("/t/b.mdb "), password, 4));
    EXPECT_EQ(request.sourcePath, "/s;1.mdb");
    EXPECT_EQ(request.sourcePassword, "\"q\"");
    EXPECT_EQ(request.targetPath, "/t/b.mdb ");
    EXPECT_EQ(request.targetPassword, password.toStdString());
    EXPECT_EQ(request.engineType, 4);
}

TEST(ConnectionStrings, TargetChecksTheEngineType)
{
    try {
        MakeTargetConnectionString(QStringLiteral("b"), QString(), 7);
        FAIL();
    } catch (const EArgumentException &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("EngineTypeが不正な値です。"));
    }
}

TEST(CompactJetDatabase, CreatesCallsWithSourceFirstAndReleases)
{
    ScopedFakeJetEngine engine;
    CompactJetDatabase(QStringLiteral("/s.mdb"), QStringLiteral("sp"), QStringLiteral("/t.mdb"),
                       QStringLiteral("tp"), 4);
    EXPECT_EQ(engine.log().events, (QStringList{"create", "call", "release"}));
    EXPECT_EQ(engine.log().source,
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/s.mdb;Jet OLEDB:Database Password=sp"));
    EXPECT_EQ(engine.log().target, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/t.mdb;"
                                                  "Jet OLEDB:Engine Type=4;Jet OLEDB:Database Password=tp"));
}

TEST(CompactJetDatabase, InvalidEngineTypeFailsAfterCreationAndStillReleases)
{
    ScopedFakeJetEngine engine;
    EXPECT_EQ(messageOfCompaction(QStringLiteral("/t.mdb"), 7), QStringLiteral("EngineTypeが不正な値です。"));
    EXPECT_EQ(engine.log().events, (QStringList{"create", "release"}));
}

TEST(CompactJetDatabase, EngineFailureTextArrivesUnchangedAndTheNextCallStartsAfresh)
{
    ScopedFakeJetEngine engine;
    engine.log().onCall = [] { failLikeTheEngine(QStringLiteral("ファイルは既に存在します。")); };
    EXPECT_EQ(messageOfCompaction(QStringLiteral("/t.mdb"), 5), QStringLiteral("ファイルは既に存在します。"));
    engine.log().onCall = nullptr;
    EXPECT_EQ(messageOfCompaction(QStringLiteral("/t.mdb"), 5), QStringLiteral("(no error)"));
    EXPECT_EQ(engine.log().events, (QStringList{"create", "call", "release", "create", "call", "release"}));
}

TEST(CompactJetDatabase, UnregisteredEngineAndUnknownMethodHaveTheirTexts)
{
    {
        const ScopedAutomationClass nothing(QString::fromLatin1(JetEngineProgId), nullptr);
        EXPECT_EQ(messageOfCompaction(QStringLiteral("/t.mdb"), 5),
                  QStringLiteral("クラス文字列が無効です, ProgID: \"JRO.JetEngine\""));
    }
    ScopedFakeJetEngine engine;
    engine.log().knowsCompactDatabase = false;
    EXPECT_EQ(messageOfCompaction(QStringLiteral("/t.mdb"), 5),
              QStringLiteral("メソッド 'CompactDatabase' はオートメーション オブジェクトでサポートしていません"));
    EXPECT_EQ(engine.log().events, (QStringList{"create", "release"}));
}
