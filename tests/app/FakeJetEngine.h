// A stand-in for the engine object, registered under "JRO.JetEngine" for the
// life of a test. It records creation, calls and release in order.
#pragma once

#include "platform/Automation.h"
#include "platform/JetEngineObject.h"

#include <QStringList>

#include <functional>
#include <memory>

struct FakeJetEngineLog {
    QStringList events;  // "create", "call", "release"
    QString source;
    QString target;
    std::function<void()> onCall;  // runs inside CompactDatabase; may throw
    bool knowsCompactDatabase = true;
};

class FakeJetEngine : public AutomationObject {
public:
    explicit FakeJetEngine(FakeJetEngineLog &log) : FLog(log) { FLog.events << QStringLiteral("create"); }
    ~FakeJetEngine() override { FLog.events << QStringLiteral("release"); }

    bool HasMethod(const QString &name) const override
    {
        return FLog.knowsCompactDatabase && name == QLatin1String("CompactDatabase");
    }

    QVariant CallMethod(const QString &, const QVariantList &args) override
    {
        FLog.events << QStringLiteral("call");
        FLog.source = args.value(0).toString();
        FLog.target = args.value(1).toString();
        if (FLog.onCall)
            FLog.onCall();
        return QVariant();
    }

private:
    FakeJetEngineLog &FLog;
};

class ScopedFakeJetEngine {
public:
    ScopedFakeJetEngine()
        : FRegistration(QString::fromLatin1(JetEngineProgId),
                        [log = FLog] { return std::make_unique<FakeJetEngine>(*log); })
    {
    }
    FakeJetEngineLog &log() { return *FLog; }

private:
    std::shared_ptr<FakeJetEngineLog> FLog = std::make_shared<FakeJetEngineLog>();
    ScopedAutomationClass FRegistration;
};

// An engine failure as the engine object reports it.
inline void failLikeTheEngine(const QString &description)
{
    throw EOleException(description, hresult::E_Fail, QStringLiteral("JRO.JetEngine"));
}
