// A headless run that is interrupted, limited or left without a reader ends
// with its message and leaves no file behind; a stale DISPLAY runs headless.
#include "support/TempFiles.h"
#include "support/TestData.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace fs = std::filesystem;

namespace {

struct Launch {
    std::vector<std::string> args;
    std::vector<std::string> env;  // "NAME=value" added to the cleaned environment
    std::optional<rlim_t> fileSizeLimit;
    bool stdoutClosedPipe = false;
};

struct Finished {
    int status = 0;  // as waitpid gives it
    std::string err;
    bool exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

std::string readFile(const fs::path &path)
{
    return testfiles::readBytes(QString::fromStdString(path.string())).toStdString();
}

// Starts bin/tessivar without a screen, its standard error going to `errFile`.
pid_t start(const Launch &launch, const fs::path &errFile)
{
    std::vector<std::string> env;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (text.rfind("DISPLAY=", 0) != 0 && text.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            text.rfind("QT_QPA_PLATFORM=", 0) != 0 && text.rfind("TESSIVAR_DUMP_JOB=", 0) != 0)
            env.push_back(text);
    }
    env.insert(env.end(), launch.env.begin(), launch.env.end());
    std::vector<std::string> args{TESSIVAR_BINARY_DIR "/bin/tessivar"};
    args.insert(args.end(), launch.args.begin(), launch.args.end());
    std::vector<char *> argv, envp;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    for (std::string &entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (launch.stdoutClosedPipe && pipe(pipeFds) != 0)
        return -1;
    const int errFd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int nullFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        if (launch.fileSizeLimit) {
            const rlimit limit{*launch.fileSizeLimit, *launch.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (launch.stdoutClosedPipe) {
            dup2(pipeFds[1], STDOUT_FILENO);
            close(pipeFds[0]);
        } else {
            dup2(nullFd, STDOUT_FILENO);
        }
        dup2(errFd, STDERR_FILENO);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(errFd);
    close(nullFd);
    if (launch.stdoutClosedPipe) {
        close(pipeFds[0]);  // no reader: a write to standard output gets EPIPE
        close(pipeFds[1]);
    }
    return pid;
}

Finished finish(pid_t pid, const fs::path &errFile)
{
    Finished done;
    EXPECT_EQ(waitpid(pid, &done.status, 0), pid);
    done.err = readFile(errFile);
    return done;
}

Finished run(const Launch &launch, const fs::path &errFile) { return finish(start(launch, errFile), errFile); }

Launch compaction(const fs::path &source, const fs::path &target)
{
    Launch launch;
    launch.args = {"-sf:" + source.string(), "-tf:" + target.string(), "-et:5", "-oe", "-as"};
    return launch;
}

std::size_t entriesOf(const fs::path &folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

bool checksClean(const fs::path &database)
{
    const std::string command = std::string(TESSIVAR_BINARY_DIR "/bin/tessivar-jet check '") + database.string() +
                                "' > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// A database of some 230 MiB, made once per test run from Northwind. The
// sanitizer build runs ten times slower and looks for memory faults, not at
// sizes, so there a tenth of it keeps the test's time.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kNorthwindCopies = 65;
#else
constexpr int kNorthwindCopies = 650;
#endif

class BigDatabase {
public:
    static const BigDatabase &get()
    {
        static const BigDatabase instance;
        return instance;
    }
    bool ok() const { return ok_; }
    fs::path path() const { return fs::path(dir_.path().toStdString()) / "big.mdb"; }

private:
    BigDatabase()
    {
        const std::string command = std::string(TESSIVAR_BINARY_DIR "/bench/make_big_database '") +
                                    testdata::database("northwind-glogue__Northwind.mdb").string() + "' '" +
                                    path().string() + "' " + std::to_string(kNorthwindCopies) + " > /dev/null";
        ok_ = dir_.isValid() && std::system(command.c_str()) == 0 &&
              fs::file_size(path()) > std::uintmax_t(kNorthwindCopies) * (300u << 10);
    }
    QTemporaryDir dir_;
    bool ok_ = false;
};

class Interrupt : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TESTDATA();
        ASSERT_TRUE(dir_.isValid());
        out_ = fs::path(dir_.path().toStdString()) / "out";
        fs::create_directory(out_);
        errFile_ = fs::path(dir_.path().toStdString()) / "stderr.txt";
    }
    fs::path small() const { return testdata::database("northwind-glogue__Northwind.mdb"); }

    QTemporaryDir dir_;
    fs::path out_;  // the target's folder: nothing but the target may appear here
    fs::path errFile_;
};

}  // namespace

TEST_F(Interrupt, SignalsAtAnyMomentLeaveNoFileAndTheTargetAbsentOrComplete)
{
    const BigDatabase &big = BigDatabase::get();
    ASSERT_TRUE(big.ok()) << "could not make the big database with bench/make_big_database";
    const fs::path target = out_ / "big-compacted.mdb";

    // One undisturbed run gives the moments to interrupt at.
    const auto begin = std::chrono::steady_clock::now();
    const Finished whole = run(compaction(big.path(), target), errFile_);
    const auto taken = std::chrono::steady_clock::now() - begin;
    ASSERT_TRUE(whole.exited(0)) << whole.err;
    ASSERT_TRUE(checksClean(target));
    fs::remove(target);

    const struct {
        int signal;
        double atFraction;
    } cases[] = {{SIGTERM, 0.02}, {SIGINT, 0.3}, {SIGHUP, 0.6}, {SIGTERM, 0.9}, {SIGKILL, 0.5}, {SIGKILL, 0.95}};
    int interrupted = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + " at " + std::to_string(c.atFraction));
        const pid_t pid = start(compaction(big.path(), target), errFile_);
        std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::milliseconds>(taken * c.atFraction));
        kill(pid, c.signal);
        const Finished done = finish(pid, errFile_);
        if (fs::exists(target)) {  // the signal came after the copy was in place
            EXPECT_TRUE(checksClean(target));
        }
        interrupted += done.exited(0) ? 0 : 1;
        if (c.signal == SIGKILL) {
            EXPECT_TRUE(WIFSIGNALED(done.status) || done.exited(0));
        } else if (!done.exited(0)) {
            EXPECT_TRUE(done.exited(128 + c.signal)) << done.status << " " << done.err;
            EXPECT_NE(done.err.find("最適化処理を中断しました。\n"), std::string::npos) << done.err;
        }
        EXPECT_EQ(entriesOf(out_), fs::exists(target) ? 1u : 0u) << "a temporary file was left";
        fs::remove(target);
    }
    EXPECT_GE(interrupted, 3) << "most signals must come while the compaction runs";
}

