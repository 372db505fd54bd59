#include "jet/Compact.h"

#include "jet/Error.h"

namespace jet {

CompactResult compactDatabase(const CompactRequest &request)
{
    (void)request;
    throw Error(ErrorKind::Unsupported, "このデータベース形式はまだ最適化できません。");
}

}  // namespace jet
