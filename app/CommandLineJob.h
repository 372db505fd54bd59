// The job the command-line switches describe: -sf -sp -tf -tp (texts),
// -et (engine type 4 or 5), -oe and -as (flags).
#pragma once

#include "app/ProjectFile.h"

#include <QStringList>

// Sets every field: a missing text switch gives an empty text, an "et" that
// does not convert to exactly 4 or 5 gives DefaultEngineType, and a flag is
// set by its mere presence. Nothing is reported.
TProjectFile ArgsToProjectFile(const QStringList &args);

// The engine type an "et" value stands for.
std::int32_t EngineTypeFromSwitch(const QString &value);

// The process's arguments without the program itself, as the program entry
// recorded them before the toolkit saw them.
QStringList ProcessArguments();
void SetProcessArguments(const QStringList &args);
