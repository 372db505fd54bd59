#include "jet/write/SystemErrorText.h"

#include <cerrno>
#include <cstring>

namespace jet::write {

std::string systemErrorText(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC: return "ディスクの空き領域が不足しています。";
    case EDQUOT: return "ディスク クォータを超えました。";
    case EFBIG: return "ファイルが大きすぎます。";
    case EACCES:
    case EPERM: return "アクセスが拒否されました。";
    case EROFS: return "読み取り専用のファイル システムです。";
    case ENOENT: return "フォルダーが見つかりません。";
    case ENOTDIR: return "パスの途中がフォルダーではありません。";
    case EIO: return "入出力エラーが発生しました。";
    case EEXIST: return "ファイルは既に存在します。";
    case ENAMETOOLONG: return "ファイル名が長すぎます。";
    default: return "システム エラー " + std::to_string(errorNumber) + " (" + std::strerror(errorNumber) + ")。";
    }
}

}  // namespace jet::write
