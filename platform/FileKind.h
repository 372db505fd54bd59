// What a path names when it is there but is no regular file, so that a
// message can say so instead of "not found".
#pragma once

#include <QString>

// "フォルダー", "名前付きパイプ (FIFO)", "デバイス" or "ソケット" (a link
// followed); empty for a regular file or nothing at all.
QString NonRegularFileKind(const QString &path);