TEST_F(Interrupt, FileSizeLimitFailsWithTheWriteMessage)
{
    Launch launch = compaction(small(), out_ / "limited.mdb");
    launch.fileSizeLimit = rlim_t(1) << 20;
    const Finished done = run(launch, errFile_);
    EXPECT_TRUE(done.exited(1)) << done.status;
    EXPECT_NE(done.err.find("に書き込めません: ファイルが大きすぎます。"), std::string::npos) << done.err;
    EXPECT_EQ(entriesOf(out_), 0u);
}

TEST_F(Interrupt, ClosedStandardOutputDoesNotTurnSuccessIntoACrash)
{
    Launch launch = compaction(small(), out_ / "piped.mdb");
    launch.stdoutClosedPipe = true;
    const Finished done = run(launch, errFile_);
    EXPECT_TRUE(done.exited(0)) << done.status << " " << done.err;
    EXPECT_TRUE(checksClean(out_ / "piped.mdb"));
}

TEST_F(Interrupt, StaleDisplayRunsHeadlessWithAWarning)
{
    ASSERT_FALSE(fs::exists("/tmp/.X11-unix/X99")) << "an X server answers on :99";
    Launch launch = compaction(small(), out_ / "display.mdb");
    launch.env = {"DISPLAY=:99"};
    const Finished done = run(launch, errFile_);
    EXPECT_TRUE(done.exited(0)) << done.status << " " << done.err;
    EXPECT_EQ(done.err, "警告: 画面 \":99\" に接続できないため、画面なしで実行します。\n");
    EXPECT_TRUE(fs::exists(out_ / "display.mdb"));
}

TEST_F(Interrupt, LeftoversOfEarlierRunsAreWarnedOfAndKept)
{
    const fs::path leftover = out_ / ".kept.mdb.tessivar-a1b2c3d4";
    testfiles::writeBytes(QString::fromStdString(leftover.string()), "half a copy");
    const Finished done = run(compaction(small(), out_ / "kept.mdb"), errFile_);
    EXPECT_TRUE(done.exited(0)) << done.err;
    EXPECT_NE(done.err.find("警告: 最適化先のフォルダーに、以前に中断された最適化処理の一時ファイル \"" +
                            leftover.string() + "\" が残っています。"),
              std::string::npos)
        << done.err;
    EXPECT_TRUE(fs::exists(leftover));
}

TEST_F(Interrupt, SourcesThatAreNoFilesSayWhatTheyAre)
{
    const fs::path fifo = out_ / "pipe.mdb";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const auto &[source, kind] : {std::pair{fifo, "名前付きパイプ (FIFO)"}, std::pair{out_, "フォルダー"},
                                       std::pair{fs::path("/dev/null"), "デバイス"}}) {
        const Finished done = run(compaction(source, out_ / "never.mdb"), errFile_);
        EXPECT_TRUE(done.exited(1)) << done.err;
        EXPECT_EQ(done.err, "警告: 変換するMDBファイルが見つかりません。\"" + source.string() + "\" は" + kind +
                                "で、データベースのファイルではありません。\n");
    }
    EXPECT_FALSE(fs::exists(out_ / "never.mdb"));
}
