#include "app/jettool/Arguments.h"

#include <algorithm>

namespace jettool {

namespace {

const std::vector<std::string> kCommands = {"info", "check", "dump", "compact"};

bool takesOption(const std::string &command, const std::string &option)
{
    if (option == "--password")
        return true;
    if (option == "--json")
        return command != "dump";
    if (option == "--system")
        return command == "dump";
    return command == "compact" &&
           (option == "--target-password" || option == "--format" || option == "--in-place" || option == "--backup");
}

bool hasValue(const std::string &option)
{
    return option == "--password" || option == "--target-password" || option == "--format" || option == "--backup";
}

void setValue(Options &options, const std::string &option, const std::string &value)
{
    if (option == "--password") {
        options.password = value;
    } else if (option == "--target-password") {
        options.targetPassword = value;
    } else if (option == "--backup") {
        if (value.empty() || value.find('/') != std::string::npos)
            throw UsageError{"--backup の接尾辞 '" + value + "' は使えません（空でなく、/ を含まないもの）。"};
        options.backupSuffix = value;
    } else if (value == "jet3") {
        options.engineType = 4;
    } else if (value == "jet4") {
        options.engineType = 5;
    } else {
        throw UsageError{"--format は jet3 か jet4 です: '" + value + "'"};
    }
}

void setFlag(Options &options, const std::string &option)
{
    if (option == "--json")
        options.json = true;
    else if (option == "--system")
        options.includeSystemTables = true;
    else if (option == "--in-place")
        options.inPlace = true;
}

void fromEnvironment(Options &options, const char *(*environment)(const char *))
{
    if (!options.password)
        if (const char *value = environment("TESSIVAR_PASSWORD"))
            options.password = value;
    if (!options.targetPassword)
        if (const char *value = environment("TESSIVAR_TARGET_PASSWORD"))
            options.targetPassword = value;
}

void checkCombination(const Invocation &invocation)
{
    const Options &options = invocation.options;
    if (options.files.empty())
        throw UsageError{"ファイルが指定されていません。"};
    if (invocation.command == "dump" && options.files.size() != 1)
        throw UsageError{"dump はファイルを 1 つだけ取ります。"};
    if (options.backupSuffix && !options.inPlace)
        throw UsageError{"--backup は --in-place と一緒に使います。"};
}

}  // namespace

Invocation parseArguments(const std::vector<std::string> &args, const char *(*environment)(const char *name))
{
    Invocation invocation;
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        std::find(args.begin(), args.end(), "-h") != args.end()) {
        invocation.kind = Invocation::Kind::Help;
        return invocation;
    }
    if (std::find(args.begin(), args.end(), "--version") != args.end()) {
        invocation.kind = Invocation::Kind::Version;
        return invocation;
    }
    if (args.empty())
        throw UsageError{"サブコマンドが指定されていません。"};
    invocation.command = args[0];
    if (std::find(kCommands.begin(), kCommands.end(), invocation.command) == kCommands.end())
        throw UsageError{"サブコマンド '" + invocation.command + "' はありません。"};
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            invocation.options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (!takesOption(invocation.command, arg)) {
            throw UsageError{invocation.command + " にオプション '" + arg + "' はありません。"};
        } else if (hasValue(arg)) {
            if (i + 1 >= args.size())
                throw UsageError{"オプション '" + arg + "' に値がありません。"};
            setValue(invocation.options, arg, args[++i]);
        } else {
            setFlag(invocation.options, arg);
        }
    }
    fromEnvironment(invocation.options, environment);
    checkCombination(invocation);
    return invocation;
}

std::string usageText()
{
    return "使い方: tessivar-jet info [--password PW] [--json] FILE...\n"
           "       tessivar-jet check [--password PW] [--json] FILE...\n"
           "       tessivar-jet dump [--password PW] [--system] FILE\n"
           "       tessivar-jet compact [--password PW] [--target-password PW] [--format jet3|jet4]\n"
           "                            [--in-place [--backup SUFFIX]] [--json] FILE...\n"
           "       tessivar-jet --help | --version\n"
           "  info     ヘッダーの内容 (形式, 暗号化, パスワードの有無), 空きページ, 最適化で空く\n"
           "           バイト数の見積もり, テーブルごとの行数 (パスワードなしではヘッダーまで)\n"
           "  check    ファイル全体を検査する (終了コード 0: 問題なし, 1: 問題あり, 2: 読めない)\n"
           "  dump     テーブルの定義と行を JSON Lines で表示する\n"
           "  compact  最適化する: 既定では FILE の隣に NAME-compact.mdb を書き出す;\n"
           "           --in-place では検証済みのコピーで FILE を置き換える (所有者, グループ,\n"
           "           パーミッションはそのまま; --backup SUFFIX で元を FILE+SUFFIX に残す)\n"
           "  --password PW         データベースのパスワード (環境変数 TESSIVAR_PASSWORD でも可)\n"
           "  --target-password PW  最適化したファイルのパスワード (TESSIVAR_TARGET_PASSWORD;\n"
           "                        既定は元のパスワード)\n"
           "  --format jet3|jet4    最適化したファイルの形式 (既定は元の形式; 違う形式なら変換する)\n"
           "  --json                ファイルごとに JSON オブジェクトを 1 行で表示する\n"
           "終了コード: 0 成功, 1 問題あり / 失敗したファイルあり, 2 使い方の誤り / 読めないファイル\n";
}

}  // namespace jettool
