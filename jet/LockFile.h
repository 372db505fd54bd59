// Refuses to compact a database that another program may have open.
//
// Microsoft's engine keeps a lock file beside every open database ("name.ldb"
// for .mdb, "name.laccdb" for .accdb) and takes byte-range locks on it and on
// the database. On Linux those locks reach us as fcntl locks: Samba maps a
// Windows client's byte-range locks to them (posix locking, its default) and
// Wine takes them for the programs it runs. A stale lock file, left behind by
// a program that crashed, is one that exists while nobody holds a lock on it
// or on the database.
//
// A stale-looking lock file still stops the compaction. fcntl locks are not
// seen on every path a database can be opened by (a CIFS or NFS mount without
// lock forwarding, Samba with "posix locking = no", a second file server), so
// "nobody holds a lock" is evidence, not proof; compacting a database that is
// being written copies a half-finished state. The message says the lock file
// looks stale, so deleting it is one deliberate step for the user.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace jet {

// What was found beside a database and on it.
struct InUseFinding {
    std::optional<std::string> lockFile;  // path of the lock file, if one exists
    bool locked = false;                  // another process holds a lock on the database or lock file
    bool lockUnknown = false;             // the lock file could not be opened to test for locks
    // "COMPUTER (user)" for each user the lock file records, as far as the
    // names are plain ASCII. The engine appends and rarely clears these, so
    // they name who has or had the database open: whom to ask.
    std::vector<std::string> recordedUsers;
};

// Looks for the lock file (any letter case of "<stem>.ldb" or "<stem>.laccdb"
// in the database's folder) and for fcntl locks held by other processes on
// the database and that file. A missing database gives an empty finding: the
// reader reports that case itself. Never throws.
InUseFinding findInUse(const std::string &databasePath);

// The message for a finding that must stop the compaction, or nothing when
// the database may be compacted.
std::optional<std::string> inUseMessage(const std::string &databasePath, const InUseFinding &finding);

// Holds a read lock on the database from the check until the compaction is
// over, so a program that opens it meanwhile through Samba or Wine finds it
// locked instead of writing under our feet. The lock is tied to its own open
// file description, so the reader opening and closing the file does not drop it.
class SourceLock {
public:
    SourceLock() = default;
    explicit SourceLock(int fd) : fd_(fd) {}
    SourceLock(SourceLock &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    SourceLock &operator=(SourceLock &&other) noexcept;
    SourceLock(const SourceLock &) = delete;
    SourceLock &operator=(const SourceLock &) = delete;
    ~SourceLock();

    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Throws jet::Error (ErrorKind::InUse) with inUseMessage when the database
// may be in use; otherwise returns the read lock on it (not held where the
// file system offers no open-file-description locks).
SourceLock checkNotInUse(const std::string &databasePath);

}  // namespace jet
