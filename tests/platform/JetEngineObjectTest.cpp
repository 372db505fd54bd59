#include "platform/JetEngineObject.h"

#include <gtest/gtest.h>

namespace {

const QString kSource = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/a.mdb;Jet OLEDB:Database Password=pw");
const QString kTarget =
    QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/b.mdb;Jet OLEDB:Engine Type=4;Jet OLEDB:Database Password=");

QString engineErrorOf(const QString &source, const QString &target)
{
    try {
        CompactRequestFromConnectionStrings(source, target);
    } catch (const EOleException &e) {
        EXPECT_EQ(e.Source(), QStringLiteral("JRO.JetEngine"));
        return e.Message();
    }
    ADD_FAILURE() << "accepted " << source.toStdString() << " / " << target.toStdString();
    return QString();
}

}  // namespace

TEST(JetEngineObject, ReadsBothStrings)
{
    const jet::CompactRequest request = CompactRequestFromConnectionStrings(kSource, kTarget);
    EXPECT_EQ(request.sourcePath, "/d/a.mdb");
    EXPECT_EQ(request.sourcePassword, "pw");
    EXPECT_EQ(request.targetPath, "/d/b.mdb");
    EXPECT_EQ(request.targetPassword, "");
    EXPECT_EQ(request.engineType, 4);
}

TEST(JetEngineObject, KeywordsIgnoreCaseUnknownOnesAreIgnoredEngineTypeDefaultsTo5)
{
    const jet::CompactRequest request = CompactRequestFromConnectionStrings(
        QStringLiteral("PROVIDER=microsoft.jet.oledb.4.0;data source=/a;Mode=Share Deny None;"
                       "JET OLEDB:DATABASE PASSWORD=\"パス;ワード\""),
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/b"));
    EXPECT_EQ(request.sourcePath, "/a");
    EXPECT_EQ(request.sourcePassword, "パス;ワード");
    EXPECT_EQ(request.targetPassword, "");
    EXPECT_EQ(request.engineType, 5);
}

TEST(JetEngineObject, ProviderMustBeJet4)
{
    EXPECT_EQ(engineErrorOf(QStringLiteral("Data Source=/a"), kTarget),
              QStringLiteral("接続文字列にプロバイダが指定されていません。"));
    EXPECT_EQ(engineErrorOf(kSource, QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/b")),
              QStringLiteral("プロバイダ \"Microsoft.ACE.OLEDB.12.0\" は使用できません。"
                             "Microsoft.Jet.OLEDB.4.0 を指定してください。"));
}

TEST(JetEngineObject, RejectsMissingPathsBadEngineTypesAndMalformedStrings)
{
    EXPECT_EQ(engineErrorOf(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;Jet OLEDB:Database Password="),
                            kTarget),
              QStringLiteral("最適化するデータベースのファイル名が指定されていません。"));
    EXPECT_EQ(engineErrorOf(kSource, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;"
                                                    "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Password=")),
              QStringLiteral("最適化したデータベースの保存先が指定されていません。"));
    for (const char *type : {"3", "6", "x", ""}) {
        const QString message = engineErrorOf(
            kSource, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/b;Jet OLEDB:Engine Type=%1")
                         .arg(QLatin1String(type)));
        EXPECT_TRUE(message.startsWith(QStringLiteral("Jet OLEDB:Engine Type \"%1\"").arg(QLatin1String(type))))
            << message.toStdString();
    }
    EXPECT_TRUE(engineErrorOf(kSource, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/b"))
                    .startsWith(QStringLiteral("接続文字列が正しくありません")));
}

TEST(JetEngineObject, CompactDatabaseReportsTheEnginesFailureAsItsOwn)
{
    const AutomationObjectRef engine = CreateOleObject(QStringLiteral("JRO.JetEngine"));
    try {
        InvokeMethod(*engine, QStringLiteral("CompactDatabase"), {kSource, kTarget});
        FAIL() << "the engine reported success without writing a target";
    } catch (const EOleException &e) {
        EXPECT_FALSE(e.Message().isEmpty());
        EXPECT_EQ(e.Source(), QStringLiteral("JRO.JetEngine"));
    }
}

TEST(JetEngineObject, CompactDatabaseTakesExactlyTwoStrings)
{
    const AutomationObjectRef engine = CreateOleObject(QStringLiteral("JRO.JetEngine"));
    try {
        InvokeMethod(*engine, QStringLiteral("compactdatabase"), {kSource});
        FAIL();
    } catch (const EOleSysError &e) {
        EXPECT_EQ(e.ErrorCode(), hresult::Disp_E_BadParamCount);
    }
    try {
        InvokeMethod(*engine, QStringLiteral("CompactDatabase"), {kSource, 5});
        FAIL();
    } catch (const EOleSysError &e) {
        EXPECT_EQ(e.ErrorCode(), hresult::Disp_E_TypeMismatch);
    }
}
