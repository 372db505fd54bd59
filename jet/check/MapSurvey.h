// Faults in the usage maps of a source that its compacted copy cannot repeat,
// because the copy writes every map anew from the pages it wrote: bits for
// pages past the end of the file, free-space maps naming pages of no table,
// a page claimed by two structures, pages in use marked free in the global
// map, an unreadable map the copy does not need, a cut last page. Counted
// (as the checker would report them) so that the user learns of them. Faults
// that would lose rows are not counted here: the copy fails on them.
#pragma once

#include "jet/Database.h"

#include <cstdint>

namespace jet {

std::uint32_t countMapFaultsRepairedByCopy(const Database &db);

}  // namespace jet
