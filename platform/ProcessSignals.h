// How the programs meet the signals a terminal, a service manager or a
// resource limit sends. Plain C++ (no Qt), so tessivar-jet shares it.
//
// SIGTERM, SIGINT and SIGHUP end a compaction cleanly: a named temporary copy
// is removed, "最適化処理を中断しました。" goes to standard error and the
// exit status is 128 plus the signal's number. SIGXFSZ is ignored, so a
// file-size limit fails the write, which reports it like a full disk.
#pragma once

enum class InterruptScope {
    WholeRun,         // the process is one compaction run (no window)
    WhileCompacting,  // outside a compaction the signals keep their default action
};

void InstallInterruptHandlers(InterruptScope scope);

// A reader of standard output that went away (a closed pipe) cannot turn a
// finished compaction into a crash: the write fails and is let go.
void IgnoreBrokenPipe();
