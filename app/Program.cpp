#include "app/Program.h"

#include "app/Application.h"
#include "app/CommandLineJob.h"
#include "app/CompactionSummary.h"
#include "app/MessageBoxes.h"
#include "app/UnitFormMain.h"
#include "platform/AnsiCodePage.h"
#include "platform/DisplayProbe.h"
#include "platform/Exceptions.h"
#include "platform/JetEngineObject.h"
#include "platform/ProcessSignals.h"

#include "jet/write/OutputFile.h"

#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <clocale>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <utility>

// Exit status: 0 when a compaction ran and succeeded, 1 when it failed or the
// source file was missing, 2 when a run without a screen had nothing to do.
// A windowed run that the user ends returns 0; one that the compaction's
// auto-exit ended returns the compaction's status.

namespace {

enum ExitStatus { kSucceeded = 0, kFailed = 1, kNothingToDo = 2 };

void writeTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = EncodeSystemText(text);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// --help and --version answer on standard output; nothing else is looked at.
std::optional<int> answerInformationSwitch(const QStringList &args)
{
    for (const QString &arg : args) {
        if (arg == QLatin1String("--help")) {
            writeTo(stdout, UsageText());
            return kSucceeded;
        }
        if (arg == QLatin1String("--version")) {
            writeTo(stdout, QStringLiteral("Tessivar %1\n").arg(QLatin1String(TESSIVAR_VERSION)));
            return kSucceeded;
        }
    }
    return std::nullopt;
}

void loadQtTranslations(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
}

int statusOf(TCompactionOutcome outcome)
{
    switch (outcome) {
    case TCompactionOutcome::Succeeded:
        return kSucceeded;
    case TCompactionOutcome::Failed:
    case TCompactionOutcome::InputRejected:
        return kFailed;
    case TCompactionOutcome::None:
        break;
    }
    return kNothingToDo;
}

// Without a screen, standard error carries only the program's own lines; the
// toolkit's notes about the invisible window would bury them.
void quietToolkitMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        writeTo(stderr, message + QLatin1Char('\n'));
}

// Progress rewrites one line of the terminal; a warning that follows starts
// on a line of its own.
bool progressLineOpen = false;

void printProgress(int percent)
{
    progressLineOpen = percent < 100;
    writeTo(stderr, QStringLiteral("\r最適化処理中... %1%").arg(percent) +
                        (progressLineOpen ? QString() : QStringLiteral("\n")));
}

MessageBoxHook messagesToStandardError()
{
    return [lines = StandardErrorMessageBoxes()](MessageBoxKind kind, const QString &text) {
        if (std::exchange(progressLineOpen, false))
            writeTo(stderr, QStringLiteral("\n"));
        lines(kind, text);
    };
}

// What the copy leaves out on purpose goes where the warnings go, so that a
// mail holding only standard error still says it.
void writeNotices(const jet::CompactResult &result)
{
    for (const QString &line : CompactionNoticeLines(result)) {
        if (std::exchange(progressLineOpen, false))
            writeTo(stderr, QStringLiteral("\n"));
        writeTo(stderr, line + QLatin1Char('\n'));
    }
}

// Hidden copies that interrupted runs of earlier versions left are the user's
// to delete: the program cannot know whether another run still writes one.
// They are named before the run, so also when it then fails for want of space.
void warnOfLeftovers(const QStringList &args)
{
    const QString target = ArgsToProjectFile(args).FTargetMdbPath;
    if (target.isEmpty())
        return;
    for (const std::string &path : jet::write::leftoverTemporaryFiles(EncodeSystemText(target).toStdString()))
        writeTo(stderr, QStringLiteral("警告: 最適化先のフォルダーに、以前に中断された最適化処理の一時ファイル \"%1\" "
                                       "が残っています。ほかに実行中の最適化処理がなければ削除してください。\n")
                            .arg(DecodeSystemText(QByteArray::fromStdString(path))));
}

// A DISPLAY whose server is gone (ssh forwarding, an old tmux session)
// would make the toolkit abort; such a run goes on without a window.
bool displayUnreachable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM").split(':').value(0);
    if (!platform.isEmpty() && platform != "xcb")
        return false;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    return !XDisplayReachable();
}

