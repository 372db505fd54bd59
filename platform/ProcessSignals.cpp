#include "platform/ProcessSignals.h"

#include "jet/write/InterruptCleanup.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

constexpr char kInterrupted[] = "最適化処理を中断しました。\n";

// Read by the handler only; set before the handlers are installed.
volatile sig_atomic_t wholeRun = 0;
volatile sig_atomic_t startOnNewLine = 0;  // a progress line may be open on the terminal

void writeAll(const char *text, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, length);
        if (n <= 0)
            return;
        text += n;
        length -= static_cast<std::size_t>(n);
    }
}

void onInterrupt(int signalNumber)
{
    if (!wholeRun && !jet::write::compactionInProgress()) {
        std::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
        return;
    }
    jet::write::removeRegisteredTemporaryFiles();
    if (startOnNewLine)
        writeAll("\n", 1);
    writeAll(kInterrupted, sizeof kInterrupted - 1);
    ::_exit(128 + signalNumber);
}

}  // namespace

void InstallInterruptHandlers(InterruptScope scope)
{
    wholeRun = scope == InterruptScope::WholeRun;
    startOnNewLine = ::isatty(STDERR_FILENO);
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&action.sa_mask, signalNumber);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        // A signal ignored at the start (nohup, a background job) stays ignored.
        struct sigaction previous {};
        if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signalNumber, &action, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

void IgnoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}
