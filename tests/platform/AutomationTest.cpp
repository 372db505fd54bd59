#include "platform/Automation.h"
#include "platform/JetEngineObject.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class EchoObject : public AutomationObject {
public:
    explicit EchoObject(int *alive = nullptr) : FAlive(alive)
    {
        if (FAlive)
            ++*FAlive;
    }
    ~EchoObject() override
    {
        if (FAlive)
            --*FAlive;
    }
    bool HasMethod(const QString &name) const override
    {
        return name.compare(QLatin1String("Echo"), Qt::CaseInsensitive) == 0 ||
               name.compare(QLatin1String("Fail"), Qt::CaseInsensitive) == 0 ||
               name.compare(QLatin1String("Crash"), Qt::CaseInsensitive) == 0;
    }
    QVariant CallMethod(const QString &name, const QVariantList &args) override
    {
        if (name.compare(QLatin1String("Fail"), Qt::CaseInsensitive) == 0)
            throw EOleException(QStringLiteral("エンジンの説明"), 0x80040E4D, QStringLiteral("TestSource"));
        if (name.compare(QLatin1String("Crash"), Qt::CaseInsensitive) == 0)
            throw std::runtime_error("internal");
        return args.value(0);
    }

private:
    int *FAlive;
};

const QString kTestProgId = QStringLiteral("Tessivar.Test.Echo");

}  // namespace

TEST(OleErrorText, KnownCodesHaveTextOthersAreNumbered)
{
    EXPECT_EQ(OleErrorText(hresult::Co_E_ClassString), QStringLiteral("クラス文字列が無効です"));
    EXPECT_EQ(OleErrorText(0x80001234), QStringLiteral("OLE エラー 80001234"));
    EXPECT_EQ(OleErrorText(0x1F), QStringLiteral("OLE エラー 0000001f"));
}

TEST(CreateOleObject, UnregisteredProgIdNamesItAfterTheSystemText)
{
    const ScopedAutomationClass nothing(QString::fromLatin1(JetEngineProgId), nullptr);
    try {
        CreateOleObject(QStringLiteral("JRO.JetEngine"));
        FAIL() << "created an unregistered object";
    } catch (const EOleSysError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("クラス文字列が無効です, ProgID: \"JRO.JetEngine\""));
        EXPECT_EQ(e.ErrorCode(), hresult::Co_E_ClassString);
    }
}

TEST(CreateOleObject, FactoryFailureCarriesItsCodeAndTheProgId)
{
    const ScopedAutomationClass failing(kTestProgId, []() -> AutomationObjectRef {
        throw EOleSysError(0x80070005);
    });
    try {
        CreateOleObject(kTestProgId);
        FAIL();
    } catch (const EOleSysError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("OLE エラー 80070005, ProgID: \"Tessivar.Test.Echo\""));
        EXPECT_EQ(e.ErrorCode(), 0x80070005u);
    }
}

TEST(CreateOleObject, RegistryIgnoresLetterCaseAndScopesRestore)
{
    EXPECT_TRUE(IsAutomationClassRegistered(QStringLiteral("jro.jetengine")));
    {
        const ScopedAutomationClass echo(kTestProgId, [] { return std::make_unique<EchoObject>(); });
        EXPECT_NE(CreateOleObject(QStringLiteral("TESSIVAR.TEST.ECHO")), nullptr);
        {
            const ScopedAutomationClass hidden(kTestProgId, nullptr);
            EXPECT_FALSE(IsAutomationClassRegistered(kTestProgId));
        }
        EXPECT_TRUE(IsAutomationClassRegistered(kTestProgId));
    }
    EXPECT_FALSE(IsAutomationClassRegistered(kTestProgId));
}

TEST(InvokeMethod, UnknownNameHasTheFixedText)
{
    EchoObject echo;
    try {
        InvokeMethod(echo, QStringLiteral("CompactDatabase"), {});
        FAIL();
    } catch (const EOleError &e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("メソッド 'CompactDatabase' はオートメーション オブジェクトでサポートしていません"));
    }
}

TEST(InvokeMethod, ObjectErrorsKeepDescriptionCodeAndSource)
{
    EchoObject echo;
    try {
        InvokeMethod(echo, QStringLiteral("fAIL"), {});  // names ignore case
        FAIL();
    } catch (const EOleException &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("エンジンの説明"));
        EXPECT_EQ(e.ErrorCode(), 0x80040E4Du);
        EXPECT_EQ(e.Source(), QStringLiteral("TestSource"));
    }
}

TEST(InvokeMethod, OtherFailuresBecomeTheSystemTextOfTheirCode)
{
    EchoObject echo;
    try {
        InvokeMethod(echo, QStringLiteral("Crash"), {});
        FAIL();
    } catch (const EOleSysError &e) {
        EXPECT_EQ(e.ErrorCode(), hresult::E_Unexpected);
        EXPECT_EQ(e.Message(), OleErrorText(hresult::E_Unexpected));
    }
}

