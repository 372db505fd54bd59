#include "jet/SystemErrorText.h"

#include <cerrno>

namespace jet {

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
    case EISDIR: return "フォルダーです。";
    case ELOOP: return "シンボリック リンクが多すぎるか、循環しています。";
    case EMFILE:
    case ENFILE: return "開いているファイルが多すぎます。";
    case ENOMEM: return "メモリが不足しています。";
    case EBUSY:
    case ETXTBSY: return "ファイルは使用中です。";
    case ENXIO:
    case ENODEV: return "デバイスが見つかりません。";
    case ESTALE: return "ネットワーク上のファイルが無効になりました。";
    case ETIMEDOUT: return "接続がタイムアウトしました。";
    default: return "システム エラー " + std::to_string(errorNumber) + " が発生しました。";
    }
}

std::string fileOpenErrorText(int errorNumber)
{
    if (errorNumber == ENOENT)
        return "ファイルが見つかりません。";
    return systemErrorText(errorNumber);
}

}  // namespace jet
