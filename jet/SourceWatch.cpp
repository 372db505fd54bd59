#include "jet/SourceWatch.h"

#include "jet/Error.h"

namespace jet {

SourceWatch::SourceWatch(const PageFile &file, std::string path)
    : file_(file), path_(std::move(path)), opened_(file.sourceStamp()), named_(stampOfPath(path_))
{
}

void SourceWatch::requireUnchanged() const
{
    // A source that could not be examined at the start (a memory source in
    // tests) has nothing to compare; one that can no longer be examined has changed.
    const bool openedChanged = opened_ && file_.sourceStamp() != opened_;
    const bool namedChanged = named_ && stampOfPath(path_) != named_;
    if (openedChanged || namedChanged)
        throw Error(ErrorKind::InUse, "元のデータベース '" + path_ +
                                          "' が最適化の途中でほかのプログラムによって変更されました（大きさか更新時刻が"
                                          "開始時と違います）。最適化したデータベースは書き出していません。"
                                          "データベースを使っているプログラムを終了してから、もう一度最適化してください。");
}

}  // namespace jet