// The automation layer is in-process and needs no per-thread set-up, and
// every top-level window has its own entry in the task list, so the start
// is only: application, title, main window, event loop.
int runApplication(int &argc, char **argv, const QStringList &args, bool headless)
{
    TApplication app(argc, argv);
    SetProcessArguments(args);
    loadQtTranslations(app);
    Application().Title = QStringLiteral("Tessivar");

    std::optional<ScopedMessageBoxHook> warningsToStandardError;
    if (headless) {
        warningsToStandardError.emplace(messagesToStandardError());
        warnOfLeftovers(args);
    }

    TFormMain formMain;
    if (headless) {
        QObject::connect(&formMain, &TFormMain::FirstIdleDone, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        if (::isatty(STDERR_FILENO))
            QObject::connect(&formMain, &TFormMain::CompactionProgress, &printProgress);
    }
    std::optional<CompactionReport> report;
    const ScopedCompactionReport reporting([&report](const CompactionReport &r) { report = r; });
    formMain.show();
    const int loopStatus = app.exec();
    if (headless && report && formMain.LastCompactionOutcome() == TCompactionOutcome::Succeeded) {
        writeTo(stdout, CompactionSummaryLine(report->SourcePath, report->TargetPath, report->Result,
                                              report->Seconds) + QLatin1Char('\n'));
        if (const QString repairs = CompactionRepairLine(report->Result); !repairs.isEmpty())
            writeTo(stdout, repairs + QLatin1Char('\n'));
        writeNotices(report->Result);
    }
    if (headless || formMain.ClosedByAutoExit())
        return statusOf(formMain.LastCompactionOutcome());
    return loopStatus;
}

}  // namespace

bool IsHeadless()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM").split(':').value(0);
    if (platform == "offscreen" || platform == "minimal")
        return true;
    return (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) ||
           displayUnreachable();
}

QString UsageText()
{
    return QStringLiteral(
        "使い方: tessivar [-sf:元のファイル] [-sp:元のパスワード] [-tf:保存先のファイル]\n"
        "                 [-tp:保存先のパスワード] [-et:4|5] [-oe] [-as]\n"
        "  -sf:パス        最適化するMDBファイル\n"
        "  -sp:パスワード  最適化するMDBファイルのパスワード\n"
        "  -tf:パス        最適化したMDBファイルの保存場所\n"
        "  -tp:パスワード  最適化したMDBファイルに付けるパスワード\n"
        "  -et:4|5         保存する形式 (4: Jet 3.X形式, 5: Jet 4.X形式; 既定は 5;\n"
        "                  元のファイルと違う形式なら変換する)\n"
        "  -oe             最適化が終わったら終了する\n"
        "  -as             起動してすぐに最適化する\n"
        "  --help          この説明を表示する\n"
        "  --version       バージョンを表示する\n"
        "画面がないときは -as が必要です。終了コード: 0 成功, 1 失敗, 2 何もしなかった\n");
}

QStringList ProgramArguments(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(DecodeSystemText(QByteArray(argv[i])));
    return args;
}

int RunProgram(int argc, char **argv)
{
    std::setlocale(LC_ALL, "");
    KeepUserCharacterSet();
    const QStringList args = ProgramArguments(argc, argv);
    if (const std::optional<int> status = answerInformationSwitch(args))
        return *status;

    const bool headless = IsHeadless();
    IgnoreBrokenPipe();
    InstallInterruptHandlers(headless ? InterruptScope::WholeRun : InterruptScope::WhileCompacting);
    if (headless && displayUnreachable())
        writeTo(stderr, QStringLiteral("警告: 画面 \"%1\" に接続できないため、画面なしで実行します。\n")
                            .arg(qEnvironmentVariable("DISPLAY")));
    if (headless) {
        if (!ArgsToProjectFile(args).FAutoStart) {
            writeTo(stderr, UsageText());
            return kNothingToDo;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(&quietToolkitMessages);
    }
    // Exceptions outside event handling (while the window is made, say) never
    // reach the application's handler; they end the program with their text.
    try {
        return runApplication(argc, argv, args, headless);
    } catch (...) {
        writeTo(stderr, QStringLiteral("エラー: %1\n").arg(MessageOfCurrentException()));
        return kFailed;
    }
}
