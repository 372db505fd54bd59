// Errors the engine reports. Every message is meant for the user (Japanese,
// like the rest of Tessivar) and names the file, table or page it is about.
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

enum class ErrorKind {
    Io,            // the file system refused a read or write
    Format,        // not a Jet 3 / Jet 4 database at all
    Damaged,       // the file is a database but its structure is broken
    Unsupported,   // valid, but something this engine does not handle
    Password,      // wrong or unusable database password
    Argument,      // the request itself is invalid
    TargetExists,  // refusing to touch an existing file
    InUse,         // another program has the database open (jet/LockFile.h)
};

class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, const std::string &message) : std::runtime_error(message), kind_(kind) {}
    ErrorKind kind() const noexcept { return kind_; }

private:
    ErrorKind kind_;
};

}  // namespace jet

namespace jet {

// Messages name the place they are about (table, page, row). Building that
// text for each of millions of rows would cost more than the work itself, so
// `read` runs with a brief place first and, only when it throws, once more
// with the full place from `fullPlace()`, whose error then reaches the caller.
// `read` must have no side effects, so that the second run fails the same way.
template <typename Read, typename FullPlace>
decltype(auto) withPlaceNamedOnError(const std::string &briefPlace, Read read, FullPlace fullPlace)
{
    try {
        return read(briefPlace);
    } catch (const Error &) {
        read(fullPlace());
        throw;
    }
}

}  // namespace jet
