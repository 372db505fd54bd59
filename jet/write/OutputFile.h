// The compacted copy on its way to the target path. It is written to an
// unnamed file in the target's folder (so it stays on one file system and a
// killed process or a power loss leaves nothing), gets the source's
// permission bits, and only replaces nothing: commit() links it in under the
// target name and fails if a file appeared there meanwhile. Where the file
// system has no unnamed files, a hidden named file beside the target takes
// its place; it is registered for removal by a signal handler
// (jet/write/InterruptCleanup.h). Destroying an OutputFile that was not
// committed removes the temporary file, so every failure path leaves no trace.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/PageOutput.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jet::write {

class RegisteredTemporaryFile;

// Refuses a target that exists (any kind of file, a dangling link included)
// or that is the source itself under another name. Throws jet::Error
// (TargetExists / Argument).
void checkTargetPath(const std::string &sourcePath, const std::string &targetPath);

// Hidden named copies (".NAME.tessivar-XXXXXXXX" or ".tessivar-XXXXXXXX")
// that earlier runs left in the target's folder, as paths. Never throws.
std::vector<std::string> leftoverTemporaryFiles(const std::string &targetPath);

class OutputFile : public PageOutput {
public:
    // An unnamed file falls back to a named one where the file system has
    // none; tests ask for the named one to prove that road too.
    enum class Temporary { Unnamed, Named };

    // `sizeLimit` > 0 makes writes past that many bytes fail as a full disk
    // would, so tests can prove the failure paths.
    OutputFile(const std::string &targetPath, const std::string &sourcePath, std::uint64_t sizeLimit = 0,
               Temporary temporary = Temporary::Unnamed);
    ~OutputFile() override;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void write(std::uint64_t offset, ByteSpan bytes) override;
    void resize(std::uint64_t size) override;
    std::uint64_t size() const override { return size_; }
    // The hidden named file, or empty when the copy is an unnamed file.
    const std::string &temporaryPath() const { return temporaryPath_; }
    // A path by which the copy can be opened again to verify it.
    const std::string &readBackPath() const { return readBackPath_; }
    const std::string &targetPath() const { return targetPath_; }

    // Forces the bytes to disk; call before verification reads them back.
    void flush();
    // Gives the flushed file the target path without replacing anything.
    void commit();
    // Removes the temporary file now (also done by the destructor).
    void discard() noexcept;

private:
    [[noreturn]] void fail(int errorNumber) const;
    bool openUnnamed(const std::string &folder);
    void openNamed(const std::string &folder);
    void keepSourcePermissions(const std::string &sourcePath);
    int linkUnnamed();
    int renameNamed();

    std::string targetPath_;
    std::string temporaryPath_;
    std::string readBackPath_;
    std::unique_ptr<RegisteredTemporaryFile> registration_;
    int fd_ = -1;
    std::uint64_t sizeLimit_ = 0;
    std::uint64_t size_ = 0;
    bool committed_ = false;
};

}  // namespace jet::write
