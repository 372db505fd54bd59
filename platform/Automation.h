// In-process automation: objects created by ProgID and called late-bound by
// method name, with the failure codes and texts of a desktop automation
// runtime. The engine object is reached only through this layer, so the
// program and its tests can put any object under a ProgID.
#pragma once

#include "platform/Exceptions.h"

#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>

using HResult = std::uint32_t;

namespace hresult {
constexpr HResult E_Fail = 0x80004005;
constexpr HResult E_InvalidArg = 0x80070057;
constexpr HResult E_OutOfMemory = 0x8007000E;
constexpr HResult E_Unexpected = 0x8000FFFF;
constexpr HResult Co_E_ClassString = 0x800401F3;  // ProgID not registered
constexpr HResult Disp_E_UnknownName = 0x80020006;
constexpr HResult Disp_E_BadParamCount = 0x8002000E;
constexpr HResult Disp_E_TypeMismatch = 0x80020005;
constexpr HResult Disp_E_Exception = 0x80020009;  // the object raised an error of its own
}  // namespace hresult

// The system's text for a failure code; "OLE エラー %.8x" for codes without one.
QString OleErrorText(HResult code);

// Any failure of the automation layer.
class EOleError : public Exception {
public:
    using Exception::Exception;
};

// A failure known only by its code; the message is the system's text for it.
class EOleSysError : public EOleError {
public:
    explicit EOleSysError(HResult code);
    EOleSysError(const QString &message, HResult code);
    HResult ErrorCode() const noexcept { return FErrorCode; }

private:
    HResult FErrorCode;
};

// An error that the called object itself reported: its description is the
// message, unchanged, and its code and source name travel with it.
class EOleException : public EOleSysError {
public:
    EOleException(const QString &description, HResult code, const QString &source);
    const QString &Source() const noexcept { return FSource; }

private:
    QString FSource;
};

// An object reachable by late binding. Method names are matched without
// regard to ASCII letter case, like dispatch names.
class AutomationObject {
public:
    virtual ~AutomationObject() = default;
    // True when the object has a method of this name.
    virtual bool HasMethod(const QString &name) const = 0;
    // Runs the method; only called for names HasMethod accepts. Errors of the
    // object's own are raised as EOleException.
    virtual QVariant CallMethod(const QString &name, const QVariantList &args) = 0;
};

// Holding the reference keeps the object alive; dropping it releases it.
using AutomationObjectRef = std::unique_ptr<AutomationObject>;
using AutomationFactory = std::function<AutomationObjectRef()>;

// Creates the object registered under the ProgID. Throws EOleSysError with
// the system's text for the failure, then `, ProgID: "<progId>"`.
AutomationObjectRef CreateOleObject(const QString &progId);

// Calls a method by name with positional arguments. An unknown name raises
// EOleError "メソッド '<name>' はオートメーション オブジェクトでサポートしていません";
// an EOleException of the object passes unchanged; any other failure becomes
// EOleSysError with the system's text for its code.
QVariant InvokeMethod(AutomationObject &object, const QString &name, const QVariantList &args);

// The ProgID registry. Built-in classes (the Jet engine object) are present
// from the start; registering a ProgID again replaces its factory.
void RegisterAutomationClass(const QString &progId, AutomationFactory factory);
void UnregisterAutomationClass(const QString &progId);
bool IsAutomationClassRegistered(const QString &progId);

// Puts a factory (or, with an empty factory, nothing) under a ProgID for the
// guard's lifetime and restores what was there before. For tests and tools.
class ScopedAutomationClass {
public:
    ScopedAutomationClass(const QString &progId, AutomationFactory factory);
    ~ScopedAutomationClass();
    ScopedAutomationClass(const ScopedAutomationClass &) = delete;
    ScopedAutomationClass &operator=(const ScopedAutomationClass &) = delete;

private:
    QString FProgId;
    AutomationFactory FPrevious;
};

// Progress of a long automation call (0..100). The caller sets a sink for the
// duration of the call; objects report through ReportAutomationProgress.
// Automation calls run on the user-interface thread, so the sink is per thread.
using AutomationProgressSink = std::function<void(int percent)>;

class ScopedAutomationProgress {
public:
    explicit ScopedAutomationProgress(AutomationProgressSink sink);
    ~ScopedAutomationProgress();
    ScopedAutomationProgress(const ScopedAutomationProgress &) = delete;
    ScopedAutomationProgress &operator=(const ScopedAutomationProgress &) = delete;

private:
    AutomationProgressSink FPrevious;
};

// The sink currently in force (may be empty).
const AutomationProgressSink &CurrentAutomationProgress();
