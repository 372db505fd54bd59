// Batch files that replay a job: one command line that starts this program
// with the job's switches and the auto-start switch, so running the file
// compacts the job without a user.
#pragma once

#include "app/ProjectFile.h"
#include "platform/ExecutablePath.h"

#include <QString>


// One blank and the quoted token "-name:value". Quoting wraps the token in
// double quotes and doubles each double quote in it. The line must also
// survive a POSIX shell (on Linux `sh job.bat` or `./job.bat` runs it):
// a backslash goes before "$" and "`"; a backslash is doubled where the
// shell would otherwise take it as an escape (before "\", "\"", "$", "`", a
// line break, or the closing quote); and in code pages like CP932, whose
// characters may end in the byte of "\" or "`", such characters stand
// between single quotes. Every other character, "%", "^", "&" and ";"
// included, is written as it is.
QString FormatSwitch(const QString &name, const QString &value);

// The whole line: the quoted executable, then -sf, -sp (only with a source
// password), -tf, -tp (only with a target password), -et in decimal, -oe when
// the job closes the program afterwards, and always -as. FAutoStart is not
// read. The executable defaults to the running program.
QString ProjectFileToCommandLine(const TProjectFile &job,
                                 const QString &executableFileName = ExecutableFileName());

// Why the job cannot go into a batch file, or empty when it can. The line
// cannot carry a double quote (the cutting rules drop it), so a path or
// password holding one would replay as another file or another password.
QString BatchFileRefusal(const TProjectFile &job);

// Writes the job's line into `fileName` in the locale's character set ("?"
// for each character it lacks), without a byte-order mark and without a line
// break. An existing file is replaced whole and keeps its permission bits; a
// new one is executable as far as the umask allows, and only by its owner
// (0700) when the line holds a password. A job that BatchFileRefusal refuses
// throws EArgumentException with that text and writes nothing. The file is written
// beside its final name and renamed into place, so it is never left half
// written. Throws EFCreateError when the file cannot be written.
void ProjectFileToBat(const TProjectFile &job, const QString &fileName,
                      const QString &executableFileName = ExecutableFileName());
