// Where the program finds its own files (help, icons, translations): under
// "share/tessivar/" beside the "bin/" folder of an installed prefix, or beside
// the executable itself, as in the build tree ("build/bin/help").
#pragma once

#include <QString>

// The folder with the program's data for an executable in `executableDir`:
// "<executableDir>/../share/tessivar" when it has a "help" folder, else
// "<executableDir>" when that has one, else the first (so messages name the
// place where the data belongs).
QString AppDataDirFor(const QString &executableDir);

// AppDataDirFor the running executable's folder.
QString AppDataDir();

// The help document's start page: "<data>/help/index.html".
QString AppHelpFile();

// The program's own translations (*.qm): "<data>/translations". Qt's own
// come from QLibraryInfo::TranslationsPath.
QString AppTranslationsDir();
