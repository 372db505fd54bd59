#include "platform/Automation.h"

#include "platform/JetEngineObject.h"

#include <QHash>

#include <new>

namespace {

struct CodeText {
    HResult code;
    const char *text;
};

// Texts for the codes this layer raises itself; other codes have none.
constexpr CodeText kCodeTexts[] = {
    {hresult::E_Fail, "エラーを特定できません"},
    {hresult::E_InvalidArg, "パラメーターが間違っています。"},
    {hresult::E_OutOfMemory, "メモリが不足しています。"},
    {hresult::E_Unexpected, "致命的なエラーです"},
    {hresult::Co_E_ClassString, "クラス文字列が無効です"},
    {hresult::Disp_E_UnknownName, "名前が不明です。"},
    {hresult::Disp_E_BadParamCount, "パラメーターの数が無効です。"},
    {hresult::Disp_E_TypeMismatch, "型が一致しません。"},
    {hresult::Disp_E_Exception, "例外が発生しました。"},
};

// ProgIDs are looked up without regard to ASCII letter case.
QString registryKey(const QString &progId)
{
    return progId.toUpper();
}

QHash<QString, AutomationFactory> builtinClasses()
{
    QHash<QString, AutomationFactory> classes;
    classes.insert(registryKey(QString::fromLatin1(JetEngineProgId)), &CreateJetEngineObject);
    return classes;
}

QHash<QString, AutomationFactory> &registry()
{
    static QHash<QString, AutomationFactory> classes = builtinClasses();
    return classes;
}

AutomationFactory factoryFor(const QString &progId)
{
    return registry().value(registryKey(progId));
}

thread_local AutomationProgressSink currentProgress;

QString progIdSuffix(const QString &progId)
{
    return QStringLiteral(", ProgID: \"%1\"").arg(progId);
}

}  // namespace

QString OleErrorText(HResult code)
{
    for (const CodeText &entry : kCodeTexts) {
        if (entry.code == code)
            return QString::fromUtf8(entry.text);
    }
    return QStringLiteral("OLE エラー %1").arg(code, 8, 16, QLatin1Char('0'));
}

EOleSysError::EOleSysError(HResult code) : EOleError(OleErrorText(code)), FErrorCode(code) {}

EOleSysError::EOleSysError(const QString &message, HResult code) : EOleError(message), FErrorCode(code)
{
}

EOleException::EOleException(const QString &description, HResult code, const QString &source)
    : EOleSysError(description, code), FSource(source)
{
}

AutomationObjectRef CreateOleObject(const QString &progId)
{
    const AutomationFactory factory = factoryFor(progId);
    if (!factory)
        throw EOleSysError(OleErrorText(hresult::Co_E_ClassString) + progIdSuffix(progId),
                           hresult::Co_E_ClassString);
    try {
        AutomationObjectRef object = factory();
        if (!object)
            throw EOleSysError(hresult::E_Fail);
        return object;
    } catch (const EOleSysError &e) {
        throw EOleSysError(e.Message() + progIdSuffix(progId), e.ErrorCode());
    } catch (const std::bad_alloc &) {
        throw EOleSysError(OleErrorText(hresult::E_OutOfMemory) + progIdSuffix(progId),
                           hresult::E_OutOfMemory);
    } catch (const std::exception &) {
        throw EOleSysError(OleErrorText(hresult::E_Unexpected) + progIdSuffix(progId),
                           hresult::E_Unexpected);
    }
}

QVariant InvokeMethod(AutomationObject &object, const QString &name, const QVariantList &args)
{
    if (!object.HasMethod(name))
        throw EOleError(QStringLiteral("メソッド '%1' はオートメーション オブジェクトでサポートしていません").arg(name));
    try {
        return object.CallMethod(name, args);
    } catch (const EOleError &) {
        throw;
    } catch (const std::bad_alloc &) {
        throw EOleSysError(hresult::E_OutOfMemory);
    } catch (const std::exception &) {
        throw EOleSysError(hresult::E_Unexpected);
    }
}

void RegisterAutomationClass(const QString &progId, AutomationFactory factory)
{
    if (factory)
        registry().insert(registryKey(progId), std::move(factory));
    else
        registry().remove(registryKey(progId));
}

void UnregisterAutomationClass(const QString &progId)
{
    registry().remove(registryKey(progId));
}

bool IsAutomationClassRegistered(const QString &progId)
{
    return registry().contains(registryKey(progId));
}

ScopedAutomationClass::ScopedAutomationClass(const QString &progId, AutomationFactory factory)
    : FProgId(progId), FPrevious(factoryFor(progId))
{
    RegisterAutomationClass(progId, std::move(factory));
}

ScopedAutomationClass::~ScopedAutomationClass()
{
    RegisterAutomationClass(FProgId, std::move(FPrevious));
}

ScopedAutomationProgress::ScopedAutomationProgress(AutomationProgressSink sink)
    : FPrevious(std::exchange(currentProgress, std::move(sink)))
{
}

ScopedAutomationProgress::~ScopedAutomationProgress()
{
    currentProgress = std::move(FPrevious);
}

const AutomationProgressSink &CurrentAutomationProgress()
{
    return currentProgress;
}
