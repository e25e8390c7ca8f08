#pragma once
// The file an export writes, and how it replaces its target when complete.
//
// The bytes go to a temporary file beside the target (same folder, so the
// final rename is atomic); commit() renames it over the target. Destroyed
// without commit(), it removes the temporary file and leaves an existing
// target untouched. A symbolic link is followed: the file it names is
// replaced and the link stays. A target that exists and is not a regular
// file (a device such as /dev/null, a pipe) cannot be replaced: the
// temporary file lies in the temporary folder and commit() copies it into
// the target.

#include <string>

namespace karto {

class ReplacementTarget {
public:
    // Raises KartoError "Cannot create file \"%s\". %s" (the target and the
    // system's reason) when the temporary file cannot be made.
    explicit ReplacementTarget(std::string target);
    ~ReplacementTarget();
    ReplacementTarget(const ReplacementTarget&) = delete;
    ReplacementTarget& operator=(const ReplacementTarget&) = delete;

    // The temporary file, open for reading and writing.
    int fd() const { return fd_; }
    // Closes the temporary file and puts it in the target's place.
    void commit();

    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return tempPath_; }

    // Raises KartoError "<what> \"<target>\". <reason>".
    [[noreturn]] void fail(const char* what, int error) const;

private:
    void copyIntoDestination();

    std::string target_;
    std::string destination_;   // the target with a symbolic link resolved
    std::string tempPath_;
    int fd_ = -1;
    bool copyOnCommit_ = false;
    bool committed_ = false;
};

} // namespace karto
