#include "jet/Compact.h"

#include "jet/Error.h"
#include "jet/LockFile.h"

namespace jet {

CompactResult compactDatabase(const CompactRequest &request)
{
    const SourceLock sourceLock = checkNotInUse(request.sourcePath);
    throw Error(ErrorKind::Unsupported, "このデータベース形式はまだ最適化できません。");
}

}  // namespace jet
