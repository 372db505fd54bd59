// File-system services the program relies on.
#pragma once

#include <QByteArray>
#include <QString>

// True when a regular file (not a folder) exists at the path; a symbolic link
// counts when its destination is a file.
bool FileExists(const QString &path);

// The path made absolute against the current folder, with "." and ".."
// segments removed; the file need not exist.
QString ExpandFileName(const QString &path);

// The system's text for an errno value, in the user's language.
QString SysErrorMessage(int errorCode);

// Reads the whole file. Throws EFOpenError naming the file when it cannot be
// opened or read, or when it is larger than `maxBytes` (then with EFBIG).
QByteArray ReadWholeFile(const QString &fileName, qint64 maxBytes);

// Replaces (or creates) the file with exactly these bytes without ever leaving
// a half-written file: the bytes go to a temporary file in the same folder,
// which is flushed and then renamed over the old one. An existing file keeps
// its permission bits (and, where allowed, its owner); a new one gets
// `newFileMode` less the umask. A symbolic link is followed, so the link stays
// and the file it names is replaced. A file nobody may write to is refused
// (EACCES), also for root. Throws EFCreateError naming the file when any step
// fails; the old file, if any, is then unchanged.
void WriteFileAtomically(const QString &fileName, const QByteArray &bytes, unsigned newFileMode = 0666);
