#include "platform/JetEngineObject.h"

#include "platform/AnsiCodePage.h"
#include "platform/ConnectionString.h"

#include "jet/Error.h"

#include <chrono>
#include <utility>

namespace {

thread_local CompactionReportSink currentReport;

const QString kProvider = QStringLiteral("Provider");
const QString kDataSource = QStringLiteral("Data Source");
const QString kPassword = QStringLiteral("Jet OLEDB:Database Password");
const QString kEngineType = QStringLiteral("Jet OLEDB:Engine Type");

[[noreturn]] void engineError(const QString &description, HResult code = hresult::E_Fail)
{
    throw EOleException(description, code, QString::fromLatin1(JetEngineErrorSource));
}

QList<ConnectionStringPair> parse(const QString &text)
{
    try {
        return ParseConnectionString(text);
    } catch (const EArgumentException &e) {
        engineError(e.Message(), hresult::E_InvalidArg);
    }
}

void checkProvider(const QList<ConnectionStringPair> &pairs)
{
    const std::optional<QString> provider = ConnectionStringValue(pairs, kProvider);
    if (!provider || provider->isEmpty())
        engineError(QStringLiteral("接続文字列にプロバイダが指定されていません。"), hresult::E_InvalidArg);
    if (provider->compare(QLatin1String(JetOleDbProvider), Qt::CaseInsensitive) != 0)
        engineError(QStringLiteral("プロバイダ \"%1\" は使用できません。%2 を指定してください。")
                        .arg(*provider, QLatin1String(JetOleDbProvider)),
                    hresult::E_InvalidArg);
}

QString dataSource(const QList<ConnectionStringPair> &pairs, const QString &missingText)
{
    const QString path = ConnectionStringValue(pairs, kDataSource).value_or(QString());
    if (path.isEmpty())
        engineError(missingText, hresult::E_InvalidArg);
    return path;
}

int engineType(const QList<ConnectionStringPair> &pairs)
{
    const std::optional<QString> text = ConnectionStringValue(pairs, kEngineType);
    if (!text)
        return 5;
    bool ok = false;
    const int value = text->toInt(&ok);
    if (!ok || (value != 4 && value != 5))
        engineError(QStringLiteral("Jet OLEDB:Engine Type \"%1\" の形式には最適化できません。"
                                   "4 (Jet 3.x 形式) か 5 (Jet 4.x 形式) を指定してください。")
                        .arg(*text),
                    hresult::E_InvalidArg);
    return value;
}

std::string fileSystemBytes(const QString &path)
{
    return EncodeSystemText(path).toStdString();
}

HResult codeFor(jet::ErrorKind kind)
{
    return kind == jet::ErrorKind::Argument ? hresult::E_InvalidArg : hresult::E_Fail;
}

class JetEngineObject final : public AutomationObject {
public:
    bool HasMethod(const QString &name) const override
    {
        return name.compare(QLatin1String("CompactDatabase"), Qt::CaseInsensitive) == 0;
    }

    QVariant CallMethod(const QString &, const QVariantList &args) override
    {
        if (args.size() != 2)
            throw EOleSysError(hresult::Disp_E_BadParamCount);
        if (args[0].typeId() != QMetaType::QString || args[1].typeId() != QMetaType::QString)
            throw EOleSysError(hresult::Disp_E_TypeMismatch);
        CompactDatabase(args[0].toString(), args[1].toString());
        return QVariant();
    }

private:
    static void CompactDatabase(const QString &source, const QString &target)
    {
        jet::CompactRequest request = CompactRequestFromConnectionStrings(source, target);
        request.progress = CurrentAutomationProgress();
        try {
            const auto start = std::chrono::steady_clock::now();
            const jet::CompactResult result = jet::compactDatabase(request);
            const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
            if (currentReport)
                currentReport({DecodeSystemText(QByteArray::fromStdString(request.sourcePath)),
                               DecodeSystemText(QByteArray::fromStdString(request.targetPath)), result,
                               taken.count()});
        } catch (const jet::Error &e) {
            engineError(QString::fromUtf8(e.what()), codeFor(e.kind()));
        } catch (const std::bad_alloc &) {
            throw;
        } catch (const std::exception &e) {
            engineError(QString::fromLocal8Bit(e.what()));
        }
    }
};

}  // namespace

jet::CompactRequest CompactRequestFromConnectionStrings(const QString &source, const QString &target)
{
    const QList<ConnectionStringPair> sourcePairs = parse(source);
    const QList<ConnectionStringPair> targetPairs = parse(target);
    checkProvider(sourcePairs);
    checkProvider(targetPairs);

    jet::CompactRequest request;
    request.sourcePath = fileSystemBytes(
        dataSource(sourcePairs, QStringLiteral("最適化するデータベースのファイル名が指定されていません。")));
    request.targetPath = fileSystemBytes(
        dataSource(targetPairs, QStringLiteral("最適化したデータベースの保存先が指定されていません。")));
    request.sourcePassword = ConnectionStringValue(sourcePairs, kPassword).value_or(QString()).toStdString();
    request.targetPassword = ConnectionStringValue(targetPairs, kPassword).value_or(QString()).toStdString();
    request.engineType = engineType(targetPairs);
    return request;
}

AutomationObjectRef CreateJetEngineObject()
{
    return std::make_unique<JetEngineObject>();
}

ScopedCompactionReport::ScopedCompactionReport(CompactionReportSink sink)
    : FPrevious(std::exchange(currentReport, std::move(sink)))
{
}

ScopedCompactionReport::~ScopedCompactionReport()
{
    currentReport = std::move(FPrevious);
}

const CompactionReportSink &CurrentCompactionReport()
{
    return currentReport;
}
