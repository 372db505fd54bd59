// Where the running program lives: the stand-in for asking the platform for
// the file name of the process's own module.
#pragma once

#include <QString>

// The absolute path of the running executable's real file, with every
// symbolic link on the way resolved (a program started through a link in
// ~/bin reports the file the link points to). Empty only when the kernel
// does not say.
QString ExecutableFileName();
