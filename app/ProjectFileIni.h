// A job saved in a settings file: three sections, six keys. Other sections
// and keys in the file are left alone when a job is saved over it.
#pragma once

#include "app/ProjectFile.h"

#include <QString>

// Fills `job` from the file; missing or unusable values give the defaults of
// a new job, and FAutoStart is always off. The engine type is not checked here.
// Throws EFOpenError when the file exists but cannot be read.
void IniToProjectFile(const QString &fileName, TProjectFile &job);

// Writes the six keys of `job` into the file, creating it if need be and
// keeping whatever else it holds. The old file stays intact if anything fails.
// Throws EFOpenError (existing file unreadable) or EFCreateError.
void ProjectFileToIni(const TProjectFile &job, const QString &fileName);
